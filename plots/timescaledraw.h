#pragma once

#include <qwt_scale_draw.h>

// Time axis labels: the local time of day of a value in seconds since 1970.
class TimeScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override;

    // "hh:mm:ss" of the local time; also the trackers' time text.
    static QString timeOfDay(double secondsSince1970);
    // "dd.MM.yyyy hh:mm:ss" of the local time: the time column of the plots' data files.
    static QString dateAndTime(double secondsSince1970);
};
