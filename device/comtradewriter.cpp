#include "device/comtradewriter.h"

#include "device/crashoscillogrampacket.h"
#include "device/deviceinfo.h"

#include <QDateTime>
#include <QStringList>

#include <cmath>

namespace {

constexpr int kRevisionYear = 1999;
constexpr int kLineFrequencyHz = 50;
constexpr qint64 kMicrosPerSecond = 1000000;
constexpr double kMicrosPerMs = 1000.0;
// The samples are signed 16-bit numbers.
constexpr int kSampleMin = -32768;
constexpr int kSampleMax = 32767;
const char kLineEnd[] = "\r\n"; // the standard's line end

struct ChannelName
{
    const char *id;
    const char *phase;
    const char *unit;
};

const ChannelName kChannels[CrashOscillogramPacket::kChannels] = {
    {"IA", "A", "A"}, {"IB", "B", "A"}, {"IC", "C", "A"},
    {"UA", "A", "V"}, {"UB", "B", "V"}, {"UC", "C", "V"},
};

constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kLastPrintable = 0x7E;
const char kUnknownDevice[] = "unknown";

// Fields are comma-separated: a comma inside one would shift every later field. The
// file is ASCII: a reader would take any other byte for a character of its own code page.
QString field(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char(','))
            c = QLatin1Char(' ');
        else if (c.unicode() < kFirstPrintable || c.unicode() > kLastPrintable)
            c = QLatin1Char('?');
    }
    return text;
}

// Exact: a scale word over 256 has at most eight binary decimals.
QString exactNumber(double value)
{
    return QString::number(value, 'g', 17);
}

double sampleIntervalUs()
{
    return CrashOscillogramPacket::kSampleIntervalMs * kMicrosPerMs;
}

} // namespace

ComtradeWriter::ComtradeWriter(const CrashOscillogramPacket &oscillogram, const QString &deviceId)
    : block(oscillogram), recorder(field(deviceId))
{
}

QString ComtradeWriter::deviceId(const DeviceInfo &device)
{
    const QString address = QString::number(device.address);
    if (device.kind != DeviceInfo::Recognised)
        return QLatin1String(kUnknownDevice) + QLatin1Char('/') + address;
    // The device table's text without its Cyrillic name: "5.0-50.0 v0.7", the same in any language.
    const QString model = device.sourceText().section(QLatin1Char('/'), 0, 0).section(QLatin1Char(' '), 1);
    return QLatin1String(kStationName) + QLatin1Char(' ') + model + QLatin1Char('/') + address;
}

QString ComtradeWriter::timeStamp(qint64 microsecondsSince1970)
{
    // Floor division keeps the fraction positive before 1970 too.
    qint64 seconds = microsecondsSince1970 / kMicrosPerSecond;
    qint64 micros = microsecondsSince1970 % kMicrosPerSecond;
    if (micros < 0) {
        micros += kMicrosPerSecond;
        --seconds;
    }
    const QDateTime time = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    return time.toString(QStringLiteral("dd/MM/yyyy,hh:mm:ss.")) + QStringLiteral("%1").arg(micros, 6, 10, QLatin1Char('0'));
}

QString ComtradeWriter::analogChannel(int channel) const
{
    const bool current = channel < CrashOscillogramPacket::kCurrentChannels;
    const quint16 scale = current ? block.currentScaleWord() : block.voltageScaleWord();
    const ChannelName &name = kChannels[channel];
    const QStringList fields {
        QString::number(channel + 1), QLatin1String(name.id), QLatin1String(name.phase), QString(),
        QLatin1String(name.unit), exactNumber(scale / CrashOscillogramPacket::kScaleDivisor), QStringLiteral("0"), QStringLiteral("0"),
        QString::number(kSampleMin), QString::number(kSampleMax), QStringLiteral("1"), QStringLiteral("1"),
        QStringLiteral("P")};
    return fields.join(QLatin1Char(','));
}

QByteArray ComtradeWriter::configuration() const
{
    const int channels = CrashOscillogramPacket::kChannels;
    const int samples = CrashOscillogramPacket::kSamples;
    const qint64 trip = qint64(block.tripTime()) * kMicrosPerSecond;
    const qint64 first = trip - std::llround(samples * sampleIntervalUs());
    QStringList lines;
    lines << QLatin1String(kStationName) + QLatin1Char(',') + recorder + QLatin1Char(',') + QString::number(kRevisionYear);
    lines << QStringLiteral("%1,%1A,0D").arg(channels);
    for (int c = 0; c < channels; ++c)
        lines << analogChannel(c);
    lines << QString::number(kLineFrequencyHz) << QStringLiteral("1");
    lines << QString::number(kMicrosPerSecond / sampleIntervalUs(), 'g', 12) + QLatin1Char(',') + QString::number(samples);
    lines << timeStamp(first) << timeStamp(trip);
    lines << QStringLiteral("ASCII") << QStringLiteral("1");
    return (lines.join(QLatin1String(kLineEnd)) + QLatin1String(kLineEnd)).toLatin1();
}

QByteArray ComtradeWriter::data() const
{
    QByteArray out;
    for (int k = 0; k < CrashOscillogramPacket::kSamples; ++k) {
        QStringList fields {QString::number(k + 1), QString::number(qRound64(k * sampleIntervalUs()))};
        for (int c = 0; c < CrashOscillogramPacket::kChannels; ++c)
            fields << QString::number(block.rawSample(c, k));
        out += fields.join(QLatin1Char(',')).toUtf8() + kLineEnd;
    }
    return out;
}
