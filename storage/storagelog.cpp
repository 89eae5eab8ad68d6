#include "storage/storagelog.h"

Q_LOGGING_CATEGORY(lcStorage, "orbix.storage", QtWarningMsg)
