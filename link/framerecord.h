#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One frame as the master saw it, for a traffic monitor: what was sent, what came
// back (or was dropped before a request), and how the transaction ended.
struct FrameRecord
{
    enum Direction { Sent, Received, Discarded };

    qint64 timeMs = 0;      // wall clock, milliseconds since 1970 UTC
    Direction direction = Sent;
    QByteArray bytes;       // as on the line, but a masked value and its CRC read as zero
    QByteArray masked;      // empty, or one byte per byte of bytes: 1 where it is masked
    int failure = 0;        // RtuFraming::Failure of the transaction, for received frames
    int exception = 0;      // the reply's exception code
    qint64 responseUs = -1; // end of request to end of reply, for received frames
    bool echoSkipped = false; // the adapter's copy of the request preceded the reply
    quint64 droppedBytes = 0; // for dropped bytes: how many; bytes holds only the newest of them

    // The bytes in hex, "**" for each masked one.
    QString hex() const
    {
        QString out;
        for (int i = 0; i < bytes.size(); ++i) {
            if (i > 0)
                out += QLatin1Char(' ');
            out += i < masked.size() && masked[i] ? QStringLiteral("**")
                                                   : QString::number(quint8(bytes[i]), 16).rightJustified(2, QLatin1Char('0'));
        }
        return out;
    }
};
