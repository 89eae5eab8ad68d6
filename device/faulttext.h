#pragma once

#include <QString>

// Text of a device fault code (crash log, alarm line, oscillogram, report);
// empty for a code the device does not document, and for 0.
QString faultText(int code);
