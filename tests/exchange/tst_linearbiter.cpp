// Other masters' requests on a polled line, against the simulator: what is answered
// at once, what goes to the line and how its answer comes back, the order between
// writes, clients and the poll, the read share, the wait limit, the queue's bound, the
// poll's readings as answers, the access code holding the line for its write, and a
// poller serving requests from another thread.
#include "device/registermap.h"
#include "exchange/devicesession.h"
#include "exchange/linearbiter.h"
#include "exchange/linepoller.h"
#include "exchange/pollersink.h"
#include "sim/simulator.h"
#include "tests/testtiming.h"

#include <QElapsedTimer>
#include <QtEndian>
#include <QtTest>

#include <mutex>
#include <thread>

namespace {

using Result = LineArbiter::Result;

QByteArray pdu(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

QByteArray read(int firstRegister, int count)
{
    return pdu({3, (firstRegister - 1) >> 8, (firstRegister - 1) & 0xff, count >> 8, count & 0xff});
}

QByteArray writeSingle(int reg, int value)
{
    return pdu({6, (reg - 1) >> 8, (reg - 1) & 0xff, value >> 8, value & 0xff});
}

QByteArray writeMultiple(int firstRegister, const QVector<quint16> &values)
{
    QByteArray out = pdu({16, (firstRegister - 1) >> 8, (firstRegister - 1) & 0xff, 0, values.size(), 2 * values.size()});
    for (quint16 v : values)
        out += pdu({v >> 8, v & 0xff});
    return out;
}

// What came back, in the order it came.
struct Replies {
    std::mutex mutex;
    QStringList order;
    QList<LineArbiter::Reply> replies;

    LineArbiter::ReplyCall call(const QString &name)
    {
        return [this, name](const LineArbiter::Reply &r) {
            std::lock_guard<std::mutex> lock(mutex);
            order << name;
            replies << r;
        };
    }
    int count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return replies.size();
    }
    LineArbiter::Reply last()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return replies.last();
    }
};

LineArbiter::Settings quick()
{
    LineArbiter::Settings s;
    s.holdRegister = RegisterMap::AccessCode;
    return s;
}

} // namespace

class TestLineArbiter : public QObject
{
    Q_OBJECT

    Simulator sim;
    std::unique_ptr<DeviceSession> session;

    ModbusPort &port() { return session->port(); }

private slots:
    void initTestCase()
    {
        for (int address : {1, 2}) {
            SimDeviceConfig c;
            c.address = address;
            sim.addDevice(c);
        }
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        session = std::make_unique<DeviceSession>(sim.linkPath());
        session->setTiming(testTiming());
        session->setDevice(1, 19200, 0);
        QVERIFY(session->open());
    }

