#include "sim/simulator.h"

#include "link/rtuframing.h"
#include "sim/simdevice.h"
#include "sim/simframe.h"
#include "sim/simlog.h"

#include <QDateTime>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr int kMaxRecorded = 10000; // a demonstration may run for days; keep the newest
constexpr qint64 kNsPerMs = 1000000;

} // namespace

Simulator::Simulator()
    : accessCode(SimDevice::kDefaultAccessCode)
{
}

Simulator::~Simulator()
{
    stop();
}

qint64 Simulator::hostMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void Simulator::addDevice(const SimDeviceConfig &config)
{
    auto added = std::make_unique<SimDevice>(config, hostMs());
    std::lock_guard<std::mutex> locker(lock);
    added->setAccessCode(accessCode);
    added->setSeed(seed);
    for (auto &d : devices) {
        // Two devices may share an address on different formats, each heard in its own.
        if (d->config().address == config.address && d->config().frameFormat == config.frameFormat) {
            d = std::move(added);
            return;
        }
    }
    devices.push_back(std::move(added));
}

void Simulator::setAccessCode(quint16 code)
{
    std::lock_guard<std::mutex> locker(lock);
    accessCode = code;
    for (auto &d : devices)
        d->setAccessCode(code);
}

void Simulator::setSeed(quint32 value)
{
    std::lock_guard<std::mutex> locker(lock);
    seed = value;
    for (auto &d : devices)
        d->setSeed(value);
}

void Simulator::setTurnaroundMs(int ms)
{
    turnaroundMs = qMax(0, ms);
}

SimDeviceConfig Simulator::firstConfig() const
{
    std::lock_guard<std::mutex> locker(lock);
    return devices.empty() ? SimDeviceConfig() : devices.front()->config();
}

bool Simulator::start(const QString &symlinkPath)
{
    if (isRunning())
        return launch(false);
    const SimDeviceConfig first = firstConfig();
    return launch(line.openPty(symlinkPath, first.baudRate, first.frameFormat));
}

bool Simulator::startOnTty(const QString &ttyPath)
{
    if (isRunning())
        return launch(false);
    const SimDeviceConfig first = firstConfig();
    return launch(line.openTty(ttyPath, first.baudRate, first.frameFormat));
}

