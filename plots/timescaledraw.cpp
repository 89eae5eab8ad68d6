#include "plots/timescaledraw.h"

#include <QDateTime>

#include <cmath>

QwtText TimeScaleDraw::label(double value) const
{
    return QwtText(timeOfDay(value));
}

QString TimeScaleDraw::timeOfDay(double secondsSince1970)
{
    const auto seconds = qint64(std::floor(secondsSince1970));
    return QDateTime::fromSecsSinceEpoch(seconds).time().toString(Qt::TextDate);
}

QString TimeScaleDraw::dateAndTime(double secondsSince1970)
{
    return QDateTime::fromSecsSinceEpoch(qint64(secondsSince1970)).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}
