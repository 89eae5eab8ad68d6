#pragma once

#include "exchange/protocoltiming.h"
#include "tests/testreplygap.h"

// The protocol's timing shortened for tests against the simulator: a reply still ends
// on silence, a cycle still waits out its period, only faster. Each kind of test keeps
// one case at the real timing.
inline ProtocolTiming testTiming()
{
    ProtocolTiming t;
    t.replyGapMs = kTestReplyGapMs;
    t.cyclePeriodMs = 200;
    t.readTimeoutMs = 500;
    t.probeTimeoutMs = 100;
    return t;
}

// An empty line answers nothing: no reason to wait for it.
inline ProtocolTiming emptyLineTiming()
{
    ProtocolTiming t = testTiming();
    t.probeTimeoutMs = 10;
    return t;
}
