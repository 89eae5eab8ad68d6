#include "sim/simline.h"

#include "sim/simlog.h"
#include "sim/simwake.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#ifdef Q_OS_WIN
#include "link/overlappedpair.h"
#include "link/win32serialline.h"

#include <thread>
#include <windows.h>
#else
#include "link/custombaud.h"
#include "link/serialline.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kNsPerSecond = 1000000000;
constexpr qint64 kStopCheckNs = 20000000; // a long pause still notices a stop this soon
constexpr int kMaxCollect = 512;          // bytes kept of one frame; more is noise anyway
constexpr int kWriteAttempts = 10;
constexpr int kWriteWaitMs = 20;

#ifndef Q_OS_WIN
timespec toTimespec(qint64 ns)
{
    timespec ts;
    ts.tv_sec = time_t(ns / kNsPerSecond);
    ts.tv_nsec = long(ns % kNsPerSecond);
    return ts;
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}
#endif

} // namespace

#ifdef Q_OS_WIN
// One read of a byte is kept outstanding while the line waits for a request; once it
// came, the bytes queued behind it are taken at once.
struct SimLine::Port : OverlappedPair {
    bool reading = false;
    char buffer[kMaxCollect];
    DWORD have = 0;
};
#endif

SimLine::SimLine() = default;

SimLine::~SimLine()
{
    close();
}

// steady_clock is CLOCK_MONOTONIC on Linux (sleepUntil counts on that) and the
// performance counter on Windows.
qint64 SimLine::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

qint64 SimLine::characterNs(quint32 baud)
{
    return kBitsPerCharacter * kNsPerSecond / qMax<quint32>(baud, 1);
}

qint64 SimLine::silenceNs(quint32 baud)
{
    return baud > kFixedSilenceAbove ? kFixedSilenceNs : characterNs(baud) * 7 / 2;
}

bool SimLine::sameFormat(int a, int b)
{
    if (a == kAnyFormat || b == kAnyFormat)
        return true;
    return (a >= 2 ? 2 : a) == (b >= 2 ? 2 : b);
}

bool SimLine::fail(const QString &what, int err)
{
    error = err ? QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(err))) : what;
    close();
    return false;
}

SimLine::Wait SimLine::readFrame(const SimWake &stop, QByteArray &frame, qint64 &endNs)
{
    frame.clear();
    for (;;) {
        qint64 timeoutNs = -1;
        if (!frame.isEmpty()) {
            endNs = timing.lineFreeNs + timing.silenceNs;
            timeoutNs = endNs - nowNs();
            if (timeoutNs <= 0)
                return Wait::Frame;
        }
        const Ready ready = waitInput(stop, timeoutNs);
        if (ready == Stop)
            return Wait::Stopped;
        if (ready == Broken || (ready == Input && !takeInput(frame)))
            return Wait::Failed;
    }
}

// A pty hands over the whole request at once; its bytes count as on the line only one
// character time after another, so the frame ends when a real line would have ended it.
void SimLine::collect(QByteArray &frame, const char *bytes, qint64 n)
{
    const qint64 now = nowNs();
    if (frame.isEmpty()) {
        const quint32 baud = lineBaud();
        timing = {characterNs(baud), silenceNs(baud), now};
    }
    timing.lineFreeNs = qMax(timing.lineFreeNs, now) + n * timing.charNs;
    frame.append(bytes, int(qMin<qint64>(n, kMaxCollect - frame.size())));
}

#ifndef Q_OS_WIN

int SimLine::formatOf(const termios &settings)
{
    if (settings.c_cflag & CSTOPB)
        return 2;
    return (settings.c_cflag & PARODD) ? 1 : 0;
}

