// What the gateway counts of each request on a line: the frames of the port turned
// into one outcome per request sent, and the line's busy time over the last minute.
#include "exchange/busywindow.h"
#include "exchange/requestobserver.h"
#include "link/framerecord.h"
#include "link/rtuframing.h"

#include <QtTest>

#include <vector>

namespace {

using Failure = RtuFraming::Failure;
using Kind = PollerSink::RequestKind;

constexpr qint64 kNsPerMs = 1000000;

struct Outcome {
    int address;
    double seconds;
    Kind kind;
};

struct RecordingSink : PollerSink {
    std::vector<Outcome> requests;
    void deviceIdentified(const QString &, const DeviceInfo &) override {}
    void deviceEvent(const QString &, const DeviceInfo &, const DataEventPtr &) override {}
    void transaction(const QString &, int, bool) override {}
    void request(const QString &line, int address, double seconds, Kind kind) override
    {
        QCOMPARE(line, QString("L"));
        requests.push_back({address, seconds, kind});
    }
};

FrameRecord sent(quint8 address)
{
    FrameRecord r;
    r.direction = FrameRecord::Sent;
    r.bytes = RtuFraming::readRequest(address, 1, 10);
    return r;
}

FrameRecord received(Failure failure)
{
    FrameRecord r;
    r.direction = FrameRecord::Received;
    r.failure = int(failure);
    return r;
}

FrameRecord discarded()
{
    FrameRecord r;
    r.direction = FrameRecord::Discarded;
    r.bytes = "\x01\x02";
    return r;
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class TestRequestObserver : public QObject
{
    Q_OBJECT

private slots:
    void kindOfEachFailure_data();
    void kindOfEachFailure();
    void framesWithoutARequest();
    void busyTime_data();
    void busyTime();
};

void TestRequestObserver::kindOfEachFailure_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("kind"); // -1: no request's outcome
    QTest::newRow("answered") << Failure::None << int(Kind::Answered);
    QTest::newRow("no answer") << Failure::NoAnswer << int(Kind::Timeout);
    QTest::newRow("crc") << Failure::CrcError << int(Kind::Crc);
    QTest::newRow("short reply") << Failure::ShortReply << int(Kind::Crc);
    QTest::newRow("echo mismatch") << Failure::EchoMismatch << int(Kind::Crc);
    QTest::newRow("exception") << Failure::Exception << int(Kind::Exception);
    QTest::newRow("wrong address") << Failure::WrongAddress << int(Kind::OtherAddress);
    QTest::newRow("line error") << Failure::LineError << int(Kind::LineError);
    QTest::newRow("not open") << Failure::NotOpen << int(Kind::LineError);
    QTest::newRow("write failed") << Failure::WriteFailed << int(Kind::LineError);
    QTest::newRow("cancelled by a stop") << Failure::Cancelled << -1;
}

// Each request's outcome, for the device the request went to, timed from its sending
// to its reply's end; a cancelled one leaves only its busy time.
void TestRequestObserver::kindOfEachFailure()
{
    QFETCH(Failure, failure);
    QFETCH(int, kind);
    qint64 nowNs = 5000 * kNsPerMs;
    RecordingSink sink;
    RequestObserver observer("L", sink, [&] { return nowNs; });
    observer.onFrame(discarded());
    observer.onFrame(sent(17));
    nowNs += 120 * kNsPerMs;
    observer.onFrame(received(failure));
    if (kind < 0) {
        QVERIFY(sink.requests.empty());
    } else {
        QCOMPARE(sink.requests.size(), size_t(1));
        QCOMPARE(sink.requests[0].address, 17);
        QCOMPARE(sink.requests[0].seconds, 0.12);
        QCOMPARE(int(sink.requests[0].kind), kind);
    }
    QCOMPARE(observer.busySeconds(), 0.12);
}

// A transaction that failed before sending (the line gone, never silent) is no request;
// a request's outcome is counted once, for its own device.
void TestRequestObserver::framesWithoutARequest()
{
    qint64 nowNs = 0;
    RecordingSink sink;
    RequestObserver observer("L", sink, [&] { return nowNs; });
    observer.onFrame(received(Failure::NoAnswer));
    observer.onFrame(sent(3));
    nowNs += 10 * kNsPerMs;
    observer.onFrame(received(Failure::None));
    observer.onFrame(received(Failure::NoAnswer));
    observer.onFrame(sent(4));
    nowNs += 30 * kNsPerMs;
    observer.onFrame(received(Failure::WrongAddress));
    QCOMPARE(sink.requests.size(), size_t(2));
    QCOMPARE(sink.requests[0].address, 3);
    QCOMPARE(int(sink.requests[0].kind), int(Kind::Answered));
    QCOMPARE(sink.requests[1].address, 4);
    QCOMPARE(sink.requests[1].seconds, 0.03);
    QCOMPARE(int(sink.requests[1].kind), int(Kind::OtherAddress));
    QCOMPARE(observer.busySeconds(), 0.04);
}

void TestRequestObserver::busyTime_data()
{
    // Requests as "begin-end" in seconds from the line's start ("begin-" still under
    // way); the figures asked at a moment.
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<double>("at");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<double>("total");
    QTest::newRow("idle") << QStringList {} << 30.0 << 0.0 << 0.0;
    QTest::newRow("young line: share of its age") << QStringList {"0.5-0.7"} << 1.0 << 0.2 << 0.2;
    QTest::newRow("across seconds") << QStringList {"0.9-2.4", "3.0-3.5"} << 4.0 << 0.5 << 2.0;
    QTest::newRow("under way counts to the moment") << QStringList {"1.0-"} << 1.5 << 1.0 / 3 << 0.5;
    QTest::newRow("hung line") << QStringList {"2-3", "5-"} << 125.0 << 1.0 << 121.0;
    QTest::newRow("a minute busy") << QStringList {"10-70"} << 70.0 << 1.0 << 60.0;
    QTest::newRow("older than the minute leaves") << QStringList {"0-10", "50-51"} << 100.0 << 1.0 / 60 << 11.0;
    QTest::newRow("slot half in the window") << QStringList {"0-1", "30-31"} << 60.5 << 1.5 / 60 << 2.0;
    QTest::newRow("begun again: the first ended there") << QStringList {"1-", "2-2.5"} << 3.0 << 0.5 << 1.5;
    QTest::newRow("slot reused after a minute") << QStringList {"0.2-0.9", "61.2-61.3"} << 61.5 << 0.1 / 60 << 0.8;
    // The oldest second by half of its 0.4 s, the newest whole.
    QTest::newRow("in the second asked") << QStringList {"0.5-0.9", "59.8-60.3"} << 60.5 << 0.7 / 60 << 0.9;
}

void TestRequestObserver::busyTime()
{
    QFETCH(QStringList, requests);
    QFETCH(double, at);
    QFETCH(double, ratio);
    QFETCH(double, total);
    const qint64 startNs = 1000000 * kNsPerMs; // an arbitrary moment of the clock
    auto ns = [&](double seconds) { return startNs + qint64(seconds * 1e9); };
    BusyWindow busy(startNs);
    for (const QString &r : requests) {
        busy.begin(ns(r.section('-', 0, 0).toDouble()));
        if (!r.endsWith('-'))
            busy.end(ns(r.section('-', 1).toDouble()));
    }
    QVERIFY2(qAbs(busy.ratio(ns(at)) - ratio) < 1e-9, qPrintable(QString::number(busy.ratio(ns(at)))));
    QVERIFY2(qAbs(busy.totalSeconds(ns(at)) - total) < 1e-9, qPrintable(QString::number(busy.totalSeconds(ns(at)))));
}

QTEST_GUILESS_MAIN(TestRequestObserver)
#include "tst_requestobserver.moc"
