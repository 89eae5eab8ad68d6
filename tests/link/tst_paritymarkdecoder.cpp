// The PARMRK escapes of the tty layer, decoded from byte streams as the kernel
// delivers them (a pseudo-terminal never produces parity errors, so the decoder
// is exercised here directly).
#include "link/paritymarkdecoder.h"

#include <QtTest>

class TestParityMarkDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void escapeSplitAcrossReads();
    void countsAreTakenOnce();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

void TestParityMarkDecoder::decode_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("characterErrors");
    QTest::addColumn<int>("breaks");
    QTest::newRow("plain bytes") << hex("01 03 02 00 07") << hex("01 03 02 00 07") << 0 << 0;
    QTest::newRow("doubled 0xFF is one data byte") << hex("01 FF FF 02") << hex("01 FF 02") << 0 << 0;
    QTest::newRow("marked byte kept, counted") << hex("01 FF 00 41 02") << hex("01 41 02") << 1 << 0;
    QTest::newRow("marked 0xFF byte") << hex("FF 00 FF") << hex("FF") << 1 << 0;
    QTest::newRow("break") << hex("01 FF 00 00 02") << hex("01 02") << 0 << 1;
    QTest::newRow("two marks") << hex("FF 00 10 FF 00 20") << hex("10 20") << 2 << 0;
    QTest::newRow("unexpected escape keeps both bytes") << hex("FF 41") << hex("FF 41") << 0 << 0;
}

void TestParityMarkDecoder::decode()
{
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, data);
    QFETCH(int, characterErrors);
    QFETCH(int, breaks);
    ParityMarkDecoder d;
    QByteArray out(raw.size() + 1, '\0');
    const auto n = d.decode(reinterpret_cast<const quint8 *>(raw.constData()), std::size_t(raw.size()),
                            reinterpret_cast<quint8 *>(out.data()));
    QCOMPARE(out.left(int(n)).toHex(' '), data.toHex(' '));
    QCOMPARE(d.takeCharacterErrors(), characterErrors);
    QCOMPARE(d.takeBreaks(), breaks);
}

void TestParityMarkDecoder::escapeSplitAcrossReads()
{
    const QByteArray raw = hex("10 FF 00 41 FF FF 20");
    for (int cut = 0; cut <= raw.size(); ++cut) {
        ParityMarkDecoder d;
        QByteArray out(raw.size() + 2, '\0');
        auto *o = reinterpret_cast<quint8 *>(out.data());
        const auto *in = reinterpret_cast<const quint8 *>(raw.constData());
        std::size_t n = d.decode(in, std::size_t(cut), o);
        n += d.decode(in + cut, std::size_t(raw.size() - cut), o + n);
        QCOMPARE(out.left(int(n)).toHex(' '), hex("10 41 FF 20").toHex(' '));
        QCOMPARE(d.takeCharacterErrors(), 1);
    }
}

void TestParityMarkDecoder::countsAreTakenOnce()
{
    ParityMarkDecoder d;
    const QByteArray raw = hex("FF 00 41 FF 00 00");
    quint8 out[8];
    d.decode(reinterpret_cast<const quint8 *>(raw.constData()), std::size_t(raw.size()), out);
    QCOMPARE(d.takeCharacterErrors(), 1);
    QCOMPARE(d.takeCharacterErrors(), 0);
    QCOMPARE(d.takeBreaks(), 1);
    QCOMPARE(d.takeBreaks(), 0);
}

QTEST_GUILESS_MAIN(TestParityMarkDecoder)
#include "tst_paritymarkdecoder.moc"
