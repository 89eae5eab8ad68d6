#pragma once

#include "link/framerecord.h"

#include <QString>
#include <QtGlobal>

// One frame of the traffic monitor, decoded once when it arrives: the texts of its
// cells and what the filter needs. Masked bytes were never decoded into it.
struct TrafficRow
{
    // How the frame's transaction ended, as the filter tells them apart.
    enum Kind { Request, Reply, Exception, Timeout, CrcError, WrongAddress, LineError, Discarded, OtherFailure };

    qint64 timeMs = 0;
    FrameRecord::Direction direction = FrameRecord::Sent;
    Kind kind = Request;
    bool echoSkipped = false;
    int address = -1;  // none when negative
    int function = -1; // none when negative; without the exception bit
    QString content;   // registers and values
    QString result;    // empty for a request
    qint64 responseUs = -1;
    QString hex;       // "**" for each masked byte

    static bool isFailure(Kind k) { return k != Request && k != Reply; }
    bool isFailure() const { return isFailure(kind); }
};
