#include "device/devicelog.h"

Q_LOGGING_CATEGORY(lcDevice, "orbix.device", QtWarningMsg)
