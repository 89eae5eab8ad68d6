// The quality the gateway publishes with each device's state, step by step, and the
// thread that checks it while the lines may be stuck.
#include "gateway/periodiccheck.h"
#include "gateway/readingquality.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>

namespace {

constexpr qint64 kStaleAfterMs = 300;

} // namespace

class TestReadingQuality : public QObject
{
    Q_OBJECT

private slots:
    void transitions_data();
    void transitions();
    void checkRunsUntilStopped();
};

void TestReadingQuality::transitions_data()
{
    // Steps: "read MONOTONIC_MS WALL_S", "lost WALL_S", "check MONOTONIC_MS"; after each,
    // the quality, its since and "changed" when the step changed it. The two clocks
    // differ on purpose: ages are the monotonic one's, since the wall clock's.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("first reading")
        << QStringList {"check 100", "read 100 5000", "check 400"}
        << QStringList {"- 0", "good 5000 changed", "good 5000"};
    QTest::newRow("stale after the age, since the age was reached")
        << QStringList {"read 100 5000", "read 200 5000.1", "check 500", "check 501", "check 900"}
        << QStringList {"good 5000 changed", "good 5000", "good 5000", "stale 5000.4 changed", "stale 5000.4"};
    QTest::newRow("a reading mends stale")
        << QStringList {"read 0 10", "check 1000", "read 1100 11.1", "check 1300"}
        << QStringList {"good 10 changed", "stale 10.3 changed", "good 11.1 changed", "good 11.1"};
    QTest::newRow("down from good or stale, not stale while down")
        << QStringList {"read 0 10", "lost 10.2", "check 5000", "read 6000 16", "check 6400", "lost 17"}
        << QStringList {"good 10 changed", "down 10.2 changed", "down 10.2", "good 16 changed", "stale 16.3 changed",
                        "down 17 changed"};
    QTest::newRow("lost again keeps since")
        << QStringList {"lost 3", "lost 4", "read 100 5"}
        << QStringList {"down 3 changed", "down 3", "good 5 changed"};
}

void TestReadingQuality::transitions()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, after);
    ReadingQuality q(kStaleAfterMs);
    for (int i = 0; i < steps.size(); ++i) {
        const QStringList s = steps[i].split(' ');
        bool changed = false;
        if (s[0] == "read")
            changed = q.read(s[1].toLongLong(), s[2].toDouble());
        else if (s[0] == "lost")
            changed = q.lost(s[1].toDouble());
        else
            changed = q.check(s[1].toLongLong());
        const char *name = ReadingQuality::name(q.value());
        QString seen = QStringLiteral("%1 %2").arg(*name ? QString::fromLatin1(name) : QStringLiteral("-"))
                           .arg(q.since(), 0, 'f', 1);
        const QStringList want = after[i].split(' ');
        QString expected = QStringLiteral("%1 %2").arg(want[0]).arg(want[1].toDouble(), 0, 'f', 1);
        if (changed)
            seen += " changed";
        if (want.size() > 2)
            expected += " changed";
        QCOMPARE(seen, expected);
    }
}

// Called again and again, and stopped at once however long its period.
void TestReadingQuality::checkRunsUntilStopped()
{
    std::atomic<int> calls {0};
    PeriodicCheck quick(5, [&] { ++calls; });
    quick.start();
    QTRY_VERIFY_WITH_TIMEOUT(calls.load() >= 3, 5000);
    quick.stop();
    const int stopped = calls.load();
    PeriodicCheck slow(600000, [&] { ++calls; });
    slow.start();
    QElapsedTimer clock;
    clock.start();
    slow.stop();
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(calls.load(), stopped); // nothing after stop(); the slow one never came
}

QTEST_GUILESS_MAIN(TestReadingQuality)
#include "tst_readingquality.moc"
