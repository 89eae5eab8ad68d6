#include "cli/programlayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>

#include <vector>
#endif

// From CMake: the package's module directory relative to its bin directory, and where
// a build tree has orbix-gateway relative to orbix.
#ifndef ORBIX_MODULE_DIR_FROM_BIN
#error "ORBIX_MODULE_DIR_FROM_BIN is set by cli/CMakeLists.txt"
#endif
#ifndef ORBIX_BUILD_GATEWAY_DIR
#error "ORBIX_BUILD_GATEWAY_DIR is set by cli/CMakeLists.txt"
#endif

namespace {

#ifdef Q_OS_WIN
const char kModuleFile[] = "orbix-report.dll";
constexpr DWORD kLongestPath = 32768; // a long path's limit, in characters
#else
const char kModuleFile[] = "orbix-report.so";
#endif
const char kGatewayFile[] = "orbix-gateway";

QString inDir(const QString &programDir, const char *relative, const char *file)
{
    return QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(relative) + QLatin1Char('/')
                           + QLatin1String(file));
}

// The executable itself, whatever it was started as (a symbolic link, a bare name on
// PATH). Asked before any application object exists (the report module's own comes later).
QString executable()
{
#ifdef Q_OS_WIN
    std::vector<wchar_t> path(kLongestPath);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    return n > 0 && n < path.size() ? QDir::fromNativeSeparators(QString::fromWCharArray(path.data(), int(n))) : QString();
#else
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
#endif
}

} // namespace

QStringList ProgramLayout::candidates(Part part, const QString &programDir)
{
#ifdef Q_OS_WIN
    // A Windows program finds the DLLs of its own beside it: so does orbix its module.
    if (part == ReportModule)
        return {inDir(programDir, ".", kModuleFile)};
#endif
    if (part == ReportModule)
        return {inDir(programDir, ORBIX_MODULE_DIR_FROM_BIN, kModuleFile), inDir(programDir, ".", kModuleFile)};
    return {inDir(programDir, ".", kGatewayFile), inDir(programDir, ORBIX_BUILD_GATEWAY_DIR, kGatewayFile)};
}

QString ProgramLayout::locate(Part part)
{
    const QStringList places = candidates(part, QFileInfo(executable()).absolutePath());
    for (const QString &place : places)
        if (QFileInfo(place).isFile())
            return place;
    return places.first();
}
