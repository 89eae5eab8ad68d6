#include "link/serialline.h"

#include "link/custombaud.h"
#include "link/linklog.h"
#include "link/serialdriverinfo.h"

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
    SerialLine::close();
}

int SerialLine::waitReadable(qint64 timeoutNs)
{
    pollfd p {descriptor(), POLLIN, 0};
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

void SerialLine::waitWritable(int timeoutMs)
{
    pollfd p {descriptor(), POLLOUT, 0};
    ::poll(&p, 1, timeoutMs);
}

ssize_t SerialLine::readSome(char *data, size_t size)
{
    return ::read(descriptor(), data, size);
}

ssize_t SerialLine::writeSome(const char *data, size_t size)
{
    return ::write(descriptor(), data, size);
}

void SerialLine::closeHandle()
{
    ::close(descriptor());
}

bool SerialLine::open()
{
    close();
    rs485Failed = false;
    customBaud = 0;
    const int opening = ::open(name().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (opening < 0)
        return fail(errno);
    opened(opening);
    if (!isatty(descriptor())) {
        close();
        return fail(ENOTTY);
    }
    // flock holds even against root; TIOCEXCL keeps ordinary users from opening it at all.
    if (flock(descriptor(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        close();
        return fail(err);
    }
    exclusiveSet = ioctl(descriptor(), TIOCEXCL) == 0;
    // Bytes that arrived before we opened the line (the tail of a reply to another
    // program, or to our own exchange before it was stopped) are nobody's answer now.
    tcflush(descriptor(), TCIOFLUSH);
    decoder.reset();
    pendingErrors = 0;
    haveCounters = false;
    collectDriverCounters(); // baseline; earlier errors belong to earlier users
    pendingErrors = 0;
    requestLowLatency();
    if ((options.rs485 && !setRs485()) || !configure()) {
        const int err = error;
        close();
        return fail(err);
    }
    return true;
}

// 19200 bit/s 8E1, raw, parity checked and marked, no flow control.
bool SerialLine::configure()
{
    if (tcgetattr(descriptor(), &settings) != 0)
        return fail(errno);
    makeRaw(settings, 19200, Parity::Even, 1);
    return applySettings();
}

void SerialLine::close()
{
    if (fd >= 0 && exclusiveSet)
        ioctl(descriptor(), TIOCNXCL); // a pty outlives us; leave it openable for the next program
    exclusiveSet = false;
    Line::close();
}

// USB adapters hold received bytes for their latency timer (16 ms by default)
// before passing them on; drivers that can, shorten it on this flag.
void SerialLine::requestLowLatency()
{
    serial_struct info {};
    if (ioctl(descriptor(), TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY))
        return;
    info.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(descriptor(), TIOCSSERIAL, &info) != 0)
        qCDebug(lcLink) << "the driver keeps its latency:" << strerror(errno);
}

bool SerialLine::setRs485()
{
    serial_rs485 conf {};
    conf.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    conf.delay_rts_before_send = quint32(options.rs485DelayBeforeMs);
    conf.delay_rts_after_send = quint32(options.rs485DelayAfterMs);
    if (ioctl(descriptor(), TIOCSRS485, &conf) == 0)
        return true;
    rs485Failed = true;
    return fail(errno);
}

// The kernel's driver, from sysfs; RS-485 mode asked of the driver itself.
SerialDriverInfo SerialDriverInfo::of(const QString &path)
{
    SerialDriverInfo info;
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
    return CustomBaud::apply(descriptor(), baud) || fail(errno);
}

bool SerialLine::applySettings()
{
    if (fd < 0)
        return fail(EBADF);
    if (tcsetattr(descriptor(), TCSANOW, &settings) == 0)
        return customBaud == 0 || setCustomBaud(customBaud);
    const int err = errno;
    // Pseudo-terminals drop the parity-enable flag and then refuse it with EINVAL.
    // The rest of the settings are in force; a line that cannot do parity has no parity errors.
    termios now {};
    if (err == EINVAL && tcgetattr(descriptor(), &now) == 0 && sameSettingsBarParity(now, settings)) {
        qCDebug(lcLink) << "line keeps its settings but not the parity flag (pseudo-terminal?)";
        return customBaud == 0 || setCustomBaud(customBaud);
    }
    return fail(err);
}

bool SerialLine::setSpeed(quint32 baud)
{
    const bool standard = setBaud(settings, baud);
    if (fd < 0)
        return fail(EBADF);
    if (!setCustomBaud(standard ? 0 : baud))
        return false;
    return applySettings();
}

bool SerialLine::setFormat(Parity parity, int stopBits, bool keep)
{
    if (!keep) {
        settings.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        if (parity == Parity::Even)
            settings.c_cflag |= PARENB;
        else if (parity == Parity::Odd)
            settings.c_cflag |= PARENB | PARODD;
        if (stopBits == 2)
            settings.c_cflag |= CSTOPB;
        else
            settings.c_cflag &= ~CSTOPB;
    }
    return applySettings();
}

void SerialLine::makeRaw(termios &s, quint32 baud, Parity parity, int stopBits)
{
    cfmakeraw(&s);
    s.c_cflag &= ~(CSIZE | CRTSCTS | HUPCL | PARENB | PARODD | CMSPAR | CSTOPB);
    s.c_cflag |= CS8 | CREAD | CLOCAL;
    s.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR | ISTRIP | IGNBRK | BRKINT);
    // Bad characters stay in the stream, marked, so that they can be counted as line errors.
    s.c_iflag |= INPCK | PARMRK;
    s.c_cc[VMIN] = 0;
    s.c_cc[VTIME] = 0;
    s.c_cc[VSTART] = 0x11;
    s.c_cc[VSTOP] = 0x13;
    if (parity == Parity::Even)
        s.c_cflag |= PARENB;
    else if (parity == Parity::Odd)
        s.c_cflag |= PARENB | PARODD;
    if (stopBits == 2)
        s.c_cflag |= CSTOPB;
    setBaud(s, baud);
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

quint32 SerialLine::speedOf(int fd)
{
    if (const quint32 baud = CustomBaud::read(fd))
        return baud;
    termios s {};
    if (tcgetattr(fd, &s) != 0)
        return 0;
    for (const auto &b : kBauds)
        if (b.code == cfgetospeed(&s))
            return b.baud;
    return 0;
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

bool SerialLine::raiseModemLines()
{
    return raiseModemLine(descriptor(), TIOCM_DTR, error) && raiseModemLine(descriptor(), TIOCM_RTS, error);
}

void SerialLine::decode(const quint8 *raw, qint64 size)
{
    quint8 decoded[512 + 1];
    for (qint64 at = 0; at < size; at += 512) {
        const std::size_t n = std::size_t(qMin<qint64>(512, size - at));
        const std::size_t k = decoder.decode(raw + at, n, decoded);
        pending.append(reinterpret_cast<const char *>(decoded), int(k));
    }
}

// write() returns when the bytes are queued; the read timing must start when they
// have left (an 8-byte request takes 150 ms at 600 bit/s). The driver's queue is
// watched within the write time-out, then tcdrain waits out the last characters.
bool SerialLine::drain(const QDeadlineTimer &deadline)
{
    constexpr int kDrainCheckUs = 500;
    int queued = 0;
    while (ioctl(descriptor(), TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (deadline.hasExpired() || stopRequested())
            return fail(ETIMEDOUT);
        ::usleep(kDrainCheckUs);
    }
    return tcdrain(descriptor()) == 0 || errno == ENOTTY || errno == EINVAL || fail(errno);
}

void SerialLine::collectDriverCounters()
{
    serial_icounter_struct c {};
    if (fd < 0 || ioctl(descriptor(), TIOCGICOUNT, &c) != 0)
        return; // pseudo-terminals and some drivers keep no counters
    if (haveCounters) {
        if (c.frame != lastFrame) pendingErrors |= LineErrors::FramingError;
        if (c.parity != lastParity) pendingErrors |= LineErrors::ParityError;
        if (c.overrun != lastOverrun) pendingErrors |= LineErrors::Overrun;
        if (c.buf_overrun != lastBufOverrun) pendingErrors |= LineErrors::RxOverflow;
        if (c.brk != lastBrk) pendingErrors |= LineErrors::Break;
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
        pendingErrors |= LineErrors::MarkedCharacter;
    if (decoder.takeBreaks() > 0)
        pendingErrors |= LineErrors::Break;
    const quint32 e = pendingErrors;
    pendingErrors = 0;
    return e;
}

QString SerialLine::openErrorText() const
{
    if (rs485Failed)
        return QStringLiteral("the driver of %1 refuses RS-485 mode (%2); remove the rs485 option of its binding in "
                              "ports.conf")
            .arg(QString::fromLocal8Bit(name()), QString::fromLocal8Bit(strerror(lastError())));
    return openErrorText(name(), lastError());
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
