#pragma once

#include "link/framerecord.h"
#include "ui/monitor/trafficrow.h"

#include <QCoreApplication>
#include <QString>

// Turns the frames of a line into the monitor's rows, in the order they happened: a
// received frame is read against the request sent last. A masked value is shown as
// kMaskedValue, never decoded from the bytes (they hold zero there anyway).
class FrameDecoder
{
    Q_DECLARE_TR_FUNCTIONS(FrameDecoder)

public:
    static const QString kMaskedValue;

    TrafficRow decode(const FrameRecord &record);

    static TrafficRow::Kind kindOf(int failure);
    // How a transaction ended, in the user's words; exception is the reply's code.
    static QString resultText(int failure, int exception);
    static QString exceptionText(int code);

private:
    TrafficRow sent(const FrameRecord &record);
    TrafficRow received(const FrameRecord &record) const;
    static TrafficRow discarded(const FrameRecord &record);

    FrameRecord request; // the last one sent
};
