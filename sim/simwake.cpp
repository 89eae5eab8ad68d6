#include "sim/simwake.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

SimWake::~SimWake()
{
    close();
}

#ifdef Q_OS_WIN

bool SimWake::create()
{
    close();
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    handle = event ? qintptr(event) : kNone;
    return isValid();
}

void SimWake::close()
{
    if (isValid())
        CloseHandle(HANDLE(handle));
    handle = kNone;
}

bool SimWake::notify()
{
    return isValid() && SetEvent(HANDLE(handle));
}

void SimWake::clear()
{
    if (isValid())
        ResetEvent(HANDLE(handle));
}

void SimWake::wait() const
{
    if (isValid())
        WaitForSingleObject(HANDLE(handle), INFINITE);
}

#else

bool SimWake::create()
{
    close();
    handle = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return isValid();
}

void SimWake::close()
{
    if (isValid())
        ::close(int(handle));
    handle = kNone;
}

bool SimWake::notify()
{
    const quint64 one = 1;
    return isValid() && ::write(int(handle), &one, sizeof one) == sizeof one;
}

void SimWake::clear()
{
    quint64 count = 0;
    if (isValid())
        (void)!::read(int(handle), &count, sizeof count);
}

void SimWake::wait() const
{
    pollfd p {int(handle), POLLIN, 0};
    while (isValid() && ::poll(&p, 1, -1) <= 0) {
    }
}

#endif
