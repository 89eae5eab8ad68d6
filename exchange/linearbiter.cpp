#include "exchange/linearbiter.h"

#include "link/modbusport.h"
#include "link/rtuframing.h"

#include <QtEndian>

#include <algorithm>
#include <chrono>

namespace {

quint8 functionOf(const QByteArray &pdu)
{
    return pdu.isEmpty() ? 0 : quint8(pdu[0]);
}

bool isWrite(quint8 function)
{
    return function == RtuFraming::kFunctionWriteSingle || function == RtuFraming::kFunctionWriteMultiple;
}

quint16 word(const QByteArray &pdu, int at)
{
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(pdu.constData()) + at);
}

QByteArray exception(quint8 function, quint8 code)
{
    QByteArray pdu(2, 0);
    pdu[0] = char(function | RtuFraming::kExceptionBit);
    pdu[1] = char(code);
    return pdu;
}

// 0 when the PDU is one the line's devices take, else the exception it gets.
quint8 refusal(const QByteArray &pdu)
{
    const quint8 function = functionOf(pdu);
    if (function == RtuFraming::kFunctionReadHolding) {
        if (pdu.size() != 5)
            return LineArbiter::kIllegalDataValue;
        const quint16 count = word(pdu, 3);
        return count >= 1 && count <= RtuFraming::kMaxReadRegisters ? 0 : LineArbiter::kIllegalDataValue;
    }
    if (function == RtuFraming::kFunctionWriteSingle)
        return pdu.size() == 5 ? 0 : LineArbiter::kIllegalDataValue;
    if (function == RtuFraming::kFunctionWriteMultiple) {
        if (pdu.size() < 6)
            return LineArbiter::kIllegalDataValue;
        const quint16 count = word(pdu, 3);
        const bool sound = count >= 1 && count <= RtuFraming::kMaxWriteRegisters && quint8(pdu[5]) == 2 * count
            && pdu.size() == 6 + 2 * count;
        return sound ? 0 : LineArbiter::kIllegalDataValue;
    }
    return LineArbiter::kIllegalFunction;
}

QByteArray readReply(const quint16 *values, int count)
{
    QByteArray pdu(2 + 2 * count, 0);
    pdu[0] = char(RtuFraming::kFunctionReadHolding);
    pdu[1] = char(2 * count);
    for (int i = 0; i < count; ++i)
        qToBigEndian<quint16>(values[i], pdu.data() + 2 + 2 * i);
    return pdu;
}

} // namespace

const char *LineArbiter::resultName(Result r)
{
    switch (r) {
    case Result::Answered: return "answered";
    case Result::Cached: return "cached";
    case Result::Exception: return "exception";
    case Result::Timeout: return "timeout";
    case Result::LineDown: return "line_down";
    case Result::Busy: return "busy";
    case Result::Refused: return "refused";
    }
    return "answered";
}

LineArbiter::LineArbiter(const Settings &settings)
    : setup(settings)
    , tokensMs(settings.burstMs)
    , refilledMs(nowMs())
{
}

qint64 LineArbiter::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool LineArbiter::submit(quint64 client, quint8 unit, const QByteArray &pdu, ReplyCall reply)
{
    if (const quint8 code = refusal(pdu)) {
        reply({exception(functionOf(pdu), code), Result::Exception, -1});
        return true;
    }
    QByteArray cached;
    std::unique_lock<std::mutex> lock(mutex);
    if (fromCache(unit, pdu, cached)) {
        lock.unlock(); // replies are called without the lock, as from the line's thread
        reply({cached, Result::Cached, -1});
        return true;
    }
    int &count = waiting[client];
    if (count >= kQueuePerClient)
        return false;
    ++count;
    Pending p {client, unit, pdu, nowMs(), std::move(reply)};
    if (isWrite(functionOf(pdu)))
        writes.push_back(std::move(p));
    else
        reads[client].push_back(std::move(p));
    lock.unlock();
    arrived.notify_all();
    if (wakeCall)
        wakeCall();
    return true;
}

void LineArbiter::forget(quint64 client)
{
    std::lock_guard<std::mutex> lock(mutex);
    writes.erase(std::remove_if(writes.begin(), writes.end(), [client](const Pending &p) { return p.client == client; }),
                 writes.end());
    reads.erase(client);
    waiting.remove(client);
    if (holdClient == client)
        holdUntilMs = 0;
}