bool SimLine::openPty(const QString &symlinkPath, quint32 baud, int format)
{
    close();
    fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || grantpt(int(fd)) != 0 || unlockpt(int(fd)) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal"), errno);
    char name[128];
    if (ptsname_r(int(fd), name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"), errno);
    linePath = QString::fromLocal8Bit(name);
    pty = true;
    slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveFd < 0)
        return fail(QStringLiteral("cannot open %1").arg(linePath), errno);
    if (!configure(slaveFd, baud, format))
        return false;
    return symlinkPath.isEmpty() || makeLink(symlinkPath);
}

bool SimLine::openTty(const QString &path, quint32 baud, int format)
{
    close();
    fd = ::open(encoded(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("cannot open %1").arg(path), errno);
    linePath = path;
    if (!isatty(int(fd)))
        return fail(QStringLiteral("%1 is not a serial port").arg(path));
    ttyBaud = baud;
    ttyFormat = format;
    if (!configure(int(fd), baud, format))
        return false;
    tcflush(int(fd), TCIOFLUSH);
    return true;
}

bool SimLine::configure(int lineFd, quint32 baud, int format)
{
    termios t {};
    if (tcgetattr(lineFd, &t) != 0)
        return fail(QStringLiteral("cannot read the settings of %1").arg(linePath), errno);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB);
    if (format == 0 || format == 1)
        t.c_cflag |= format == 1 ? PARENB | PARODD : PARENB;
    if (format >= 2)
        t.c_cflag |= CSTOPB;
    const bool standard = SerialLine::setBaud(t, baud);
    // A pty drops the parity enable flag and may say EINVAL for it; the rest holds.
    if (tcsetattr(lineFd, TCSANOW, &t) != 0 && !(pty && errno == EINVAL))
        return fail(QStringLiteral("cannot set up %1").arg(linePath), errno);
    if (!standard && !CustomBaud::apply(lineFd, baud)) // 14400 has no termios constant
        return fail(QStringLiteral("%1 bit/s is not a speed this line can set").arg(baud), errno);
    return true;
}

bool SimLine::makeLink(const QString &symlinkPath)
{
    const QByteArray name = encoded(symlinkPath);
    struct stat st {};
    if (lstat(name.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(symlinkPath));
        ::unlink(name.constData()); // left over from an earlier run
    }
    if (symlink(encoded(linePath).constData(), name.constData()) != 0)
        return fail(QStringLiteral("cannot create the link %1").arg(symlinkPath), errno);
    link = symlinkPath;
    return true;
}

void SimLine::close()
{
    if (!link.isEmpty()) {
        const QByteArray name = encoded(link);
        char target[256] = {};
        const ssize_t n = readlink(name.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, int(n)) == linePath)
            ::unlink(name.constData()); // only our own link, not one a later run made
        link.clear();
    }
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (fd >= 0)
        ::close(int(fd));
    slaveFd = fd = -1;
    pty = false;
}

quint32 SimLine::lineBaud() const
{
    if (!pty)
        return ttyBaud;
    const quint32 baud = SerialLine::speedOf(int(fd));
    return baud ? baud : kDefaultBaud;
}

bool SimLine::settingsMatch(quint32 baud, int format) const
{
    if (!pty)
        return baud == ttyBaud && sameFormat(format, ttyFormat);
    termios t {}; // the master side reports the termios the master program set on the slave
    if (tcgetattr(int(fd), &t) != 0)
        return false;
    return SerialLine::speedOf(int(fd)) == baud && sameFormat(formatOf(t), format);
}

SimLine::Ready SimLine::waitInput(const SimWake &stop, qint64 timeoutNs)
{
    pollfd p[2] = {{int(fd), POLLIN, 0}, {int(stop.native()), POLLIN, 0}};
    const timespec ts = toTimespec(qMax<qint64>(timeoutNs, 0));
    const int r = ppoll(p, 2, timeoutNs < 0 ? nullptr : &ts, nullptr);
    if (r < 0)
        return errno == EINTR ? Nothing : Broken;
    if (p[1].revents != 0)
        return Stop;
    if (p[0].revents & POLLIN)
        return Input;
    return (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) ? Broken : Nothing;
}

