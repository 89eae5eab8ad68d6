#include "serialline.h"

#include "custombaud.h"
#include "linklog.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <limits>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

struct BaudCode { quint32 baud; speed_t code; };
constexpr BaudCode kBauds[] = {
    {300, B300}, {600, B600}, {1200, B1200}, {2400, B2400}, {4800, B4800},
    {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600},
    {115200, B115200}, {230400, B230400},
};

// Speeds with a termios constant; others (14400) go through CustomBaud.
speed_t baudCode(quint32 baud)
{
    for (const auto &b : kBauds)
        if (b.baud == baud)
            return b.code;
    return B0;
}

} // namespace

SerialLine::~SerialLine()
{
    close();
}

bool SerialLine::fail(int err)
{
    error = err ? err : EIO;
    return false;
}

bool SerialLine::open(const QByteArray &path, const LineOptions &options)
{
    close();
    rs485Failed = false;
    error = 0;
    customBaud = 0;
    fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    if (!isatty(fd)) {
        close();
        return fail(ENOTTY);
    }
    // flock holds even against root; TIOCEXCL keeps ordinary users from opening it at all.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        close();
        return fail(err);
    }
    exclusiveSet = ioctl(fd, TIOCEXCL) == 0;
    // Bytes that arrived before we opened the line (the tail of a reply to another
    // program, or to our own exchange before it was stopped) are nobody's answer now.
    tcflush(fd, TCIOFLUSH);
    decoder.reset();
    pending.clear();
    pendingErrors = 0;
    haveCounters = false;
    collectDriverCounters(); // baseline; earlier errors belong to earlier users
    pendingErrors = 0;
    requestLowLatency();
    lastReceive = nowNs(); // what was on the line before is unknown: the first request waits for silence
    if (options.rs485 && !setRs485(options)) {
        const int err = error;
        close();
        return fail(err);
    }
    return true;
}

// USB adapters hold received bytes for their latency timer (16 ms by default)
// before passing them on; drivers that can, shorten it on this flag.
void SerialLine::requestLowLatency()
{
    serial_struct info {};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY))
        return;
    info.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &info) != 0)
        qCDebug(lcLink) << "the driver keeps its latency:" << strerror(errno);
}

bool SerialLine::setRs485(const LineOptions &options)
{
    serial_rs485 conf {};
    conf.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    conf.delay_rts_before_send = quint32(options.rs485DelayBeforeMs);
    conf.delay_rts_after_send = quint32(options.rs485DelayAfterMs);
    if (ioctl(fd, TIOCSRS485, &conf) == 0)
        return true;
    rs485Failed = true;
    return fail(errno);
}

