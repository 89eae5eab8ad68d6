#pragma once

#include <QString>
#include <QStringList>

// Where orbix finds what it runs besides itself, relative to its own executable: as the
// packages install them (orbix-gateway beside it in /usr/bin, the report module in
// /usr/lib/<multiarch>/orbix/) and as a build tree holds them (the module beside orbix,
// orbix-gateway in the gateway's build directory); on Windows the module is
// orbix-report.dll beside orbix.exe. Nothing is looked for on PATH or in the working
// directory.
class ProgramLayout
{
public:
    enum Part { ReportModule, GatewayProgram };

    // Where part may be for a program in programDir, the installed place first.
    static QStringList candidates(Part part, const QString &programDir);
    // The first candidate that exists for the running program; else the installed
    // place, which a message then names.
    static QString locate(Part part);
};