bool SimLine::takeInput(QByteArray &frame)
{
    char buffer[kMaxCollect];
    const ssize_t n = ::read(int(fd), buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    collect(frame, buffer, n);
    return true;
}

bool SimLine::send(const QByteArray &bytes, const Pacing &pacing, const std::atomic<bool> &stopping)
{
    for (int i = 0; i < bytes.size(); ++i) {
        const bool paused = pacing.splitAt >= 0 && i >= pacing.splitAt;
        const qint64 at = pacing.startNs + i * pacing.charNs + (paused ? pacing.pauseNs : 0);
        if (!sleepUntil(at, stopping) || !writeByte(quint8(bytes[i])))
            return false;
    }
    return true;
}

bool SimLine::sleepUntil(qint64 atNs, const std::atomic<bool> &stopping)
{
    for (;;) {
        if (stopping.load(std::memory_order_acquire))
            return false;
        const qint64 now = nowNs();
        if (now >= atNs)
            return true;
        const timespec until = toTimespec(qMin(atNs, now + kStopCheckNs));
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    }
}

// A real line never blocks; a pty whose reader has gone away fills up, and then the
// rest of the reply is lost as it would be on a line with nobody listening.
bool SimLine::writeByte(quint8 byte)
{
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (::write(int(fd), &byte, 1) == 1)
            return true;
        if (errno != EAGAIN && errno != EINTR) {
            qCWarning(lcSim) << "write to the line failed:" << strerror(errno);
            return false;
        }
        pollfd p {int(fd), POLLOUT, 0};
        ::poll(&p, 1, kWriteWaitMs);
    }
    qCInfo(lcSim) << "line blocked: nobody reads the replies";
    return false;
}

#else // Windows

bool SimLine::openPty(const QString &, quint32, int)
{
    return fail(QStringLiteral("Windows has no pseudo-terminals: serve a COM port with --tty COMn "
                               "(one end of a null-modem pair), or the network only with --tcp or --modbus-tcp"));
}

bool SimLine::openTty(const QString &path, quint32 baud, int format)
{
    close();
    if (!port)
        port = std::make_unique<Port>();
    if (!port->read.hEvent || !port->write.hEvent)
        return fail(QStringLiteral("cannot create the events of %1").arg(path));
    const std::wstring device = Win32SerialLine::devicePath(path.toLocal8Bit()).toStdWString();
    const HANDLE h = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(QStringLiteral("cannot open %1: %2").arg(path, Win32SerialLine::systemErrorText(GetLastError())));
    fd = qintptr(h);
    linePath = path;
    const Win32SerialLine::Parity parity = format == 0 ? Win32SerialLine::Parity::Even
        : format == 1                                  ? Win32SerialLine::Parity::Odd
                                                       : Win32SerialLine::Parity::None;
    DWORD code = Win32SerialLine::setUp(h);
    if (code == 0)
        code = Win32SerialLine::setState(h, baud, parity, format >= 2 ? 2 : 1);
    if (code != 0)
        return fail(QStringLiteral("cannot set up %1: %2").arg(path, Win32SerialLine::systemErrorText(code)));
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    ttyBaud = baud;
    ttyFormat = format;
    return true;
}

void SimLine::close()
{
    if (fd >= 0) {
        const HANDLE h = HANDLE(fd);
        if (port->reading) { // the buffer and the OVERLAPPED must outlive the read
            CancelIoEx(h, &port->read);
            DWORD n = 0;
            GetOverlappedResult(h, &port->read, &n, TRUE);
        }
        CloseHandle(h);
    }
    if (port) {
        port->reading = false;
        port->have = 0;
    }
    fd = -1;
    pty = false;
}

quint32 SimLine::lineBaud() const
{
    return ttyBaud;
}

bool SimLine::settingsMatch(quint32 baud, int format) const
{
    return baud == ttyBaud && sameFormat(format, ttyFormat);
}

