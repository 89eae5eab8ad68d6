#pragma once

#include "device/eventdata.h"
#include "device/protocolevent.h"

#include <memory>

// A work log record in the application protocol; owns the record it was built from.
class EventProtocolEvent : public ProtocolEvent
{
public:
    // data must not be null.
    explicit EventProtocolEvent(std::unique_ptr<EventData> data);
    QString text() const override;
    // The text of a work log record, as the protocol and the history show it.
    static QString textOf(const EventData &record);

    const EventData &data() const { return *record; }

private:
    static QString startText(const EventData &record);

    std::unique_ptr<EventData> record;
};
