#include "device/currentdeviceversion.h"

std::atomic<int> currentDeviceVersion {0};
