#include "link/linklog.h"

Q_LOGGING_CATEGORY(lcLink, "orbix.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFrames, "orbix.link.frames", QtWarningMsg)
