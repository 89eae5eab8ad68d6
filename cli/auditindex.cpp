#include "cli/auditindex.h"

#include "device/deviceinfo.h"
#include "device/faulttext.h"
#include "device/watchdatapacket80.h"

namespace {

const char kHeader[] = "address,identity,format,faultCode,faultText,runningHours,startCount,files,failure";
const char kLineEnd[] = "\r\n"; // as the program's other CSV files
const char kNoFault[] = "Аварий нет";

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// The device table's text without the line settings: "ОРБИКС-11 5.0-50.0 v0.7".
QString identity(const DeviceInfo &device)
{
    return device.displayText().section(QLatin1Char('/'), 0, 0);
}

QStringList stateFields(const WatchDataPacket *state)
{
    if (!state)
        return {QString(), QString(), QString(), QString()};
    const int code = state->faultCode();
    const auto *v80 = dynamic_cast<const WatchDataPacket80 *>(state);
    return {QString::number(code), code == 0 ? QString::fromUtf8(kNoFault) : faultText(code),
            QString::number(state->motorHours()), v80 ? QString::number(v80->startCount()) : QString()};
}

} // namespace

void AuditIndex::add(const DeviceInfo &device, const WatchDataPacket *state, const QStringList &files,
                     const QString &failure)
{
    rows.append(QStringList {QString::number(device.address), identity(device), DeviceInfo::formatLabel(device.frameFormat)}
                + stateFields(state) + QStringList {files.join(QLatin1Char(' ')), failure});
}

QByteArray AuditIndex::text() const
{
    QString out = QLatin1String(kHeader) + QLatin1String(kLineEnd);
    for (const QStringList &row : rows) {
        QStringList quoted;
        for (const QString &f : row)
            quoted << field(f);
        out += quoted.join(QLatin1Char(',')) + QLatin1String(kLineEnd);
    }
    return out.toUtf8();
}
