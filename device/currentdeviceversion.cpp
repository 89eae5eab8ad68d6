#include "currentdeviceversion.h"

std::atomic<int> currentDeviceVersion {0};
