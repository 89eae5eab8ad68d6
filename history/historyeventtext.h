#pragma once

#include <QString>

struct HistoryEvent;

// A history entry's text in the language installed now, from the tables the window's
// protocol says its entries with: the history shows a start, a stop or a trip in the
// reader's words, whichever program recorded it and in whichever language.
class HistoryEventText
{
public:
    static QString text(const HistoryEvent &event);
};
