#include "cli/programlayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// From CMake: the package's module directory relative to its bin directory, and where
// a build tree has orbix-gateway relative to orbix.
#ifndef ORBIX_MODULE_DIR_FROM_BIN
#error "ORBIX_MODULE_DIR_FROM_BIN is set by cli/CMakeLists.txt"
#endif
#ifndef ORBIX_BUILD_GATEWAY_DIR
#error "ORBIX_BUILD_GATEWAY_DIR is set by cli/CMakeLists.txt"
#endif

namespace {

const char kModuleFile[] = "orbix-report.so";
const char kGatewayFile[] = "orbix-gateway";

QString inDir(const QString &programDir, const char *relative, const char *file)
{
    return QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(relative) + QLatin1Char('/')
                           + QLatin1String(file));
}

} // namespace

QStringList ProgramLayout::candidates(Part part, const QString &programDir)
{
    if (part == ReportModule)
        return {inDir(programDir, ORBIX_MODULE_DIR_FROM_BIN, kModuleFile), inDir(programDir, ".", kModuleFile)};
    return {inDir(programDir, ".", kGatewayFile), inDir(programDir, ORBIX_BUILD_GATEWAY_DIR, kGatewayFile)};
}

QString ProgramLayout::locate(Part part)
{
    // The executable itself, whatever it was started as (a symbolic link, a bare name on PATH).
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QStringList places = candidates(part, QFileInfo(self).absolutePath());
    for (const QString &place : places)
        if (QFileInfo(place).isFile())
            return place;
    return places.first();
}
