#include "cli/stopsignal.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
extern "C" void onSignal(int)
{
    stopRequested = 1;
}
constexpr int kPollMs = 50;
} // namespace

StopSignal::StopSignal(std::function<void()> onStop)
    : stop(std::move(onStop))
{
    stopRequested = 0;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    connect(&poll, &QTimer::timeout, this, [this] {
        if (!stopRequested)
            return;
        stopRequested = 0;
        stop();
    });
    poll.start(kPollMs);
}

StopSignal::~StopSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}
