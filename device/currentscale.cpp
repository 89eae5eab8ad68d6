#include "device/currentscale.h"

double CurrentScale::amperes(quint16 counts) const
{
    return scale > 0 ? double(counts) / scale : 0.0;
}

QString CurrentScale::text(double amperes, int width) const
{
    return QStringLiteral("%1").arg(amperes, width, 'f', decimals());
}
