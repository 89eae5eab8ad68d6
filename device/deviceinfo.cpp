#include "device/deviceinfo.h"

#include <QCoreApplication>
#include <QtEndian>

#include <cstring>

namespace {

const char *const kFormatLabels[] = {"8E1", "8O1", "8N15", "8N2"};

void putFloat(char *at, float v)
{
    quint32 bits;
    memcpy(&bits, &v, sizeof bits);
    qToLittleEndian(bits, at);
}

float getFloat(const char *at)
{
    const quint32 bits = qFromLittleEndian<quint32>(at);
    float v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

constexpr const char *kUnknownName = QT_TRANSLATE_NOOP("DeviceInfo", "Неизвестное устройство ");

// The text with unknownName for an unknown device; the product's name is never translated.
QString listText(const DeviceInfo &d, const QString &unknownName)
{
    QString text = unknownName;
    if (d.kind == DeviceInfo::Recognised)
        text = QStringLiteral("ОРБИКС-11 ");
    if (d.kind != DeviceInfo::Unknown) {
        const int decimals = d.currentScale == 1 ? 0 : 1;
        text += QString::number(double(d.minRatedCurrent), 'f', decimals) + QLatin1Char('-')
            + QString::number(double(d.maxRatedCurrent), 'f', decimals) + QStringLiteral(" v")
            + QString::number(d.modification * 0.01, 'g', 3);
    }
    return text + QLatin1Char('/') + QString::number(d.address) + QLatin1Char('/') + QString::number(d.baudRate)
        + QLatin1Char('/') + DeviceInfo::formatLabel(d.frameFormat) + QStringLiteral("/COM")
        + QString::number(d.portNumber);
}

} // namespace

QByteArray DeviceInfo::toRecord() const
{
    QByteArray r(kRecordSize, '\0');
    char *p = r.data();
    const qint32 ints[] = {kind, address, baudRate, frameFormat, portNumber, modification, currentScale};
    for (int i = 0; i < 7; ++i)
        qToLittleEndian(ints[i], p + 4 * i);
    putFloat(p + 28, minRatedCurrent);
    putFloat(p + 32, maxRatedCurrent);
    return r;
}

bool DeviceInfo::fromRecord(const char *p, int size, DeviceInfo &out)
{
    if (size < kRecordSize)
        return false;
    qint32 *ints[] = {&out.kind, &out.address, &out.baudRate, &out.frameFormat,
                      &out.portNumber, &out.modification, &out.currentScale};
    for (int i = 0; i < 7; ++i)
        *ints[i] = qFromLittleEndian<qint32>(p + 4 * i);
    out.minRatedCurrent = getFloat(p + 28);
    out.maxRatedCurrent = getFloat(p + 32);
    return true;
}

QString DeviceInfo::formatLabel(int code)
{
    return code >= 0 && code < 4 ? QString::fromLatin1(kFormatLabels[code]) : QString();
}

int DeviceInfo::formatCode(const QString &label)
{
    for (int i = 0; i < 4; ++i)
        if (label.compare(QLatin1String(kFormatLabels[i]), Qt::CaseInsensitive) == 0)
            return i;
    bool ok = false;
    const int n = label.toInt(&ok);
    return ok && n >= 0 && n < 4 ? n : -1;
}

QString DeviceInfo::displayText() const
{
    return listText(*this, kind == Unknown ? QCoreApplication::translate("DeviceInfo", kUnknownName) : QString());
}

QString DeviceInfo::sourceText() const
{
    return listText(*this, kind == Unknown ? QString::fromUtf8(kUnknownName) : QString());
}

