#pragma once

#include "exchange/searchevent.h"

#include <QList>
#include <QObject>

#include <vector>

// Receives a search thread's events in the test's thread and keeps them, in order.
class SearchRecorder : public QObject
{
    Q_OBJECT

public:
    QList<int> types() const;
    int count(int type) const;
    bool waitFor(int type, int count = 1, int timeoutMs = 30000) const;
    const std::vector<SearchEventPtr> &all() const { return events; }
    void clear() { events.clear(); }

public slots:
    void onSearchEvent(SearchEventPtr event);

private:
    std::vector<SearchEventPtr> events;
};
