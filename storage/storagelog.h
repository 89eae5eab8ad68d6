#pragma once

#include <QLoggingCategory>

// Diagnostics of the program's files; silent below warnings by default.
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
