#pragma once

// The silence that ends a reply in tests against the simulator and the scripted slave:
// their replies come paced with no pause inside, so a fifth of the device's 250 ms
// is plenty. The tests of the gap itself keep the real one.
constexpr int kTestReplyGapMs = 50;
