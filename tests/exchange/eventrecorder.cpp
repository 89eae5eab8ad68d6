#include "tests/exchange/eventrecorder.h"

#include "exchange/eventdispatch.h"

#include <QtTest>

QList<int> EventRecorder::types() const
{
    QList<int> out;
    for (const auto &e : events)
        out << e->type();
    return out;
}

int EventRecorder::count(int type) const
{
    return int(std::count_if(events.begin(), events.end(), [type](const auto &e) { return e->type() == type; }));
}

bool EventRecorder::waitFor(int type, int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return count(type) >= n; }, timeoutMs);
}

void EventRecorder::onDataEvent(DataEventPtr event)
{
    events.push_back(std::move(event));
}

QList<int> EventRecorder::configResults() const
{
    QList<int> out;
    for (const auto &e : events)
        EventDispatch::visit(*e, EventHandlers {[&out](const ConfigEvent &c) { out << c.result(); },
                                                [](const DataEvent &) {}});
    return out;
}