SimLine::Ready SimLine::waitInput(const SimWake &stop, qint64 timeoutNs)
{
    const HANDLE h = HANDLE(fd);
    const qint64 end = timeoutNs < 0 ? -1 : nowNs() + timeoutNs;
    for (;;) {
        if (port->have > 0)
            return Input;
        if (!port->reading) {
            ResetEvent(port->read.hEvent);
            DWORD n = 0;
            if (ReadFile(h, port->buffer, 1, &n, &port->read)) {
                port->have = n;
                if (n == 0)
                    Sleep(1); // empty at once: no driver should, but never spin on one
            } else if (GetLastError() == ERROR_IO_PENDING) {
                port->reading = true;
            } else {
                return Broken;
            }
        }
        if (port->reading) {
            const HANDLE events[2] = {HANDLE(stop.native()), port->read.hEvent}; // a stop goes first
            const qint64 left = end < 0 ? -1 : qMax<qint64>(end - nowNs(), 0);
            const DWORD ms = left < 0 ? INFINITE : DWORD((left + 999999) / 1000000);
            const DWORD r = WaitForMultipleObjects(2, events, FALSE, ms);
            if (r == WAIT_OBJECT_0)
                return Stop;
            if (r == WAIT_TIMEOUT)
                return Nothing;
            if (r != WAIT_OBJECT_0 + 1)
                return Broken;
            DWORD n = 0;
            port->reading = false;
            if (!GetOverlappedResult(h, &port->read, &n, FALSE))
                return Broken;
            port->have = n;
        }
        if (port->have == 1) { // and what came with it
            quint32 errors = 0; // a simulated device hears a damaged request as noise anyway
            const long more = Win32SerialLine::readQueued(h, &port->read, port->buffer + 1, sizeof port->buffer - 1, errors);
            if (more < 0)
                return Broken;
            port->have += DWORD(more);
            return Input;
        }
        if (port->have == 0 && WaitForSingleObject(HANDLE(stop.native()), 0) == WAIT_OBJECT_0)
            return Stop;
        if (port->have == 0 && end >= 0 && nowNs() >= end)
            return Nothing;
    }
}

bool SimLine::takeInput(QByteArray &frame)
{
    collect(frame, port->buffer, port->have);
    port->have = 0;
    return true;
}

// The port's UART paces the bytes itself: each part of a reply goes out at once when
// its first byte is due. Windows' sleeps are too coarse to time single characters.
bool SimLine::send(const QByteArray &bytes, const Pacing &pacing, const std::atomic<bool> &stopping)
{
    const int split = pacing.splitAt >= 0 && pacing.splitAt < bytes.size() ? pacing.splitAt : bytes.size();
    const int parts[2][2] = {{0, split}, {split, bytes.size()}};
    for (const auto &part : parts) {
        if (part[0] >= part[1])
            continue;
        const qint64 at = pacing.startNs + part[0] * pacing.charNs + (part[0] > 0 && part[0] == split ? pacing.pauseNs : 0);
        if (!sleepUntil(at, stopping) || !writeBytes(bytes.constData() + part[0], part[1] - part[0]))
            return false;
    }
    return true;
}

bool SimLine::sleepUntil(qint64 atNs, const std::atomic<bool> &stopping)
{
    for (;;) {
        if (stopping.load(std::memory_order_acquire))
            return false;
        const qint64 now = nowNs();
        if (now >= atNs)
            return true;
        std::this_thread::sleep_for(std::chrono::nanoseconds(qMin(atNs - now, kStopCheckNs)));
    }
}

bool SimLine::writeBytes(const char *bytes, int size)
{
    const HANDLE h = HANDLE(fd);
    ResetEvent(port->write.hEvent);
    DWORD n = 0;
    if (!WriteFile(h, bytes, DWORD(size), &n, &port->write)) {
        if (GetLastError() != ERROR_IO_PENDING) {
            qCWarning(lcSim).noquote() << "write to the line failed:" << Win32SerialLine::systemErrorText(GetLastError());
            return false;
        }
        const qint64 onLineMs = size * characterNs(ttyBaud) / 1000000;
        if (WaitForSingleObject(port->write.hEvent, DWORD(kWriteAttempts * kWriteWaitMs + onLineMs)) == WAIT_TIMEOUT) {
            CancelIoEx(h, &port->write);
            GetOverlappedResult(h, &port->write, &n, TRUE);
            qCInfo(lcSim) << "line blocked: nobody reads the replies";
            return false;
        }
        if (!GetOverlappedResult(h, &port->write, &n, FALSE))
            return false;
    }
    return int(n) == size;
}
#endif