bool Simulator::launch(bool opened)
{
    std::lock_guard<std::mutex> locker(lock);
    if (!opened) {
        error = isRunning() ? QStringLiteral("the simulator is already running") : line.errorString();
        return false;
    }
    if (!stopWake.create()) {
        error = QStringLiteral("cannot create a wake-up descriptor: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        line.close();
        return false;
    }
    error.clear();
    stopping = false;
    worker = std::thread(&Simulator::run, this);
    return true;
}

void Simulator::stop()
{
    if (!worker.joinable())
        return;
    stopping = true;
    if (!stopWake.notify())
        qCWarning(lcSim) << "cannot wake the line thread; it stops at its next frame";
    worker.join();
    stopWake.close();
    line.close();
}

QString Simulator::linkPath() const
{
    return line.path();
}

QString Simulator::errorString() const
{
    std::lock_guard<std::mutex> locker(lock);
    return error;
}

void Simulator::run()
{
    QByteArray frame;
    qint64 endNs = 0;
    for (;;) {
        const SimLine::Wait wait = line.readFrame(stopWake, frame, endNs);
        if (wait == SimLine::Wait::Stopped)
            return;
        if (wait == SimLine::Wait::Failed) {
            qCWarning(lcSim).noquote() << "the line failed; no more requests are served:" << line.path();
            std::lock_guard<std::mutex> locker(lock);
            error = QStringLiteral("the line %1 failed").arg(line.path());
            return;
        }
        serve(frame, endNs);
    }
}

void Simulator::serve(const QByteArray &frame, qint64 endNs)
{
    SimRequest request = describe(frame);
    Outgoing out;
    {
        std::lock_guard<std::mutex> locker(lock);
        out = answer(frame, request);
    }
    request.answered = !out.bytes.isEmpty();
    record(request);
    if (!request.answered)
        return;
    line.send(out.bytes, pacing(out, endNs), stopping);
    {
        std::lock_guard<std::mutex> locker(recordLock);
        ++replies;
    }
    recorded.notify_all();
}

SimRequest Simulator::describe(const QByteArray &frame)
{
    const SimFrame f = SimFrame::parse(frame);
    SimRequest r;
    r.timeMs = hostMs();
    r.frame = frame;
    r.address = f.address;
    r.function = f.function;
    r.firstRegister = f.firstRegister;
    r.count = f.count;
    r.values = f.values;
    return r;
}

Simulator::Outgoing Simulator::ignore(SimRequest &request, const QString &why)
{
    request.reason = why;
    return Outgoing();
}

QByteArray Simulator::networkReply(const QByteArray &frame, int &splitAt, int &pauseMs)
{
    SimRequest request = describe(frame);
    Outgoing out;
    {
        std::lock_guard<std::mutex> locker(lock);
        out = answer(frame, request, true);
    }
    request.answered = !out.bytes.isEmpty();
    record(request);
    splitAt = out.splitAt;
    pauseMs = out.pauseMs;
    if (request.answered) {
        {
            std::lock_guard<std::mutex> locker(recordLock);
            ++replies;
        }
        recorded.notify_all();
    }
    return out.bytes;
}

// Behind a network server the devices sit on the server's own serial line, set up as
// the first device's: a device on other settings does not hear.
bool Simulator::heard(const SimDevice &d, bool overNetwork) const
{
    const int format = d.config().anyFormat ? SimLine::kAnyFormat : d.config().frameFormat;
    if (!overNetwork)
        return line.settingsMatch(d.config().baudRate, format);
    const SimDeviceConfig first = devices.front()->config();
    return d.config().baudRate == first.baudRate && SimLine::sameFormat(format, first.frameFormat);
}

SimDevice *Simulator::hearing(int address, bool overNetwork) const
{
    for (const auto &d : devices)
        if (d->config().address == address && heard(*d, overNetwork))
            return d.get();
    return nullptr;
}

Simulator::Outgoing Simulator::answer(const QByteArray &bytes, SimRequest &request, bool overNetwork)
{
    if (bytes.size() < SimFrame::kMinFrame)
        return ignore(request, QStringLiteral("too short"));
    if (!RtuFraming::checkCrc(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size()))
        return ignore(request, QStringLiteral("bad CRC"));
    const SimFrame frame = SimFrame::parse(bytes);
    if (frame.address == SimFrame::kBroadcast) {
        broadcast(frame, overNetwork);
        return ignore(request, QStringLiteral("broadcast"));
    }
    if (!device(frame.address))
        return ignore(request, QStringLiteral("no device at this address"));
    SimDevice *d = hearing(frame.address, overNetwork);
    if (!d)
        return ignore(request, QStringLiteral("line settings differ"));
    return answerDevice(*d, frame, request);
}

Simulator::Outgoing Simulator::answerDevice(SimDevice &d, const SimFrame &frame, SimRequest &request)
{
    const SimFault fault = faults.take(d.config().address, hostMs());
    if (fault.kind == SimFault::NoReply)
        return ignore(request, QStringLiteral("fault no-reply"));
    if (fault.kind == SimFault::Silent)
        return ignore(request, QStringLiteral("silent"));
    SimDevice::Answer a;
    a.exception = fault.kind == SimFault::Exception ? fault.exceptionCode : 0;
    if (a.exception == 0)
        a = d.handle(frame, hostMs()); // a faked exception means the device did nothing
    Outgoing out;
    out.baud = d.config().baudRate;
    out.bytes = replyFor(frame, a.exception, a.values);
    request.exception = a.exception;
    spoil(out, fault, request);
    return out;
}

// Reads cannot be broadcast; writes reach every device that hears the line settings.
void Simulator::broadcast(const SimFrame &frame, bool overNetwork)
{
    if (frame.function != SimFrame::WriteSingle && frame.function != SimFrame::WriteMultiple)
        return;
    for (auto &d : devices)
        if (heard(*d, overNetwork))
            d->handle(frame, hostMs());
}

QByteArray Simulator::replyFor(const SimFrame &frame, int exception, const QVector<quint16> &values)
{
    if (exception != 0)
        return SimFrame::exceptionReply(frame.address, frame.function, exception);
    switch (frame.function) {
    case SimFrame::ReadHolding: return SimFrame::readReply(frame.address, values);
    case SimFrame::WriteSingle: return SimFrame::echoReply(frame.bytes);
    default: return SimFrame::writeMultipleReply(frame.address, frame.firstRegister, frame.count);
    }
}

void Simulator::spoil(Outgoing &out, const SimFault &fault, SimRequest &request)
{
    QByteArray &b = out.bytes;
    switch (fault.kind) {
    case SimFault::BadCrc:
        b[b.size() - 1] = char(b[b.size() - 1] ^ 0x5A);
        request.reason = QStringLiteral("fault bad-crc");
        break;
    case SimFault::WrongAddress:
        b.chop(2);
        b[0] = char(quint8(b[0]) % RtuFraming::kMaxSlaveAddress + 1);
        RtuFraming::appendCrc(b);
        request.reason = QStringLiteral("fault wrong-address");
        break;
    case SimFault::Exception:
        request.reason = QStringLiteral("fault exception");
        break;
    case SimFault::SplitReply:
        out.splitAt = b.size() / 2;
        out.pauseMs = fault.pauseMs;
        request.reason = QStringLiteral("fault split");
        break;
    default:
        break;
    }
}

SimLine::Pacing Simulator::pacing(const Outgoing &out, qint64 endNs) const
{
    SimLine::Pacing p;
    p.charNs = SimLine::characterNs(out.baud);
    p.startNs = endNs + turnaroundMs.load() * kNsPerMs;
    p.splitAt = out.splitAt;
    p.pauseNs = out.pauseMs * kNsPerMs;
    return p;
}

SimDevice *Simulator::device(int address) const
{
    for (const auto &d : devices)
        if (d->config().address == address)
            return d.get();
    return nullptr;
}

quint16 Simulator::registerValue(int address, int reg) const
{
    std::lock_guard<std::mutex> locker(lock);
    SimDevice *d = device(address);
    if (!d)
        return 0;
    const qint64 now = hostMs();
    d->advance(now);
    return d->value(reg, now);
}

void Simulator::setRegisterValue(int address, int reg, quint16 value)
{
    std::lock_guard<std::mutex> locker(lock);
    if (SimDevice *d = device(address))
        d->setValue(reg, value, hostMs());
}

void Simulator::setLoad(int address, int percent)
{
    std::lock_guard<std::mutex> locker(lock);
    if (SimDevice *d = device(address))
        d->setLoad(percent, hostMs());
}

void Simulator::injectTrip(int address, int faultCode)
{
    std::lock_guard<std::mutex> locker(lock);
    if (SimDevice *d = device(address))
        d->injectTrip(faultCode, hostMs());
}

void Simulator::releaseRegisters(int address)
{
    std::lock_guard<std::mutex> locker(lock);
    if (SimDevice *d = device(address))
        d->releaseRegisters();
}

void Simulator::setFault(const SimFault &fault, int count, int address)
{
    std::lock_guard<std::mutex> locker(lock);
    faults.set(fault, count, address, hostMs());
}

void Simulator::clearFaults()
{
    std::lock_guard<std::mutex> locker(lock);
    faults.clear();
    for (auto &d : devices)
        d->clearWriteQuirks();
}

void Simulator::setWriteClamp(int address, int reg, quint16 value)
{
    std::lock_guard<std::mutex> locker(lock);
    if (SimDevice *d = device(address))
        d->setWriteClamp(reg, value);
}

void Simulator::setWriteFailure(int address, int reg)
{
    std::lock_guard<std::mutex> locker(lock);
    if (SimDevice *d = device(address))
        d->setWriteFailure(reg);
}

void Simulator::record(const SimRequest &request)
{
    qCDebug(lcSim).noquote() << "request" << QString::fromLatin1(request.frame.toHex(' '))
                             << (request.answered ? QStringLiteral("answered") : request.reason);
    {
        std::lock_guard<std::mutex> locker(recordLock);
        if (log.size() >= kMaxRecorded)
            log.removeFirst();
        log.append(request);
    }
    recorded.notify_all();
}

// A copy of its own: a vector sharing the record's storage would detach, unlocked, while
// the line thread appends.
QVector<SimRequest> Simulator::requests() const
{
    std::lock_guard<std::mutex> locker(recordLock);
    QVector<SimRequest> copy;
    copy.reserve(log.size());
    for (const SimRequest &r : log)
        copy.append(r);
    return copy;
}

void Simulator::clearRequests()
{
    std::lock_guard<std::mutex> locker(recordLock);
    log.clear();
}

bool Simulator::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> locker(recordLock);
    return recorded.wait_for(locker, std::chrono::milliseconds(timeoutMs), [&] { return log.size() >= count; });
}

bool Simulator::waitForReplies(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> locker(recordLock);
    return recorded.wait_for(locker, std::chrono::milliseconds(timeoutMs), [&] { return replies >= count; });
}