SerialLine::DriverInfo SerialLine::driverInfo(const QString &path)
{
    DriverInfo info;
    const QString name = QFileInfo(QFileInfo(path).canonicalFilePath()).fileName();
    info.driver = QFileInfo(QStringLiteral("/sys/class/tty/%1/device/driver").arg(name)).canonicalFilePath().section(QLatin1Char('/'), -1);
    QFile latency(QStringLiteral("/sys/bus/usb-serial/devices/%1/latency_timer").arg(name));
    bool ok = false;
    if (latency.open(QIODevice::ReadOnly)) {
        const int ms = latency.readAll().trimmed().toInt(&ok);
        info.latencyTimerMs = ok ? ms : -1;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return info;
    serial_rs485 conf {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) // never ask a port another program holds
        info.rs485 = ioctl(fd, TIOCGRS485, &conf) == 0 ? 1 : 0;
    ::close(fd);
    return info;
}

void SerialLine::close()
{
    if (fd < 0)
        return;
    if (exclusiveSet)
        ioctl(fd, TIOCNXCL); // a pty outlives us; leave it openable for the next program
    ::close(fd);
    fd = -1;
    exclusiveSet = false;
}

bool SerialLine::readSettings(termios &settings)
{
    if (tcgetattr(fd, &settings) != 0)
        return fail(errno);
    return true;
}

static bool sameSettingsBarParity(const termios &a, const termios &b)
{
    const tcflag_t ignore = PARENB | CMSPAR;
    return (a.c_cflag & ~ignore) == (b.c_cflag & ~ignore) && a.c_iflag == b.c_iflag
        && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag
        && cfgetospeed(&a) == cfgetospeed(&b);
}

bool SerialLine::setCustomBaud(quint32 baud)
{
    customBaud = baud;
    if (baud == 0 || fd < 0)
        return true;
    return CustomBaud::apply(fd, baud) || fail(errno);
}

bool SerialLine::applySettings(const termios &settings)
{
    if (tcsetattr(fd, TCSANOW, &settings) == 0)
        return customBaud == 0 || setCustomBaud(customBaud);
    const int err = errno;
    // Pseudo-terminals drop the parity-enable flag and then refuse it with EINVAL.
    // The rest of the settings are in force; a line that cannot do parity has no parity errors.
    termios now {};
    if (err == EINVAL && tcgetattr(fd, &now) == 0 && sameSettingsBarParity(now, settings)) {
        qCDebug(lcLink) << "line keeps its settings but not the parity flag (pseudo-terminal?)";
        return customBaud == 0 || setCustomBaud(customBaud);
    }
    return fail(err);
}

void SerialLine::makeRaw(termios &s, quint32 baud, Parity parity, int stopBits)
{
    cfmakeraw(&s);
    s.c_cflag &= ~(CSIZE | CRTSCTS | HUPCL);
    s.c_cflag |= CS8 | CREAD | CLOCAL;
    s.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR | ISTRIP | IGNBRK | BRKINT);
    // Bad characters stay in the stream, marked, so that they can be counted as line errors.
    s.c_iflag |= INPCK | PARMRK;
    s.c_cc[VMIN] = 0;
    s.c_cc[VTIME] = 0;
    s.c_cc[VSTART] = 0x11;
    s.c_cc[VSTOP] = 0x13;
    setParity(s, parity);
    setStopBits(s, stopBits);
    setBaud(s, baud);
}

bool SerialLine::setParity(termios &s, Parity parity)
{
    s.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    if (parity == Parity::Even)
        s.c_cflag |= PARENB;
    else if (parity == Parity::Odd)
        s.c_cflag |= PARENB | PARODD;
    return true;
}

bool SerialLine::setStopBits(termios &s, int stopBits)
{
    if (stopBits == 2)
        s.c_cflag |= CSTOPB;
    else
        s.c_cflag &= ~CSTOPB;
    return true;
}

bool SerialLine::setBaud(termios &s, quint32 baud)
{
    const speed_t code = baudCode(baud);
    if (code == B0)
        return false;
    cfsetispeed(&s, code);
    cfsetospeed(&s, code);
    return true;
}

static bool raiseModemLine(int fd, int bit, int &error)
{
    if (ioctl(fd, TIOCMBIS, &bit) == 0)
        return true;
    if (errno == EINVAL || errno == ENOTTY)
        return true; // no modem control lines here (pseudo-terminal)
    error = errno;
    return false;
}

bool SerialLine::raiseDtr()
{
    return raiseModemLine(fd, TIOCM_DTR, error);
}

bool SerialLine::raiseRts()
{
    return raiseModemLine(fd, TIOCM_RTS, error);
}

bool SerialLine::stopRequested() const
{
    return running && !running->load(std::memory_order_acquire);
}

qint64 SerialLine::write(const quint8 *data, qint64 size)
{
    if (fd < 0) {
        fail(EBADF);
        return -1;
    }
    QDeadlineTimer deadline(timeouts.writeMs);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            fail(errno);
            break;
        }
        if (deadline.hasExpired() || stopRequested()) {
            fail(ETIMEDOUT);
            break;
        }
        pollfd p {fd, POLLOUT, 0};
        ::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), kStopCheckMs)));
    }
    if (done == size && !drain(deadline))
        return -1;
    return done > 0 ? done : (done == size ? 0 : -1);
}

