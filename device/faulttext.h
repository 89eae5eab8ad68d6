#pragma once

#include <QString>

// Text of a device fault code (crash log, alarm line, oscillogram, report) in the
// interface's language; a program without a translator (the command line) gets the
// Russian text. Empty for a code the device does not document, and for 0.
QString faultText(int code);
