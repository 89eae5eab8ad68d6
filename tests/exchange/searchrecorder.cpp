#include "tests/exchange/searchrecorder.h"

#include <QtTest>

QList<int> SearchRecorder::types() const
{
    QList<int> out;
    for (const auto &e : events)
        out << e->type();
    return out;
}

int SearchRecorder::count(int type) const
{
    return int(std::count_if(events.begin(), events.end(), [type](const auto &e) { return e->type() == type; }));
}

bool SearchRecorder::waitFor(int type, int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return count(type) >= n; }, timeoutMs);
}

void SearchRecorder::onSearchEvent(SearchEventPtr event)
{
    events.push_back(std::move(event));
}
