#include "cli/stopsignal.h"

#include <atomic>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

namespace {
// Lock-free, so that a signal handler may set it (and a console's handler thread).
std::atomic<bool> stopRequested {false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
constexpr int kPollMs = 50;

#ifdef Q_OS_WIN
// Ctrl+C and Ctrl+Break of the console: the same stop as SIGINT. A closing console
// window or a logoff keeps the system's handling, which ends the process.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    stopRequested = true;
    return TRUE;
}
#else
extern "C" void onSignal(int)
{
    stopRequested = true;
}
#endif

void catchStop(bool on)
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(onConsoleEvent, on ? TRUE : FALSE);
#else
    std::signal(SIGINT, on ? onSignal : SIG_DFL);
    std::signal(SIGTERM, on ? onSignal : SIG_DFL);
#endif
}

} // namespace

StopSignal::StopSignal(std::function<void()> onStop)
    : stop(std::move(onStop))
{
    stopRequested = false;
    catchStop(true);
    connect(&poll, &QTimer::timeout, this, [this] {
        if (!stopRequested.exchange(false))
            return;
        stop();
    });
    poll.start(kPollMs);
}

StopSignal::~StopSignal()
{
    catchStop(false);
}
