// The crash oscillogram leaves the tool as COMTRADE and CSV: both are read back here
// by a reader of their own, written from the format's description, not from the writer.
#include "tests/device/packettestutil.h"

#include "device/comtradewriter.h"
#include "device/crashoscillogrampacket.h"
#include "device/deviceinfo.h"
#include "device/oscillogramcsv.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr int kFirstSampleRegister = 306;

// A block whose sample k of channel c is pattern(c, k).
void fill(CrashOscillogramPacket &p, quint32 trip, quint16 code, quint16 currentScale, quint16 voltageScale,
          const std::function<qint16(int, int)> &pattern)
{
    QVERIFY(setRegisters(p, {{301, quint16(trip & 0xFFFF)}, {302, quint16(trip >> 16)}, {303, code},
                             {304, currentScale}, {305, voltageScale}}));
    for (int c = 0; c < 6; ++c)
        for (int k = 0; k < 64; ++k)
            QVERIFY(PacketRegisters::write(p, quint32(kFirstSampleRegister + c * 64 + k), quint16(pattern(c, k))));
}

struct AnalogChannel
{
    QString id, phase, unit;
    double a = 0, b = 0;
    int min = 0, max = 0;
};

// What a COMTRADE viewer takes from the two files.
struct ComtradeRecord
{
    QStringList header; // station, device, revision
    QString counts;
    QList<AnalogChannel> channels;
    double lineFrequency = 0;
    double rate = 0;
    int lastSample = 0;
    QString firstStamp, triggerStamp, fileType, timeMultiplier;
    QList<QList<qint64>> rows; // n, timestamp, values
};

QStringList lines(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (!text.endsWith("\r\n"))
        return {};
    text.chop(2);
    return text.split("\r\n");
}

bool readComtrade(const QByteArray &cfg, const QByteArray &dat, ComtradeRecord &r)
{
    const QStringList c = lines(cfg);
    if (c.size() != 2 + 6 + 7)
        return false;
    r.header = c[0].split(',');
    r.counts = c[1];
    for (int i = 0; i < 6; ++i) {
        const QStringList f = c[2 + i].split(',');
        if (f.size() != 13 || f[0].toInt() != i + 1)
            return false;
        r.channels << AnalogChannel {f[1], f[2], f[4], f[5].toDouble(), f[6].toDouble(), f[8].toInt(), f[9].toInt()};
    }
    r.lineFrequency = c[8].toDouble();
    const QStringList rate = c[10].split(',');
    if (c[9] != "1" || rate.size() != 2)
        return false;
    r.rate = rate[0].toDouble();
    r.lastSample = rate[1].toInt();
    r.firstStamp = c[11];
    r.triggerStamp = c[12];
    r.fileType = c[13];
    r.timeMultiplier = c[14];
    for (const QString &line : lines(dat)) {
        QList<qint64> row;
        for (const QString &v : line.split(','))
            row << v.toLongLong();
        r.rows << row;
    }
    return true;
}

} // namespace

class TestOscillogramExport : public QObject
{
    Q_OBJECT

private slots:
    void comtradeReadsBack_data();
    void comtradeReadsBack();
    void comtradeTimeStamps_data();
    void comtradeTimeStamps();
    void deviceIdentityIsAscii_data();
    void deviceIdentityIsAscii();
    void csvReadsBack_data();
    void csvReadsBack();
};

void TestOscillogramExport::comtradeReadsBack_data()
{
    QTest::addColumn<quint16>("currentScale");
    QTest::addColumn<quint16>("voltageScale");
    QTest::addColumn<int>("pattern");

    QTest::newRow("scale words 256: raw samples are units") << quint16(256) << quint16(256) << 0;
    QTest::newRow("fractional multipliers, negative samples") << quint16(300) << quint16(77) << 1;
    QTest::newRow("sample extremes at the largest scale") << quint16(65535) << quint16(1) << 2;
    QTest::newRow("all-zero samples") << quint16(512) << quint16(256) << 3;
}

qint16 samplePattern(int pattern, int c, int k)
{
    switch (pattern) {
    case 0: return qint16(100 * c + k);
    case 1: return qint16(std::lround(20000 * std::sin(0.1 * k + c)));
    case 2: return k % 2 ? qint16(32767) : qint16(-32768);
    default: return 0;
    }
}

void TestOscillogramExport::comtradeReadsBack()
{
    QFETCH(quint16, currentScale);
    QFETCH(quint16, voltageScale);
    QFETCH(int, pattern);
    CrashOscillogramPacket p;
    fill(p, 1700000000, 31, currentScale, voltageScale, [pattern](int c, int k) { return samplePattern(pattern, c, k); });
    const ComtradeWriter writer(p, "ORBIKS-11 5.0-50.0 v0.7/1");
    ComtradeRecord r;
    QVERIFY(readComtrade(writer.configuration(), writer.data(), r));

    QCOMPARE(r.header, QStringList({"ORBIKS-11", "ORBIKS-11 5.0-50.0 v0.7/1", "1999"}));
    QCOMPARE(r.counts, QString("6,6A,0D"));
    const QStringList ids {"IA", "IB", "IC", "UA", "UB", "UC"};
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(r.channels[c].id, ids[c]);
        QCOMPARE(r.channels[c].phase, QString(QChar('A' + c % 3)));
        QCOMPARE(r.channels[c].unit, QString(c < 3 ? "A" : "V"));
        QCOMPARE(r.channels[c].b, 0.0);
        QVERIFY(r.channels[c].min <= -32768 && r.channels[c].max >= 32767);
    }
    QCOMPARE(r.rows.size(), 64);
    QCOMPARE(r.lastSample, 64);
    for (int k = 0; k < 64; ++k) {
        QCOMPARE(r.rows[k].size(), 8);
        QCOMPARE(r.rows[k][0], qint64(k + 1));
        for (int c = 0; c < 6; ++c) // what a viewer shows: value x multiplier + offset
            QCOMPARE(r.rows[k][2 + c] * r.channels[c].a + r.channels[c].b, p.sample(c, k));
    }
}

