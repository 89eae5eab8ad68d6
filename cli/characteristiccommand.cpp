#include "cli/characteristiccommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "device/curvepoints.h"
#include "device/protectioncharacteristic.h"
#include "device/protectionmodel.h"

#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

struct Setting {
    const char *name;
    const char *help;
    int low, high;
    int value = 0;
};

std::vector<Setting> settingsTable()
{
    return {
        {"rated-current", "Rated current in device counts (amperes x current scale).", 0, 65535},
        {"current-scale", "Counts per ampere (identification register 1).", 0, 65535},
        {"min-current", "Minimum current, % of rated.", 0, 65535},
        {"overload-multiple", "Overload multiple of the rated current.", 0, 65535},
        {"double-overload-time", "Time at double overload, s.", 0, 65535},
        {"fast-protection", "Fast protection: 0 or 1.", 0, 1},
        {"overload-reaction-time", "Overload reaction time, ms.", 0, 65535},
        {"broken-phases-allowed", "Broken phases allowed.", 0, 65535},
    };
}

ProtectionSettings toSettings(const std::vector<Setting> &t)
{
    ProtectionSettings s;
    s.ratedCurrent = quint16(t[0].value);
    s.minCurrent = quint16(t[2].value);
    s.overloadMultiple = quint16(t[3].value);
    s.doubleOverloadTime = quint16(t[4].value);
    s.fastProtection = t[5].value != 0;
    s.overloadReactionTime = quint16(t[6].value);
    s.brokenPhasesAllowed = quint16(t[7].value);
    return s;
}

} // namespace

int CharacteristicCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the protection time-current characteristic: 107 lines 'x y', current in amperes and\n"
        "trip time in seconds, 17 significant digits. Every setting is required."));
    parser.addHelpOption();
    std::vector<Setting> table = settingsTable();
    for (const Setting &s : table)
        parser.addOption({QLatin1String(s.name), QLatin1String(s.help), QStringLiteral("N")});
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    for (Setting &s : table) {
        const QString name = QLatin1String(s.name);
        bool ok = false;
        s.value = parser.value(name).toInt(&ok);
        if (!parser.isSet(name) || !ok || s.value < s.low || s.value > s.high)
            return CommandLine::usage(parser, QStringLiteral("--%1 needs a number %2-%3").arg(name).arg(s.low).arg(s.high));
    }
    CurvePoints points;
    if (!ProtectionCharacteristic::build(toSettings(table), table[1].value, points))
        return CommandLine::failed(QStringLiteral("characteristic not built"));
    for (int i = 0; i < points.x.size(); ++i)
        printf("%.17g %.17g\n", points.x[i], points.y[i]);
    return CliExit::Ok;
}
