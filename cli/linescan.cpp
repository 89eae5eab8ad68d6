#include "cli/linescan.h"

#include "cli/linkoptions.h"
#include "exchange/searchthread.h"

#include <QCommandLineParser>
#include <QStringList>

void LineScan::addOptionsTo(QCommandLineParser &parser)
{
    parser.addOption({{QStringLiteral("b"), QStringLiteral("baud")}, QStringLiteral("Line speed in bit/s."),
                      QStringLiteral("B"), QStringLiteral("19200")});
    parser.addOption({QStringLiteral("addresses"), QStringLiteral("Address range FROM-TO (default 1-247)."),
                      QStringLiteral("FROM-TO"), QStringLiteral("1-247")});
    parser.addOption({QStringLiteral("probe-timeout"), QStringLiteral("Probe time-out in ms (default by speed)."),
                      QStringLiteral("MS"), QStringLiteral("0")});
}

bool LineScan::parseRange(const QString &text, int &first, int &last)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    bool ok1 = false, ok2 = false;
    first = parts.value(0).toInt(&ok1);
    last = parts.size() == 2 ? parts[1].toInt(&ok2) : first;
    ok2 = parts.size() == 1 ? ok1 : ok2;
    return parts.size() <= 2 && ok1 && ok2 && first >= 1 && last <= SearchThread::kLastAddress && first <= last;
}

void LineScan::setUp(SearchThread &thread, const LinkOptions &link, int first, int last, int probeTimeoutMs)
{
    thread.setDevicePath(link.devicePath);
    thread.setLineOptions(link.options);
    thread.setPortNumber(link.portNumber);
    thread.setBaudRate(link.baud);
    thread.setScanRange(first, last);
    ProtocolTiming timing = link.timing();
    timing.probeTimeoutMs = probeTimeoutMs;
    thread.setTiming(timing);
}
