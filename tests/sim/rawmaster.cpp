#include "tests/sim/rawmaster.h"

#include "link/rtuframing.h"

#include <QFile>

#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

RawMaster::~RawMaster()
{
    close();
}

qint64 RawMaster::nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool RawMaster::open(const QString &path, bool configure, quint32 baud, int format)
{
    close();
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || !configure)
        return fd >= 0;
    termios t {};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD | (format == 1 ? PARODD : 0) | (format >= 2 ? CSTOPB : 0);
    const speed_t speed = baud == 9600 ? B9600 : baud == 1200 ? B1200 : baud == 38400 ? B38400 : B19200;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

void RawMaster::adopt(int descriptor)
{
    close();
    fd = descriptor;
}

void RawMaster::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

QByteArray RawMaster::withCrc(QByteArray frame)
{
    RtuFraming::appendCrc(frame);
    return frame;
}

bool RawMaster::send(const QByteArray &bytes)
{
    return fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray RawMaster::receive(int expected, int timeoutMs, QVector<qint64> *arrivals)
{
    QByteArray got;
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1000000;
    while (got.size() < expected) {
        const qint64 left = deadline - nowNs();
        if (left <= 0)
            break;
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, int(left / 1000000) + 1) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        const qint64 at = nowNs();
        for (ssize_t i = 0; i < n; ++i) {
            got.append(buffer[i]);
            if (arrivals)
                arrivals->append(at);
        }
    }
    return got;
}
