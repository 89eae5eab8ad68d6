#pragma once

#include <windows.h>

// A read and a write in flight on one overlapped handle (a COM port), each with its
// own manual-reset event. Windows only.
struct OverlappedPair {
    OVERLAPPED read {};
    OVERLAPPED write {};

    OverlappedPair()
    {
        read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~OverlappedPair()
    {
        if (read.hEvent)
            CloseHandle(read.hEvent);
        if (write.hEvent)
            CloseHandle(write.hEvent);
    }
    OverlappedPair(const OverlappedPair &) = delete;
    OverlappedPair &operator=(const OverlappedPair &) = delete;
    bool ready() const { return read.hEvent && write.hEvent; }
};
