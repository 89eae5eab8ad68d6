#include "serialline.h"

#include "custombaud.h"
#include "linklog.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

qint64 remainingMs(const QDeadlineTimer &t)
{
    return t.isForever() ? -1 : t.remainingTime();
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

bool SerialLine::open(const QByteArray &path)
{
    close();
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
    return true;
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

int SerialLine::waitReadable(int timeoutMs)
{
    pollfd p {fd, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
        return -1;
    return r > 0 ? 1 : 0;
}

qint64 SerialLine::read(quint8 *buffer, qint64 capacity)
{
    if (fd < 0) {
        fail(EBADF);
        return -1;
    }
    QDeadlineTimer total = timeouts.totalReadMs > 0 ? QDeadlineTimer(timeouts.totalReadMs)
                                                    : QDeadlineTimer(QDeadlineTimer::Forever);
    QDeadlineTimer gap(QDeadlineTimer::Forever);
    qint64 got = 0;
    quint8 raw[512];
    quint8 decoded[sizeof raw + 1];
    while (got < capacity) {
        if (!pending.isEmpty()) {
            const qint64 take = qMin<qint64>(capacity - got, pending.size());
            memcpy(buffer + got, pending.constData(), size_t(take));
            pending.remove(0, int(take));
            got += take;
            gap.setRemainingTime(timeouts.interByteMs);
            continue;
        }
        if (stopRequested()) {
            error = ECANCELED;
            break;
        }
        const QDeadlineTimer &limit = (got > 0 && gap.deadline() < total.deadline()) ? gap : total;
        if (limit.hasExpired()) {
            if (got == 0)
                error = ETIMEDOUT;
            break;
        }
        const qint64 left = remainingMs(limit);
        const int slice = int(left < 0 ? kStopCheckMs : qMin<qint64>(left, kStopCheckMs));
        const int ready = waitReadable(slice);
        if (ready < 0) {
            fail(errno ? errno : EIO);
            break;
        }
        if (ready == 0)
            continue;
        const ssize_t n = ::read(fd, raw, sizeof raw);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            fail(errno);
            break;
        }
        if (n == 0) { // hang-up: the other end of the line is gone
            fail(EIO);
            break;
        }
        const std::size_t k = decoder.decode(raw, std::size_t(n), decoded);
        pending.append(reinterpret_cast<const char *>(decoded), int(k));
        if (k == 0)
            gap.setRemainingTime(timeouts.interByteMs); // an escape prefix is still a byte on the line
    }
    return got;
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

QString SerialLine::openErrorText(const QByteArray &path, int err)
{
    const QString p = QString::fromLocal8Bit(path);
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