    void answeredAtOnce_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("function 4: not the devices'") << pdu({4, 0, 32, 0, 5}) << pdu({0x84, 1});
        QTest::newRow("no function") << QByteArray() << pdu({0x80, 1});
        QTest::newRow("read of no register") << read(33, 0) << pdu({0x83, 3});
        QTest::newRow("read past 125") << read(33, 126) << pdu({0x83, 3});
        QTest::newRow("read with a byte too many") << read(33, 1) + pdu({0}) << pdu({0x83, 3});
        QTest::newRow("write single cut short") << writeSingle(31, 1).left(4) << pdu({0x86, 3});
        QTest::newRow("write multiple, byte count wrong")
            << writeMultiple(5, {1, 2}).replace(5, 1, pdu({3})) << pdu({0x90, 3});
        QTest::newRow("write multiple, values missing") << writeMultiple(5, {1, 2}).left(8) << pdu({0x90, 3});
    }
    void answeredAtOnce()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        LineArbiter arbiter(quick());
        Replies r;
        QVERIFY(arbiter.submit(1, 1, request, r.call("a")));
        QCOMPARE(r.count(), 1);
        QCOMPARE(r.last().pdu.toHex(), reply.toHex());
        QCOMPARE(r.last().result, Result::Exception);
        QVERIFY(!arbiter.hasWork());
    }

    void throughTheLine_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: the registers as the device holds them
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("written");
        QTest::newRow("identification") << 1 << read(RegisterMap::Identification, 4) << QByteArray()
                                        << int(Result::Answered) << false;
        QTest::newRow("the other device's settings") << 2 << read(RegisterMap::Configuration, 25) << QByteArray()
                                                     << int(Result::Answered) << false;
        QTest::newRow("a register the device has not") << 1 << read(0x7000, 4) << pdu({0x83, 2})
                                                        << int(Result::Exception) << false;
        QTest::newRow("nobody at the address") << 9 << read(1, 4) << pdu({0x83, 0x0b}) << int(Result::Timeout) << false;
        QTest::newRow("a command") << 2 << writeSingle(RegisterMap::EngineCommandRegister, 0)
                                   << writeSingle(RegisterMap::EngineCommandRegister, 0) << int(Result::Answered) << true;
        QTest::newRow("settings without the access code")
            << 1 << writeMultiple(RegisterMap::Configuration, {40}) << pdu({0x90, 3}) << int(Result::Exception) << false;
    }
    void throughTheLine()
    {
        QFETCH(int, unit);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(int, result);
        QFETCH(bool, written);
        LineArbiter arbiter(quick());
        arbiter.setTimeouts(500, 100);
        Replies r;
        QVERIFY(arbiter.submit(1, quint8(unit), request, r.call("a")));
        QCOMPARE(r.count(), 0);
        port().setSlaveAddress(7);
        arbiter.serve(port(), false);
        QCOMPARE(r.count(), 1);
        QCOMPARE(int(r.last().result), result);
        QVERIFY(r.last().waitSeconds >= 0);
        if (reply.isEmpty()) {
            const int first = qFromBigEndian<quint16>(request.constData() + 1) + 1;
            const int count = qFromBigEndian<quint16>(request.constData() + 3);
            reply = pdu({3, 2 * count});
            for (int i = 0; i < count; ++i) {
                const quint16 v = sim.registerValue(unit, first + i);
                reply += pdu({v >> 8, v & 0xff});
            }
        }
        QCOMPARE(r.last().pdu.toHex(), reply.toHex());
        QCOMPARE(arbiter.takeWritten().count(quint8(unit)), size_t(written));
        QCOMPARE(port().slaveAddress(), quint8(7)); // the poll's device is its own again
    }

    void lineDownAnswersEverything()
    {
        LineArbiter arbiter(quick());
        Replies r;
        arbiter.submit(1, 1, read(1, 4), r.call("read"));
        arbiter.submit(2, 1, writeSingle(31, 0), r.call("write"));
        arbiter.lineDown();
        QCOMPARE(r.count(), 2);
        for (const LineArbiter::Reply &reply : r.replies) {
            QCOMPARE(reply.result, Result::LineDown);
            QCOMPARE(quint8(reply.pdu[1]), LineArbiter::kPathUnavailable);
        }
        // A line that closed under a request: the same answer from the line's failure.
        DeviceSession closed(sim.linkPath());
        arbiter.submit(1, 1, read(1, 4), r.call("closed"));
        arbiter.serve(closed.port(), false);
        QCOMPARE(r.last().pdu.toHex(), pdu({0x83, 0x0a}).toHex());
        QVERIFY(!arbiter.hasWork());
    }

    // Writes first, then the clients' reads in turn.
    void order()
    {
        LineArbiter arbiter(quick());
        Replies r;
        arbiter.submit(1, 1, read(1, 1), r.call("1 read a"));
        arbiter.submit(1, 1, read(1, 1), r.call("1 read b"));
        arbiter.submit(2, 2, read(1, 1), r.call("2 read"));
        arbiter.submit(3, 2, writeSingle(RegisterMap::EngineCommandRegister, 0), r.call("3 write"));
        arbiter.serve(port(), false);
        QCOMPARE(r.order, QStringList({"3 write", "1 read a", "2 read", "1 read b"}));
    }

    // While the poll has work, reads take their share of the line and then wait; writes never do.
    void readShare()
    {
        LineArbiter::Settings s = quick();
        s.burstMs = 1;
        s.readShare = 0.0001;
        LineArbiter arbiter(s);
        Replies r;
        arbiter.submit(1, 1, read(1, 4), r.call("first"));
        arbiter.serve(port(), true);
        QCOMPARE(r.count(), 1); // within the burst
        arbiter.submit(1, 1, read(1, 4), r.call("second"));
        arbiter.serve(port(), true);
        QCOMPARE(r.count(), 1); // its share is spent
        arbiter.submit(2, 2, writeSingle(RegisterMap::EngineCommandRegister, 0), r.call("write"));
        arbiter.serve(port(), true);
        QCOMPARE(r.order, QStringList({"first", "write"}));
        arbiter.serve(port(), false); // the poll has nothing due: the line is the masters'
        QCOMPARE(r.order, QStringList({"first", "write", "second"}));
    }

    void waitLimit()
    {
        LineArbiter::Settings s = quick();
        s.waitLimitMs = 30;
        LineArbiter arbiter(s);
        Replies r;
        arbiter.submit(1, 1, read(1, 4), r.call("late"));
        QElapsedTimer waited;
        waited.start();
        QTRY_VERIFY_WITH_TIMEOUT(waited.elapsed() > s.waitLimitMs, 5000);
        const quint64 requests = port().statistics().requests;
        arbiter.serve(port(), false);
        QCOMPARE(r.last().pdu.toHex(), pdu({0x83, 0x0b}).toHex());
        QCOMPARE(r.last().result, Result::Timeout);
        QCOMPARE(port().statistics().requests, requests); // not sent
    }

    void queueBoundPerClient()
    {
        LineArbiter arbiter(quick());
        Replies r;
        for (int i = 0; i < LineArbiter::kQueuePerClient; ++i)
            QVERIFY(arbiter.submit(1, 1, read(1, 1), r.call("1")));
        QVERIFY(!arbiter.submit(1, 1, read(1, 1), r.call("1 more")));
        QVERIFY(arbiter.submit(2, 1, read(1, 1), r.call("2"))); // another client's own queue
        arbiter.forget(1);
        QVERIFY(arbiter.submit(1, 1, read(1, 1), r.call("1 again")));
        arbiter.serve(port(), false);
        r.order.sort();
        QCOMPARE(r.order, QStringList({"1 again", "2"})); // what was forgotten gets no reply
    }

    void pollReadingsAnswer_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("ageMs");
        QTest::addColumn<bool>("cached");
        QTest::newRow("the whole block") << 33 << 17 << 0 << true;
        QTest::newRow("within it") << 37 << 3 << 0 << true;
        QTest::newRow("one past its end") << 40 << 11 << 0 << false;
        QTest::newRow("before its start") << 32 << 2 << 0 << false;
        QTest::newRow("older than a period") << 33 << 17 << 60 << false;
    }
    void pollReadingsAnswer()
    {
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(int, ageMs);
        QFETCH(bool, cached);
        LineArbiter::Settings s = quick();
        s.cacheMs = 50;
        LineArbiter arbiter(s);
        QVector<quint16> values;
        for (int i = 0; i < 17; ++i)
            values << quint16(1000 + i);
        arbiter.remember(1, 33, values.constData(), values.size());
        QElapsedTimer age;
        age.start();
        QTRY_VERIFY_WITH_TIMEOUT(age.elapsed() >= ageMs, 5000);
        Replies r;
        arbiter.submit(1, 1, read(first, count), r.call("a"));
        QCOMPARE(r.count(), int(cached));
        QCOMPARE(arbiter.hasWork(), !cached);
        if (!cached)
            return;
        QCOMPARE(r.last().result, Result::Cached);
        QCOMPARE(r.last().pdu.size(), 2 + 2 * count);
        QCOMPARE(qFromBigEndian<quint16>(r.last().pdu.constData() + 2), quint16(1000 + first - 33));
    }

    // A reading too old goes to the line; what the device answered serves the next read.
    void aMastersReadFreshensTheBlock()
    {
        LineArbiter::Settings s = quick();
        s.cacheMs = 200;
        LineArbiter arbiter(s);
        const QVector<quint16> stale(17, 0xdead);
        arbiter.remember(2, RegisterMap::Monitoring, stale.constData(), stale.size());
        QElapsedTimer age;
        age.start();
        QTRY_VERIFY_WITH_TIMEOUT(age.elapsed() > s.cacheMs, 5000);
        Replies r;
        arbiter.submit(1, 2, read(RegisterMap::Monitoring, 17), r.call("line"));
        QCOMPARE(r.count(), 0);
        arbiter.serve(port(), false);
        QCOMPARE(r.last().result, Result::Answered);
        arbiter.submit(2, 2, read(RegisterMap::Monitoring + 2, 3), r.call("cache"));
        QCOMPARE(r.count(), 2);
        QCOMPARE(r.last().result, Result::Cached);
        QCOMPARE(r.last().pdu.toHex(), QByteArray(pdu({3, 6}) + r.replies[0].pdu.mid(2 + 4, 6)).toHex());
    }

    // The access code arms only the device's next request: another master's request to
    // it in between would make the write that follows refused.
    void accessCodeHoldsTheLine()
    {
        LineArbiter arbiter(quick());
        arbiter.setTimeouts(500, 100);
        Replies r;
        const quint16 rated = sim.registerValue(1, RegisterMap::Configuration);
        arbiter.submit(1, 1, writeSingle(RegisterMap::AccessCode, 1234), r.call("code"));
        std::thread line([&] { arbiter.serve(port(), true); });
        QTRY_COMPARE_WITH_TIMEOUT(r.count(), 1, 5000);
        arbiter.submit(2, 1, read(1, 4), r.call("other master"));
        arbiter.submit(1, 1, writeMultiple(RegisterMap::Configuration, {rated}), r.call("settings"));
        line.join();
        QCOMPARE(r.order, QStringList({"code", "settings", "other master"}));
        QCOMPARE(r.replies[1].result, Result::Answered);
    }

    // A poller in its thread: a master's request is served while it waits for its period,
    // and the device written to is visited at once.
    void pollerServesAndVisitsWhatWasWritten()
    {
        session->close();
        struct Sink : PollerSink {
            std::mutex mutex;
            QList<int> events;
            void deviceIdentified(const QString &, const DeviceInfo &) override {}
            void deviceEvent(const QString &, const DeviceInfo &d, const DataEventPtr &) override
            {
                std::lock_guard<std::mutex> lock(mutex);
                events << d.address;
            }
            void transaction(const QString &, int, bool) override {}
            int of(int address)
            {
                std::lock_guard<std::mutex> lock(mutex);
                return events.count(address);
            }
        } sink;
        LinePoller::Line line;
        line.name = QStringLiteral("l");
        line.devicePath = sim.linkPath();
        line.addresses = {1, 2};
        line.timing = testTiming();
        line.timing.cyclePeriodMs = 8000; // the next visit is 8 s away; after a write, 2 s
        LineArbiter arbiter(quick());
        LinePoller poller(line, sink);
        poller.setArbiter(&arbiter);
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(sink.of(2) > 0, 10000);
        const int visits = sink.of(2);
        Replies r;
        arbiter.submit(1, 2, writeSingle(RegisterMap::EngineCommandRegister, 0), r.call("write"));
        QTRY_COMPARE_WITH_TIMEOUT(r.count(), 1, 5000);
        QCOMPARE(r.last().result, Result::Answered);
        QTRY_VERIFY_WITH_TIMEOUT(sink.of(2) > visits, 5000);
        poller.stop();
        QVERIFY(session->open());
    }
};

QTEST_GUILESS_MAIN(TestLineArbiter)
#include "tst_linearbiter.moc"
