#pragma once

#include <QVector>

// Points of one plotted curve: x and y of point i at index i of each vector.
struct CurvePoints
{
    QVector<double> x;
    QVector<double> y;
};
