#include "sim/simline.h"

#include "link/custombaud.h"

#include "link/serialline.h"
#include "sim/simlog.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kNsPerSecond = 1000000000;
constexpr qint64 kStopCheckNs = 20000000; // a long pause still notices a stop this soon
constexpr int kMaxCollect = 512;          // bytes kept of one frame; more is noise anyway
constexpr int kWriteAttempts = 10;
constexpr int kWriteWaitMs = 20;



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

} // namespace

SimLine::~SimLine()
{
    close();
}

qint64 SimLine::nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

qint64 SimLine::characterNs(quint32 baud)
{
    return kBitsPerCharacter * kNsPerSecond / qMax<quint32>(baud, 1);
}

qint64 SimLine::silenceNs(quint32 baud)
{
    return baud > kFixedSilenceAbove ? kFixedSilenceNs : characterNs(baud) * 7 / 2;
}


int SimLine::formatOf(const termios &settings)
{
    if (settings.c_cflag & CSTOPB)
        return 2;
    return (settings.c_cflag & PARODD) ? 1 : 0;
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

bool SimLine::openPty(const QString &symlinkPath, quint32 baud, int format)
{
    close();
    fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal"), errno);
    char name[128];
    if (ptsname_r(fd, name, sizeof name) != 0)
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
    if (!isatty(fd))
        return fail(QStringLiteral("%1 is not a serial port").arg(path));
    ttyBaud = baud;
    ttyFormat = format;
    if (!configure(fd, baud, format))
        return false;
    tcflush(fd, TCIOFLUSH);
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
        ::close(fd);
    slaveFd = fd = -1;
    pty = false;
}

quint32 SimLine::lineBaud() const
{
    if (!pty)
        return ttyBaud;
    const quint32 baud = CustomBaud::read(fd);
    return baud ? baud : kDefaultBaud;
}

bool SimLine::settingsMatch(quint32 baud, int format) const
{
    if (!pty)
        return baud == ttyBaud && sameFormat(format, ttyFormat);
    termios t {}; // the master side reports the termios the master program set on the slave
    if (tcgetattr(fd, &t) != 0)
        return false;
    return CustomBaud::read(fd) == baud && sameFormat(formatOf(t), format);
}

SimLine::Wait SimLine::readFrame(int stopFd, QByteArray &frame, qint64 &endNs)
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
        const Ready ready = waitInput(stopFd, timeoutNs);
        if (ready == Stop)
            return Wait::Stopped;
        if (ready == Broken || (ready == Input && !takeInput(frame)))
            return Wait::Failed;
    }
}

SimLine::Ready SimLine::waitInput(int stopFd, qint64 timeoutNs) const
{
    pollfd p[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
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

// A pty hands over the whole request at once; its bytes count as on the line only one
// character time after another, so the frame ends when a real line would have ended it.
bool SimLine::takeInput(QByteArray &frame)
{
    char buffer[kMaxCollect];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    const qint64 now = nowNs();
    if (frame.isEmpty()) {
        const quint32 baud = lineBaud();
        timing = {characterNs(baud), silenceNs(baud), now};
    }
    timing.lineFreeNs = qMax(timing.lineFreeNs, now) + n * timing.charNs;
    frame.append(buffer, int(qMin<qint64>(n, kMaxCollect - frame.size())));
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
        if (::write(fd, &byte, 1) == 1)
            return true;
        if (errno != EAGAIN && errno != EINTR) {
            qCWarning(lcSim) << "write to the line failed:" << strerror(errno);
            return false;
        }
        pollfd p {fd, POLLOUT, 0};
        ::poll(&p, 1, kWriteWaitMs);
    }
    qCInfo(lcSim) << "line blocked: nobody reads the replies";
    return false;
}
