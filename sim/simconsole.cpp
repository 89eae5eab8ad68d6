#include "sim/simconsole.h"

#include "link/rtuframing.h"

#include "sim/simoptions.h"
#include "sim/simregisters.h"
#include "sim/simulator.h"

#include <QDateTime>

#include <cmath>

namespace {

constexpr int kMaxPauseMs = 600000;
constexpr int kMaxGet = 125;
constexpr int kMaxLoadPercent = 1000;

QString line(const QString &text)
{
    return text + QLatin1Char('\n');
}

struct KindName { const char *name; SimFault::Kind kind; };
constexpr KindName kKinds[] = {
    {"no-reply", SimFault::NoReply}, {"bad-crc", SimFault::BadCrc},
    {"wrong-address", SimFault::WrongAddress}, {"exception", SimFault::Exception},
    {"split", SimFault::SplitReply}, {"silent", SimFault::Silent},
};

SimFault::Kind kindNamed(const QString &name)
{
    for (const KindName &k : kKinds)
        if (name == QLatin1String(k.name))
            return k.kind;
    return SimFault::None;
}

} // namespace

SimConsole::SimConsole(Simulator &simulator)
    : sim(simulator)
{
}

QString SimConsole::execute(const QString &text)
{
    using Handler = QString (SimConsole::*)(const QStringList &);
    static const struct { const char *name; Handler handler; } kCommands[] = {
        {"fault", &SimConsole::fault}, {"silent", &SimConsole::silent}, {"clear", &SimConsole::clear},
        {"get", &SimConsole::get},     {"set", &SimConsole::set},       {"log", &SimConsole::log},
        {"trip", &SimConsole::trip},   {"load", &SimConsole::load},     {"release", &SimConsole::release},
        {"help", &SimConsole::helpText},
    };
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();
    for (const auto &c : kCommands)
        if (words.first() == QLatin1String(c.name))
            return (this->*c.handler)(words.mid(1));
    return line(QStringLiteral("unknown command \"%1\"; try help").arg(words.first()));
}

QString SimConsole::silent(const QStringList &args)
{
    return fault(QStringList {QStringLiteral("silent")} + args);
}

QString SimConsole::clear(const QStringList &)
{
    sim.clearFaults();
    return line(QStringLiteral("ok: no faults"));
}

QString SimConsole::helpText(const QStringList &)
{
    return help();
}

QString SimConsole::fault(const QStringList &words)
{
    FaultOrder order;
    QString error;
    if (!parseFault(words, order, error))
        return line(error);
    sim.setFault(order.fault, order.count, order.address);
    return line(QStringLiteral("ok"));
}

bool SimConsole::parseFault(const QStringList &words, FaultOrder &order, QString &error)
{
    error = QStringLiteral("usage: fault no-reply|bad-crc|wrong-address [N] [ADDR], fault exception CODE [N] [ADDR], "
                           "fault split MS [N] [ADDR], silent SECONDS [ADDR]");
    order = FaultOrder();
    order.fault.kind = kindNamed(words.value(0));
    switch (order.fault.kind) {
    case SimFault::None:
        return false;
    case SimFault::Silent:
        return parseSilent(words, order);
    case SimFault::Exception:
        return SimOptions::parseNumber(words.value(1), 1, 255, order.fault.exceptionCode)
            && takeCountAndAddress(words, 2, order);
    case SimFault::SplitReply:
        return SimOptions::parseNumber(words.value(1), 0, kMaxPauseMs, order.fault.pauseMs)
            && takeCountAndAddress(words, 2, order);
    default:
        return takeCountAndAddress(words, 1, order);
    }
}

bool SimConsole::parseSilent(const QStringList &words, FaultOrder &order)
{
    bool ok = false;
    const double seconds = words.value(1).toDouble(&ok);
    if (!ok || seconds < 0 || seconds * 1000 > kMaxPauseMs || words.size() > 3)
        return false;
    order.fault.pauseMs = int(std::lround(seconds * 1000));
    return words.size() < 3 || SimOptions::parseNumber(words[2], 0, RtuFraming::kMaxSlaveAddress, order.address);
}

bool SimConsole::takeCountAndAddress(const QStringList &words, int from, FaultOrder &order)
{
    if (words.size() > from + 2)
        return false;
    const QString count = words.value(from);
    if (!count.isEmpty() && count != QLatin1String("all") && count != QLatin1String("-1")
        && !SimOptions::parseNumber(count, 1, 1000000, order.count))
        return false;
    return words.size() <= from + 1 || SimOptions::parseNumber(words[from + 1], 0, RtuFraming::kMaxSlaveAddress, order.address);
}

bool SimConsole::parseValue(const QString &text, quint16 &out)
{
    bool ok = false;
    const int n = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toInt(&ok, 16)
                                                                           : text.toInt(&ok, 10);
    if (!ok || n < -32768 || n > 65535)
        return false;
    out = quint16(n); // negative values are the signed registers' two's complement
    return true;
}

