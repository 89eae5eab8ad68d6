#pragma once

#include <atomic>

// The modification of the device being connected, set by the main window before each
// connection starts; the parts that pick a block layout by modification read it.
extern std::atomic<int> currentDeviceVersion;
