#include "cli/registercommand.h"

#include "cli/accesscode.h"
#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/linkoptions.h"
#include "device/registermap.h"
#include "link/modbusport.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <QVector>

#include <memory>

namespace {

constexpr int kLastRegister = 65536; // register N travels as address N-1

bool parseNumber(const QString &text, int low, int high, int &out)
{
    bool ok = false;
    out = text.toInt(&ok, 0);
    return ok && out >= low && out <= high;
}

void addCommonArguments(QCommandLineParser &parser, const char *description)
{
    parser.setApplicationDescription(QString::fromUtf8(description));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    LinkOptions::addPortArgument(parser);
    parser.addPositionalArgument(QStringLiteral("REGISTER"), QStringLiteral("First register, 1-65536."));
}

// What both commands share once parsed: the first register and an open port.
struct Target {
    int first = 0;
    LinkOptions link;
    std::unique_ptr<DeviceSession> session;
    ModbusPort *port = nullptr;
};

// Returns -1 when the command goes on, else its exit status.
int openTarget(const QCommandLineParser &parser, const QStringList &pos, Target &t)
{
    if (!parseNumber(pos[1], 1, kLastRegister, t.first))
        return CommandLine::usage(parser, QStringLiteral("bad register '%1'").arg(pos[1]));
    if (const int status = t.link.take(parser, pos[0]); status >= 0)
        return status;
    t.session = t.link.openSession();
    if (!t.session)
        return CommandLine::failed(t.link.error);
    t.port = &t.session->port();
    return -1;
}

int read(const QCommandLineParser &parser, const QStringList &pos)
{
    int count = 1;
    if (pos.size() == 3 && !parseNumber(pos[2], 1, ModbusPort::kMaxReadRegisters, count))
        return CommandLine::usage(parser, QStringLiteral("bad count '%1' (1-125)").arg(pos[2]));
    Target t;
    const int status = openTarget(parser, pos, t);
    if (status >= 0)
        return status;
    QVector<quint16> values(count);
    if (!t.port->readRegisters(quint32(t.first), quint32(count * 2), values.data()))
        return CommandLine::failed(t.port->errorString());
    QTextStream out(stdout);
    for (int i = 0; i < count; ++i)
        out << (t.first + i) << ' ' << values[i] << '\n';
    return CliExit::Ok;
}

int parseValues(const QCommandLineParser &parser, const QStringList &pos, QVector<quint16> &values)
{
    for (int i = 2; i < pos.size(); ++i) {
        int v = 0;
        if (!parseNumber(pos[i], 0, 0xFFFF, v))
            return CommandLine::usage(parser, QStringLiteral("bad value '%1' (0-65535)").arg(pos[i]));
        values.append(quint16(v));
    }
    if (parser.isSet(QStringLiteral("single")) && values.size() != 1)
        return CommandLine::usage(parser, QStringLiteral("--single takes exactly one value"));
    if (values.size() > ModbusPort::kMaxWriteRegisters)
        return CommandLine::usage(parser, QStringLiteral("at most 123 values in one write"));
    return -1;
}

int write(const QCommandLineParser &parser, const QStringList &pos)
{
    QVector<quint16> values;
    int status = parseValues(parser, pos, values);
    std::optional<quint16> code;
    QString error;
    if (status < 0 && !AccessCode::obtain(parser, false, code, error))
        status = CommandLine::usage(parser, error);
    Target t;
    if (status >= 0 || (status = openTarget(parser, pos, t)) >= 0)
        return status;
    if (code && !t.port->writeRegister(RegisterMap::AccessCode, *code))
        return CommandLine::failed(QStringLiteral("access code not taken: ") + t.port->errorString());
    const bool ok = parser.isSet(QStringLiteral("single"))
        ? t.port->writeRegister(quint32(t.first), values[0])
        : t.port->writeRegisters(quint32(t.first), quint32(values.size() * 2), values.data());
    return ok ? int(CliExit::Ok) : CommandLine::failed(t.port->errorString());
}

} // namespace

int RegisterCommand::runRead(const QStringList &arguments)
{
    QCommandLineParser parser;
    addCommonArguments(parser,
                       "Reads holding registers (function 3). Registers are numbered from 1 as in the register map;\n"
                       "register N travels as address N-1. Prints one line per register: REGISTER VALUE.");
    parser.addPositionalArgument(QStringLiteral("COUNT"), QStringLiteral("Number of registers, 1-125 (default 1)."),
                                 QStringLiteral("[COUNT]"));
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() < 2 || pos.size() > 3)
        return CommandLine::usage(parser, QStringLiteral("read needs PORT REGISTER [COUNT]"));
    return read(parser, pos);
}

int RegisterCommand::runWrite(const QStringList &arguments)
{
    QCommandLineParser parser;
    addCommonArguments(parser,
                       "Writes holding registers: function 16, or function 6 with --single.\n"
                       "With an access code (--access-code, or $ORBIX_ACCESS_CODE) the code goes to register 32\n"
                       "(function 6) first, as a guarded write does.");
    AccessCode::addTo(parser);
    parser.addOption({QStringLiteral("single"), QStringLiteral("Use function 6 (exactly one value).")});
    parser.addPositionalArgument(QStringLiteral("VALUE"), QStringLiteral("Values, 0-65535 (decimal or 0x hex)."),
                                 QStringLiteral("VALUE..."));
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() < 3)
        return CommandLine::usage(parser, QStringLiteral("write needs PORT REGISTER VALUE..."));
    return write(parser, pos);
}