// write() returns when the bytes are queued; the read timing must start when they
// have left (an 8-byte request takes 150 ms at 600 bit/s). The driver's queue is
// watched within the write time-out, then tcdrain waits out the last characters.
bool SerialLine::drain(const QDeadlineTimer &deadline)
{
    constexpr int kDrainCheckUs = 500;
    int queued = 0;
    while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (deadline.hasExpired() || stopRequested())
            return fail(ETIMEDOUT);
        ::usleep(kDrainCheckUs);
    }
    return tcdrain(fd) == 0 || errno == ENOTTY || errno == EINVAL || fail(errno);
}

qint64 SerialLine::nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

int SerialLine::waitReadable(qint64 timeoutNs)
{
    pollfd p {fd, POLLIN, 0};
    const timespec ts {time_t(timeoutNs / kNsPerSecond), long(timeoutNs % kNsPerSecond)};
    const int r = ::ppoll(&p, 1, &ts, nullptr);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    if (r > 0 && (p.revents & (POLLERR | POLLNVAL | POLLHUP)) && !(p.revents & POLLIN)) {
        errno = EIO; // the device is gone (a pulled adapter, a closed pseudo-terminal)
        return -1;
    }
    return r > 0 ? 1 : 0;
}

// Bytes from the line into pending: 1 when some came (or an escape prefix), 0 when
// none, -1 on a failure of the line.
int SerialLine::fill()
{
    quint8 raw[512];
    quint8 decoded[sizeof raw + 1];
    const ssize_t n = ::read(fd, raw, sizeof raw);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : (fail(errno), -1);
    if (n == 0) // hang-up: the other end of the line is gone
        return fail(EIO), -1;
    lastReceive = nowNs();
    const std::size_t k = decoder.decode(raw, std::size_t(n), decoded);
    pending.append(reinterpret_cast<const char *>(decoded), int(k));
    return 1;
}

// How long the line may stay silent before the read ends: the frame silence once
// the bytes make a complete reply, else the inter-byte gap.
qint64 SerialLine::silenceAllowedNs(const quint8 *buffer, qint64 got, const ReplyLength &complete) const
{
    if (complete && timeouts.frameSilenceUs > 0) {
        const qint64 length = complete(buffer, got);
        if (length > 0 && got >= length)
            return qint64(timeouts.frameSilenceUs) * 1000;
    }
    return qint64(timeouts.interByteMs) * kNsPerMs;
}

qint64 SerialLine::read(quint8 *buffer, qint64 capacity, const ReplyLength &complete)
{
    if (fd < 0) {
        fail(EBADF);
        return -1;
    }
    constexpr qint64 kForever = std::numeric_limits<qint64>::max();
    const qint64 totalEnd = timeouts.totalReadMs > 0 ? nowNs() + qint64(timeouts.totalReadMs) * kNsPerMs : kForever;
    qint64 gapEnd = kForever;
    qint64 got = 0;
    while (got < capacity) {
        if (!pending.isEmpty()) {
            const qint64 take = qMin<qint64>(capacity - got, pending.size());
            memcpy(buffer + got, pending.constData(), size_t(take));
            pending.remove(0, int(take));
            got += take;
            gapEnd = lastReceive + silenceAllowedNs(buffer, got, complete);
            continue;
        }
        if (stopRequested()) {
            error = ECANCELED;
            break;
        }
        const qint64 end = got > 0 ? qMin(gapEnd, totalEnd) : totalEnd;
        const qint64 now = nowNs();
        if (end != kForever && now >= end) {
            if (got == 0)
                error = ETIMEDOUT;
            break;
        }
        const int ready = waitReadable(qMin(end - now, qint64(kStopCheckMs) * kNsPerMs));
        if (ready < 0) {
            fail(errno ? errno : EIO);
            break;
        }
        if (ready == 0)
            continue;
        const int filled = fill();
        if (filled < 0)
            break;
        if (filled > 0 && pending.isEmpty() && got > 0) // an escape prefix is still a byte on the line
            gapEnd = lastReceive + silenceAllowedNs(buffer, got, complete);
    }
    return got;
}

