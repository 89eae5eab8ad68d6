#pragma once

#include <QLoggingCategory>

// Decoding diagnostics (zero divisors and the like); silent below warnings by default.
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
