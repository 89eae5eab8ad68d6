#pragma once

#include "exchange/dataevent.h"

#include <QList>
#include <QObject>

#include <vector>

// Receives a data thread's events in the test's thread and keeps them, in order.
class EventRecorder : public QObject
{
    Q_OBJECT

public:
    QList<int> types() const;
    // The results of the configuration events, in order.
    QList<int> configResults() const;
    int count(int type) const;
    // Waits (processing events) until an event of the type has arrived count times.
    bool waitFor(int type, int count = 1, int timeoutMs = 15000) const;
    template <typename T> const T *last(int type) const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if ((*it)->type() == type)
                return static_cast<const T *>(it->get());
        return nullptr;
    }

public slots:
    void onDataEvent(DataEventPtr event);

private:
    std::vector<DataEventPtr> events;
};
