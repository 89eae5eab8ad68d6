#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Calls a function every period from a thread of its own, from start() until stop(),
// for what must go on when the lines' threads may all be stuck (a line hung in a
// request). stop() asks and waits: it returns as soon as a call under way ends.
class PeriodicCheck
{
public:
    PeriodicCheck(int periodMs, std::function<void()> check);
    ~PeriodicCheck(); // stops
    PeriodicCheck(const PeriodicCheck &) = delete;
    PeriodicCheck &operator=(const PeriodicCheck &) = delete;

    void start();
    void stop();

private:
    void run();

    const int periodMs;
    const std::function<void()> check;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wakeUp;
    bool stopping = false;
};
