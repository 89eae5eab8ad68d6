#include "registercommand.h"

#include "cliexit.h"
#include "commandline.h"
#include "linkoptions.h"
#include "modbusport.h"
#include "registermap.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <QVector>

namespace {

bool parseNumber(const QString &text, int low, int high, int &out)
{
    bool ok = false;
    out = text.toInt(&ok, 0);
    return ok && out >= low && out <= high;
}

int usage(const QCommandLineParser &parser, const QString &reason)
{
    return CommandLine::usage(parser, reason);
}

int failed(const QString &reason)
{
    return CommandLine::failed(reason);
}

} // namespace

int RegisterCommand::runRead(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads holding registers (function 3). Registers are numbered from 1 as in the register map;\n"
        "register N travels as address N-1. Prints one line per register: REGISTER VALUE."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("COMn or a device path."));
    parser.addPositionalArgument(QStringLiteral("REGISTER"), QStringLiteral("First register, 1-65536."));
    parser.addPositionalArgument(QStringLiteral("COUNT"), QStringLiteral("Number of registers, 1-125 (default 1)."),
                                 QStringLiteral("[COUNT]"));
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() < 2 || pos.size() > 3)
        return usage(parser, QStringLiteral("read needs PORT REGISTER [COUNT]"));
    int first = 0, count = 1;
    if (!parseNumber(pos[1], 1, 65536, first))
        return usage(parser, QStringLiteral("bad register '%1'").arg(pos[1]));
    if (pos.size() == 3 && !parseNumber(pos[2], 1, ModbusPort::kMaxReadRegisters, count))
        return usage(parser, QStringLiteral("bad count '%1' (1-125)").arg(pos[2]));
    LinkOptions link;
    if (!link.read(parser, pos[0]))
        return usage(parser, link.error);
    ModbusPort port(link.devicePath.toLocal8Bit());
    if (!link.openPort(port))
        return failed(link.error);
    QVector<quint16> values(count);
    if (!port.readRegisters(quint32(first), quint32(count * 2), values.data()))
        return failed(port.errorString());
    QTextStream out(stdout);
    for (int i = 0; i < count; ++i)
        out << (first + i) << ' ' << values[i] << '\n';
    return CliExit::Ok;
}

int RegisterCommand::runWrite(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes holding registers: function 16, or function 6 with --single.\n"
        "With --access-code the code goes to register 32 (function 6) first, as a guarded write does."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    parser.addOption({QStringLiteral("access-code"), QStringLiteral("Access code written to register 32 first."),
                      QStringLiteral("CODE")});
    parser.addOption({QStringLiteral("single"), QStringLiteral("Use function 6 (exactly one value).")});
    parser.addPositionalArgument(QStringLiteral("PORT"), QStringLiteral("COMn or a device path."));
    parser.addPositionalArgument(QStringLiteral("REGISTER"), QStringLiteral("First register, 1-65536."));
    parser.addPositionalArgument(QStringLiteral("VALUE"), QStringLiteral("Values, 0-65535 (decimal or 0x hex)."),
                                 QStringLiteral("VALUE..."));
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() < 3)
        return usage(parser, QStringLiteral("write needs PORT REGISTER VALUE..."));
    int first = 0;
    if (!parseNumber(pos[1], 1, 65536, first))
        return usage(parser, QStringLiteral("bad register '%1'").arg(pos[1]));
    QVector<quint16> values;
    for (int i = 2; i < pos.size(); ++i) {
        int v = 0;
        if (!parseNumber(pos[i], 0, 0xFFFF, v))
            return usage(parser, QStringLiteral("bad value '%1' (0-65535)").arg(pos[i]));
        values.append(quint16(v));
    }
    const bool single = parser.isSet(QStringLiteral("single"));
    if (single && values.size() != 1)
        return usage(parser, QStringLiteral("--single takes exactly one value"));
    if (values.size() > ModbusPort::kMaxWriteRegisters)
        return usage(parser, QStringLiteral("at most 123 values in one write"));
    int code = 0;
    const bool guarded = parser.isSet(QStringLiteral("access-code"));
    if (guarded && !parseNumber(parser.value(QStringLiteral("access-code")), -32768, 0xFFFF, code))
        return usage(parser, QStringLiteral("bad access code"));
    LinkOptions link;
    if (!link.read(parser, pos[0]))
        return usage(parser, link.error);
    ModbusPort port(link.devicePath.toLocal8Bit());
    if (!link.openPort(port))
        return failed(link.error);
    if (guarded && !port.writeRegister(RegisterMap::AccessCode, quint16(code)))
        return failed(QStringLiteral("access code not taken: ") + port.errorString());
    const bool ok = single ? port.writeRegister(quint32(first), values[0])
                           : port.writeRegisters(quint32(first), quint32(values.size() * 2), values.data());
    return ok ? int(CliExit::Ok) : failed(port.errorString());
}