QString SimConsole::get(const QStringList &words)
{
    int address = 0, reg = 0, count = 1;
    if (words.size() < 2 || words.size() > 3 || !SimOptions::parseNumber(words[0], 1, RtuFraming::kMaxSlaveAddress, address)
        || !SimOptions::parseNumber(words[1], 1, SimRegisters::kLast, reg)
        || (words.size() == 3 && !SimOptions::parseNumber(words[2], 1, kMaxGet, count)))
        return line(QStringLiteral("usage: get ADDR REG [COUNT]"));
    QString out;
    for (int r = reg; r < reg + count && r <= SimRegisters::kLast; ++r) {
        const quint16 v = sim.registerValue(address, r);
        out += line(QStringLiteral("%1 = %2 (0x%3)").arg(r).arg(v).arg(v, 4, 16, QLatin1Char('0')));
    }
    return out;
}

QString SimConsole::set(const QStringList &words)
{
    int address = 0, reg = 0;
    const QString usage = line(QStringLiteral("usage: set ADDR REG VALUE..."));
    if (words.size() < 3 || !SimOptions::parseNumber(words[0], 1, RtuFraming::kMaxSlaveAddress, address)
        || !SimOptions::parseNumber(words[1], 1, SimRegisters::kLast - words.size() + 3, reg))
        return usage;
    QVector<quint16> values;
    for (const QString &w : words.mid(2)) {
        quint16 v = 0;
        if (!parseValue(w, v))
            return usage;
        values << v;
    }
    for (int i = 0; i < values.size(); ++i)
        sim.setRegisterValue(address, reg + i, values[i]);
    return line(QStringLiteral("ok"));
}

bool SimConsole::takeAddressAndNumber(const QStringList &words, int low, int high, int &address, int &n)
{
    return words.size() == 2 && SimOptions::parseNumber(words[0], 1, RtuFraming::kMaxSlaveAddress, address)
        && SimOptions::parseNumber(words[1], low, high, n);
}

QString SimConsole::trip(const QStringList &words)
{
    int address = 0, code = 0;
    if (!takeAddressAndNumber(words, 1, 65535, address, code))
        return line(QStringLiteral("usage: trip ADDR CODE"));
    sim.injectTrip(address, code);
    return line(QStringLiteral("ok"));
}

QString SimConsole::load(const QStringList &words)
{
    int address = 0, percent = 0;
    if (!takeAddressAndNumber(words, 0, kMaxLoadPercent, address, percent))
        return line(QStringLiteral("usage: load ADDR PERCENT"));
    sim.setLoad(address, percent);
    return line(QStringLiteral("ok"));
}

QString SimConsole::release(const QStringList &words)
{
    int address = 0;
    if (words.size() != 1 || !SimOptions::parseNumber(words[0], 1, RtuFraming::kMaxSlaveAddress, address))
        return line(QStringLiteral("usage: release ADDR"));
    sim.releaseRegisters(address);
    return line(QStringLiteral("ok"));
}

QString SimConsole::log(const QStringList &words)
{
    if (words.value(0) == QLatin1String("clear")) {
        sim.clearRequests();
        return line(QStringLiteral("ok: record cleared"));
    }
    QString out;
    for (const SimRequest &r : sim.requests())
        out += line(describe(r));
    return out.isEmpty() ? line(QStringLiteral("no requests")) : out;
}

QString SimConsole::describe(const SimRequest &r)
{
    QString text = QDateTime::fromMSecsSinceEpoch(r.timeMs).toString(QStringLiteral("hh:mm:ss.zzz"))
        + QStringLiteral(" addr %1 fn %2").arg(r.address).arg(r.function);
    if (r.firstRegister > 0)
        text += QStringLiteral(" reg %1 count %2").arg(r.firstRegister).arg(r.count);
    for (int i = 0; i < r.values.size() && i < 8; ++i)
        text += (i == 0 ? QStringLiteral(" values ") : QStringLiteral(",")) + QString::number(r.values[i]);
    if (r.values.size() > 8)
        text += QStringLiteral(",...");
    text += r.answered ? QStringLiteral(" answered") : QStringLiteral(" not answered");
    if (r.exception != 0)
        text += QStringLiteral(" exception %1").arg(r.exception);
    if (!r.reason.isEmpty())
        text += QStringLiteral(" (%1)").arg(r.reason);
    return text + QStringLiteral(" [") + QString::fromLatin1(r.frame.toHex(' ')) + QLatin1Char(']');
}

QString SimConsole::help()
{
    return QStringLiteral(
        "fault no-reply [N] [ADDR]        the next N requests (all until cleared) get no answer\n"
        "fault bad-crc [N] [ADDR]         answers with a spoiled CRC\n"
        "fault wrong-address [N] [ADDR]   answers from another address\n"
        "fault exception CODE [N] [ADDR]  answers with that exception, doing nothing\n"
        "fault split MS [N] [ADDR]        answers paused MS milliseconds in the middle\n"
        "silent SECONDS [ADDR]            hears nothing for SECONDS, then answers again\n"
        "clear                            no faults\n"
        "get ADDR REG [COUNT]             shows registers\n"
        "set ADDR REG VALUE...            sets registers (no guard; 0x for hexadecimal;\n"
        "                                 33..47 then stay as set until release)\n"
        "trip ADDR CODE                   the device trips now with fault CODE\n"
        "load ADDR PERCENT                the motor's load, % of its rated current (80)\n"
        "release ADDR                     monitoring registers set by hand follow the motor again\n"
        "log                              the requests received;  log clear  forgets them\n"
        "help                             this text\n"
        "N may be \"all\"; ADDR 0 or none means every device on the line.\n");
}
