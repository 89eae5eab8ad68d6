#include "history/historycsv.h"

#include <QDateTime>

QString HistoryCsv::isoTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QStringList HistoryCsv::fields(const HistoryDevice &d, const HistorySample &s)
{
    QStringList f {isoTime(s.timeMs), d.line, QString::number(d.address)};
    for (double c : s.currents)
        f << QString::number(c, 'f', 3);
    for (int v : s.voltages)
        f << QString::number(v);
    f << QString::number(s.pt100) << QString::number(s.heating) << QString::number(s.faultCode)
      << QString::number(s.motorRunning ? 1 : 0) << QString::number(s.inputs) << QString::number(s.outputs);
    return f;
}

QByteArray HistoryCsv::row(const HistoryDevice &device, const HistorySample &sample)
{
    QStringList f = fields(device, sample);
    if (f[1].contains(QLatin1Char(',')) || f[1].contains(QLatin1Char('"')))
        f[1] = QLatin1Char('"') + f[1].replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return f.join(QLatin1Char(',')).toUtf8() + '\n';
}
