#pragma once

#include <QString>
#include <QtGlobal>

// The device's counts per ampere (register 1). The live phase currents arrive in
// these counts; every place that shows one shows amperes through this class, so the
// window, the report and the command line read the same number.
class CurrentScale
{
public:
    explicit CurrentScale(int countsPerAmpere) : scale(countsPerAmpere > 0 ? countsPerAmpere : 0) {}

    int countsPerAmpere() const { return scale; }
    // counts ÷ scale; 0 for a device that gave no scale (the raw word still tells).
    double amperes(quint16 counts) const;
    // One decimal when the scale is above 1 (a resolution of 1/scale A), none otherwise.
    int decimals() const { return scale > 1 ? 1 : 0; }
    // amperes in that resolution, right-aligned in width characters when width is given.
    QString text(double amperes, int width = 0) const;

private:
    int scale;
};
