#pragma once

#include <QString>

class LinkOptions;
struct DeviceInfo;

// Identifies the device at the options' address the way the search does (one probe).
class DeviceProbe
{
public:
    // False with reason set when nothing answers or the answer is not an ОРБИКС-11.
    static bool identify(const LinkOptions &link, DeviceInfo &found, QString &reason);
};
