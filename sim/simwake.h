#pragma once

#include <QtGlobal>

// Wakes a thread that waits for its line: on Linux an eventfd it polls beside the
// line's descriptor, on Windows an event it waits for beside the port's read. Once
// notified it stays set until cleared.
class SimWake
{
public:
    SimWake() = default;
    ~SimWake();
    SimWake(const SimWake &) = delete;
    SimWake &operator=(const SimWake &) = delete;

    bool create(); // false with errno (Linux) when the system has none to give
    void close();
    bool isValid() const { return handle != kNone; }
    bool notify();
    void clear();
    // Blocks until notified.
    void wait() const;
    // The eventfd (Linux) or the event HANDLE (Windows).
    qintptr native() const { return handle; }

private:
    static constexpr qintptr kNone = -1;
    qintptr handle = kNone;
};
