#pragma once

#include <QtGlobal>

// How long a test waits for something, in ms, times ORBIX_TEST_TIME_SCALE, which CTest
// sets above 1 in a tree whose tests run under an emulator (tests/CMakeLists.txt):
// there everything takes several times as long. What the test waits for stays the same.
inline int testDeadlineMs(int ms)
{
    static const int scale = qMax(1, qEnvironmentVariableIntValue("ORBIX_TEST_TIME_SCALE"));
    return ms * scale;
}