QByteArray SerialLine::discardInput()
{
    while (fd >= 0 && waitReadable(0) > 0 && fill() > 0) {
    }
    QByteArray dropped;
    dropped.swap(pending);
    takeLineErrors(); // errors of bytes nobody asked for fail no later request
    return dropped;
}

QByteArray SerialLine::waitQuiet(qint64 silenceNs, qint64 limitNs)
{
    QByteArray dropped;
    const qint64 giveUp = nowNs() + limitNs;
    for (qint64 now = nowNs(); now < lastReceive + silenceNs && now < giveUp && !stopRequested(); now = nowNs()) {
        const qint64 wait = qMin(qMin(lastReceive + silenceNs, giveUp) - now, qint64(kStopCheckMs) * kNsPerMs);
        if (waitReadable(wait) > 0 && fill() > 0) { // still talking: a late reply, or another master
            dropped += pending;
            pending.clear();
        }
    }
    if (!dropped.isEmpty())
        takeLineErrors();
    return dropped;
}

void SerialLine::collectDriverCounters()
{
    serial_icounter_struct c {};
    if (fd < 0 || ioctl(fd, TIOCGICOUNT, &c) != 0)
        return; // pseudo-terminals and some drivers keep no counters
    if (haveCounters) {
        if (c.frame != lastFrame) pendingErrors |= FramingError;
        if (c.parity != lastParity) pendingErrors |= ParityError;
        if (c.overrun != lastOverrun) pendingErrors |= Overrun;
        if (c.buf_overrun != lastBufOverrun) pendingErrors |= RxOverflow;
        if (c.brk != lastBrk) pendingErrors |= Break;
    }
    haveCounters = true;
    lastFrame = c.frame;
    lastParity = c.parity;
    lastOverrun = c.overrun;
    lastBufOverrun = c.buf_overrun;
    lastBrk = c.brk;
}

quint32 SerialLine::takeLineErrors()
{
    collectDriverCounters();
    if (decoder.takeCharacterErrors() > 0)
        pendingErrors |= MarkedCharacter;
    if (decoder.takeBreaks() > 0)
        pendingErrors |= Break;
    const quint32 e = pendingErrors;
    pendingErrors = 0;
    return e;
}

QString SerialLine::openErrorText(const QByteArray &path, int err, bool rs485Refused)
{
    const QString p = QString::fromLocal8Bit(path);
    if (rs485Refused)
        return QStringLiteral("the driver of %1 refuses RS-485 mode (%2); remove the rs485 option of its binding in "
                              "ports.conf")
            .arg(p, QString::fromLocal8Bit(strerror(err)));
    if (p.isEmpty())
        return QStringLiteral("no serial port has this COM number (see: orbix ports)");
    switch (err) {
    case ENOENT:
        return QStringLiteral("%1 does not exist (adapter unplugged or wrong port?)").arg(p);
    case EBUSY:
        return QStringLiteral("%1 is in use by another program").arg(p);
    case ENOTTY:
        return QStringLiteral("%1 is not a serial port").arg(p);
    case EACCES:
    case EPERM:
        return permissionText(p);
    default:
        return QStringLiteral("%1: %2").arg(p, QString::fromLocal8Bit(strerror(err)));
    }
}

QString SerialLine::permissionText(const QString &path)
{
    struct stat st {};
    QString groupName;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        if (const struct group *g = getgrgid(st.st_gid))
            groupName = QString::fromLocal8Bit(g->gr_name);
    }
    const passwd *pw = getpwuid(getuid());
    const QString user = pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("you");
    if (groupName.isEmpty())
        return QStringLiteral("no permission to open %1").arg(path);
    return QStringLiteral("no permission to open %1: it belongs to group '%2' and user '%3' is not in it "
                          "(sudo usermod -aG %2 %3, then log in again)")
        .arg(path, groupName, user);
}
