#include "tests/link/scriptedslave.h"

#include "link/rtuframing.h"

#include <QMutexLocker>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kFrameSilenceMs = 5; // requests arrive in one burst over a pty
}

ScriptedSlave::ScriptedSlave() = default;

ScriptedSlave::~ScriptedSlave()
{
    stop();
}

bool ScriptedSlave::start(Handler h)
{
    handler = std::move(h);
    received.clear();
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return false;
    slavePath = QString::fromLocal8Bit(ptsname(master));
    keepOpen = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    termios t {};
    tcgetattr(master, &t);
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
    if (keepOpen < 0 || pipe(wake) != 0)
        return false;
    worker = std::thread([this] { serve(); });
    return true;
}

void ScriptedSlave::stop()
{
    if (worker.joinable()) {
        const char c = 'q';
        (void)!::write(wake[1], &c, 1);
        worker.join();
    }
    for (int *fd : {&master, &keepOpen, &wake[0], &wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QList<QByteArray> ScriptedSlave::requests() const
{
    QMutexLocker lock(&mutex);
    return received;
}

ScriptedSlave::Reply ScriptedSlave::withCrc(QByteArray frame)
{
    RtuFraming::appendCrc(frame);
    return Reply {frame};
}

void ScriptedSlave::serve()
{
    QByteArray frame;
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {wake[0], POLLIN, 0}};
        const int r = poll(fds, 2, frame.isEmpty() ? -1 : kFrameSilenceMs);
        if (fds[1].revents)
            return;
        if (r == 0) { // silence: the request is complete
            {
                QMutexLocker lock(&mutex);
                received.append(frame);
            }
            send(handler(frame));
            ++sent;
            frame.clear();
            continue;
        }
        char buf[256];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            frame.append(buf, int(n));
    }
}

void ScriptedSlave::send(const Reply &reply)
{
    const QByteArray &b = reply.bytes;
    if (b.isEmpty())
        return;
    const int split = reply.pauseAfter >= 0 && reply.pauseAfter < b.size() ? reply.pauseAfter : b.size();
    (void)!::write(master, b.constData(), size_t(split));
    if (split < b.size()) {
        pollfd p {wake[0], POLLIN, 0};
        if (poll(&p, 1, reply.pauseMs) > 0)
            return; // stopping
        (void)!::write(master, b.constData() + split, size_t(b.size() - split));
    }
}