bool LineArbiter::hasWork() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return !writes.empty() || !reads.empty();
}

void LineArbiter::setTimeouts(int readMs, int probeMs)
{
    std::lock_guard<std::mutex> lock(mutex);
    readTimeoutMs = readMs;
    probeTimeoutMs = probeMs;
}

void LineArbiter::setAnswering(quint8 unit, bool answers)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (answers)
        answering.insert(unit);
    else
        answering.erase(unit);
}

void LineArbiter::remember(quint8 unit, quint32 firstRegister, const quint16 *values, int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<Reading> &readings = cache[unit];
    const qint64 now = nowMs();
    for (Reading &r : readings)
        if (r.first == firstRegister && int(r.values.size()) == count) {
            r.values.assign(values, values + count);
            r.timeMs = now;
            return;
        }
    readings.push_back({firstRegister, std::vector<quint16>(values, values + count), now});
}

// A master's read that covers a block the poll reads is as fresh a reading of it: the
// masters reading it after it are answered from it too.
void LineArbiter::refresh(quint8 unit, quint32 first, const quint16 *values, int count)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = cache.find(unit);
    if (it == cache.end())
        return;
    for (Reading &r : it->second)
        if (r.first >= first && r.first + r.values.size() <= first + quint32(count)) {
            std::copy(values + (r.first - first), values + (r.first - first) + r.values.size(), r.values.begin());
            r.timeMs = nowMs();
        }
}

// Registers counted from 1, as the poll names them; the PDU carries the number - 1.
bool LineArbiter::fromCache(quint8 unit, const QByteArray &request, QByteArray &pdu) const
{
    if (functionOf(request) != RtuFraming::kFunctionReadHolding)
        return false;
    const auto it = cache.find(unit);
    if (it == cache.end())
        return false;
    const quint32 first = quint32(word(request, 1)) + 1;
    const int count = word(request, 3);
    const qint64 oldest = nowMs() - setup.cacheMs;
    for (const Reading &r : it->second) {
        if (r.timeMs < oldest || first < r.first || first + quint32(count) > r.first + quint32(r.values.size()))
            continue;
        pdu = readReply(r.values.data() + (first - r.first), count);
        return true;
    }
    return false;
}

std::set<quint8> LineArbiter::takeWritten()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::set<quint8> out;
    out.swap(written);
    return out;
}

void LineArbiter::refill(qint64 now)
{
    tokensMs = std::min<double>(setup.burstMs, tokensMs + double(now - refilledMs) * setup.readShare);
    refilledMs = now;
}

// Writes in order of arrival, then the clients' reads in turn; while an access code
// holds the line, only its client's requests.
bool LineArbiter::takeNext(bool pollWaiting, Pending &out)
{
    const qint64 now = nowMs();
    const bool held = holdUntilMs > now;
    auto mayGo = [&](const Pending &p) { return !held || p.client == holdClient; };
    for (auto it = writes.begin(); it != writes.end(); ++it)
        if (mayGo(*it)) {
            out = std::move(*it);
            writes.erase(it);
            --waiting[out.client];
            return true;
        }
    refill(now);
    if (reads.empty() || (pollWaiting && !held && tokensMs <= 0))
        return false;
    auto next = reads.upper_bound(lastReader);
    for (size_t tried = 0; tried < reads.size(); ++tried, ++next) {
        if (next == reads.end())
            next = reads.begin();
        if (!mayGo(next->second.front()))
            continue;
        out = std::move(next->second.front());
        next->second.pop_front();
        lastReader = next->first;
        if (next->second.empty())
            reads.erase(next);
        --waiting[out.client];
        return true;
    }
    return false;
}

std::vector<LineArbiter::Pending> LineArbiter::takeExpired()
{
    const qint64 oldest = nowMs() - setup.waitLimitMs;
    std::vector<Pending> out;
    auto sweep = [&](std::deque<Pending> &queue) {
        while (!queue.empty() && queue.front().arrivedMs < oldest) {
            --waiting[queue.front().client];
            out.push_back(std::move(queue.front()));
            queue.pop_front();
        }
    };
    sweep(writes);
    for (auto it = reads.begin(); it != reads.end();) {
        sweep(it->second);
        it = it->second.empty() ? reads.erase(it) : std::next(it);
    }
    return out;
}

