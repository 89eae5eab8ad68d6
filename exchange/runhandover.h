#pragma once

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

// Where a finished run hands its objects back to the thread that waited for it.
// QThread::wait() synchronises through Qt's own locks, which ThreadSanitizer cannot
// see unless Qt itself is built with it; these marks tell it. Nothing in other builds.
class RunHandOver
{
public:
#if defined(__SANITIZE_THREAD__)
    static void released(const void *run) { __tsan_release(const_cast<void *>(run)); }
    static void taken(const void *run) { __tsan_acquire(const_cast<void *>(run)); }
#else
    static void released(const void *) {}
    static void taken(const void *) {}
#endif
};
