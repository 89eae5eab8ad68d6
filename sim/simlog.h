#pragma once

#include <QLoggingCategory>

// Simulator diagnostics: "orbix.sim" (requests and replies), off below warnings by default.
Q_DECLARE_LOGGING_CATEGORY(lcSim)