void TestOscillogramExport::comtradeTimeStamps_data()
{
    QTest::addColumn<quint32>("trip");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("trigger");

    QTest::newRow("2023") << quint32(1700000000) << "14/11/2023,22:13:19.973300" << "14/11/2023,22:13:20.000000";
    QTest::newRow("trip time 0: first sample in 1969")
        << quint32(0) << "31/12/1969,23:59:59.973300" << "01/01/1970,00:00:00.000000";
    QTest::newRow("largest trip time") << quint32(0xFFFFFFFF) << "07/02/2106,06:28:14.973300"
                                       << "07/02/2106,06:28:15.000000";
}

void TestOscillogramExport::comtradeTimeStamps()
{
    QFETCH(quint32, trip);
    CrashOscillogramPacket p;
    fill(p, trip, 10, 256, 256, [](int, int) { return qint16(0); });
    ComtradeRecord r;
    QVERIFY(readComtrade(ComtradeWriter(p, "x").configuration(), ComtradeWriter(p, "x").data(), r));
    QTEST(r.firstStamp, "first");
    QTEST(r.triggerStamp, "trigger");
    QCOMPARE(r.lineFrequency, 50.0);
    QCOMPARE(r.fileType, QString("ASCII"));
    QCOMPARE(r.timeMultiplier, QString("1"));
    // 64 samples at the rate span the 26.7 ms between the two stamps.
    QVERIFY(std::abs(64.0 / r.rate - 0.0267) < 1e-12);
    for (int k = 0; k < 64; ++k) // microseconds from the first sample, as the rate gives them
        QVERIFY(std::abs(r.rows[k][1] - k * 1e6 / r.rate) <= 0.5 + 1e-6); // whole microseconds
}

void TestOscillogramExport::deviceIdentityIsAscii_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("currentScale");
    QTest::addColumn<QString>("given"); // a recorder named by the caller instead of deviceId()
    QTest::addColumn<QString>("recorder");

    QTest::newRow("modification 80, whole amperes") << int(DeviceInfo::Recognised) << 80 << 1 << "" << "ORBIKS-11 50-500 v0.8/7";
    QTest::newRow("modification 70, tenths") << int(DeviceInfo::Recognised) << 70 << 2 << "" << "ORBIKS-11 25.0-250.0 v0.7/7";
    QTest::newRow("a device that did not identify itself") << int(DeviceInfo::Unknown) << 0 << 0 << "" << "unknown/7";
    QTest::newRow("Cyrillic and a comma given") << 0 << 0 << 0 << "ОРБИКС-11 a,b" << QString(6, QChar(0x3F)) + "-11 a b";
}

// The 1999 files are ASCII: every byte of both files below 0x80, whatever names the
// device; a comma in the name would shift the fields a viewer reads.
void TestOscillogramExport::deviceIdentityIsAscii()
{
    QFETCH(int, kind);
    QFETCH(QString, given);
    DeviceInfo d;
    d.kind = kind;
    d.address = 7;
    QFETCH(int, modification);
    d.modification = modification;
    QFETCH(int, currentScale);
    d.currentScale = currentScale;
    d.minRatedCurrent = 50.0f / std::max(currentScale, 1);
    d.maxRatedCurrent = 10 * d.minRatedCurrent;
    CrashOscillogramPacket p;
    fill(p, 1700000000, 31, 300, 77, [](int c, int k) { return samplePattern(1, c, k); });
    const ComtradeWriter writer(p, given.isEmpty() ? ComtradeWriter::deviceId(d) : given);
    ComtradeRecord r;
    QVERIFY(readComtrade(writer.configuration(), writer.data(), r));
    QCOMPARE(r.header.size(), 3);
    QCOMPARE(r.header[0], QString("ORBIKS-11"));
    QTEST(r.header[1], "recorder");
    QCOMPARE(r.header[2], QString("1999"));
    for (const QByteArray &bytes : {writer.configuration(), writer.data()})
        for (const char b : bytes)
            QVERIFY2(quint8(b) < 0x80, qPrintable(QString::number(quint8(b), 16)));
}

void TestOscillogramExport::csvReadsBack_data()
{
    comtradeReadsBack_data();
}

void TestOscillogramExport::csvReadsBack()
{
    QFETCH(quint16, currentScale);
    QFETCH(quint16, voltageScale);
    QFETCH(int, pattern);
    CrashOscillogramPacket p;
    fill(p, 1700000000, 31, currentScale, voltageScale, [pattern](int c, int k) { return samplePattern(pattern, c, k); });
    const QStringList rows = lines(OscillogramCsv::text(p));
    QCOMPARE(rows.size(), 65);
    QCOMPARE(rows[0], QString("Время (мс),Ток A (А),Ток B (А),Ток C (А),Напряжение A (В),Напряжение B (В),Напряжение C (В)"));
    for (int k = 0; k < 64; ++k) {
        const QStringList f = rows[k + 1].split(',');
        QCOMPARE(f.size(), 7);
        QVERIFY2(std::abs(f[0].toDouble() + 0.4171875 * (64 - k)) < 1e-9, qPrintable(f[0]));
        for (int c = 0; c < 6; ++c) {
            const double scale = (c < 3 ? currentScale : voltageScale) / 256.0;
            QCOMPARE(f[1 + c].toDouble(), samplePattern(pattern, c, k) * scale);
        }
    }
}

QTEST_GUILESS_MAIN(TestOscillogramExport)
#include "tst_oscillogramexport.moc"
