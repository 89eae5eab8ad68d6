#pragma once

#include "link/linkstatistics.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The line's statistics in the user's words, one count a line: the monitor's panel,
// its saved file and the link indicator's tooltip say the same.
class LinkStatisticsText
{
    Q_DECLARE_TR_FUNCTIONS(LinkStatisticsText)

public:
    static QString title();
    static QStringList lines(const LinkStatistics &s);
    // The title and the lines.
    static QString toolTip(const LinkStatistics &s);
};
