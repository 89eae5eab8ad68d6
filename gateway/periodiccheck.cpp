#include "gateway/periodiccheck.h"

#include <chrono>

PeriodicCheck::PeriodicCheck(int periodMs, std::function<void()> check)
    : periodMs(periodMs)
    , check(std::move(check))
{
}

PeriodicCheck::~PeriodicCheck()
{
    stop();
}

void PeriodicCheck::start()
{
    std::lock_guard<std::mutex> guard(mutex);
    if (worker.joinable())
        return;
    stopping = false;
    worker = std::thread([this] { run(); });
}

void PeriodicCheck::stop()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
    }
    wakeUp.notify_all();
    if (worker.joinable())
        worker.join();
}

void PeriodicCheck::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!wakeUp.wait_for(lock, std::chrono::milliseconds(periodMs), [this] { return stopping; })) {
        lock.unlock(); // a check that takes long does not hold stop() off its flag
        check();
        lock.lock();
    }
}