void LineArbiter::serve(ModbusPort &port, bool pollWaiting)
{
    if (serving)
        return;
    serving = true;
    const quint8 slave = port.slaveAddress();
    const int timeout = port.readTimeout();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        std::vector<Pending> expired = takeExpired();
        Pending p;
        const bool next = takeNext(pollWaiting, p);
        if (!expired.empty() || next) {
            lock.unlock();
            for (Pending &e : expired)
                run(port, e, pollWaiting); // answered 0x0B without the line
            if (next)
                run(port, p, pollWaiting);
            lock.lock();
            continue;
        }
        if (holdUntilMs <= nowMs())
            break;
        // The access code arms only the device's next request: the poll must not be it.
        arrived.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::milliseconds(holdUntilMs)));
    }
    lock.unlock();
    port.setSlaveAddress(slave);
    port.setReadTimeout(timeout);
    serving = false;
}

void LineArbiter::lineDown()
{
    std::vector<Pending> all;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (Pending &p : writes)
            all.push_back(std::move(p));
        for (auto &client : reads)
            for (Pending &p : client.second)
                all.push_back(std::move(p));
        writes.clear();
        reads.clear();
        waiting.clear();
        holdUntilMs = 0;
    }
    arrived.notify_all(); // a line held for an access code is let go
    for (const Pending &p : all)
        p.reply({exception(functionOf(p.pdu), kPathUnavailable), Result::LineDown, -1});
}

void LineArbiter::run(ModbusPort &port, Pending &p, bool pollWaiting)
{
    const qint64 started = nowMs();
    const double waited = double(started - p.arrivedMs) / 1000.0;
    if (started - p.arrivedMs >= setup.waitLimitMs) {
        p.reply({exception(functionOf(p.pdu), kTargetFailed), Result::Timeout, waited});
        return;
    }
    Reply r = execute(port, p);
    r.waitSeconds = waited;
    const quint8 function = functionOf(p.pdu);
    {
        std::lock_guard<std::mutex> lock(mutex);
        const qint64 now = nowMs();
        if (!isWrite(function) && pollWaiting)
            tokensMs -= double(now - started);
        if (holdClient == p.client)
            holdUntilMs = 0; // the request the code armed has been sent
        if (isWrite(function) && r.result == Result::Answered) {
            written.insert(p.unit);
            if (function == RtuFraming::kFunctionWriteSingle && setup.holdRegister != 0
                && quint32(word(p.pdu, 1)) + 1 == setup.holdRegister) {
                holdClient = p.client;
                holdUntilMs = now + setup.holdMs;
            }
        }
    }
    p.reply(r);
}

LineArbiter::Reply LineArbiter::execute(ModbusPort &port, const Pending &p)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        port.setReadTimeout(answering.count(p.unit) ? readTimeoutMs : probeTimeoutMs);
    }
    port.setSlaveAddress(p.unit);
    const quint8 function = functionOf(p.pdu);
    const quint32 first = quint32(word(p.pdu, 1)) + 1;
    Reply r;
    bool ok = false;
    if (function == RtuFraming::kFunctionReadHolding) {
        const int count = word(p.pdu, 3);
        quint16 values[RtuFraming::kMaxReadRegisters];
        ok = port.readRegisters(first, quint32(2 * count), values);
        if (ok) {
            r.pdu = readReply(values, count);
            refresh(p.unit, first, values, count);
        }
    } else if (function == RtuFraming::kFunctionWriteSingle) {
        ok = port.writeRegister(first, word(p.pdu, 3));
        r.pdu = p.pdu; // the device's echo
    } else {
        const int count = word(p.pdu, 3);
        std::vector<quint16> values(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            values[size_t(i)] = word(p.pdu, 6 + 2 * i);
        ok = port.writeRegisters(first, quint32(2 * count), values.data());
        r.pdu = p.pdu.left(5);
    }
    if (ok)
        return r;
    using F = ModbusPort::Failure;
    const F f = port.failure();
    if (f == F::Exception) {
        r.result = Result::Exception;
        r.pdu = exception(function, quint8(port.exception()));
    } else if (f == F::NotOpen || f == F::Cancelled || !port.isOpen()) {
        r.result = Result::LineDown;
        r.pdu = exception(function, kPathUnavailable);
    } else {
        r.result = Result::Timeout;
        r.pdu = exception(function, kTargetFailed);
    }
    return r;
}
