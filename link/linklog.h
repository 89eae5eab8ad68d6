#pragma once

#include <QLoggingCategory>

// Link diagnostics; silent below warnings unless QT_LOGGING_RULES enables them,
// e.g. QT_LOGGING_RULES="orbix.link.frames.debug=true" for a hex trace of every frame.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcFrames)
