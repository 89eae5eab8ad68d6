#pragma once

#include "link/framerecord.h"
#include "link/linkstatistics.h"

#include <QByteArray>
#include <QtGlobal>

class FrameObserver;

// The traffic of one port: its statistics, the frames handed to an observer and the
// hex trace (category orbix.link.frames). A value written to the masked register (an
// access code), by function 6 or in the range of a function 16, and that frame's CRC
// never leave it in clear: a 4-digit code could be found again from its CRC at once.
class FrameLog
{
public:
    explicit FrameLog(const QByteArray &portName) : port(portName) {}

    void setObserver(FrameObserver *o) { observer = o; }
    void setMaskedRegister(quint32 reg) { maskedRegister = reg; }
    const LinkStatistics &statistics() const { return stats; }

    void discarded(const QByteArray &bytes) { discarded(bytes, quint64(bytes.size())); }
    // count bytes dropped, of which tail are the newest.
    void discarded(const QByteArray &tail, quint64 count);
    void sent(const QByteArray &request);
    // A transaction's end: the bytes received (maybe none) and the failure (RtuFraming::Failure).
    void received(const QByteArray &request, const QByteArray &bytes, int failure, int exception,
                  qint64 responseUs, bool echoSkipped);
    void echoSkipped() { ++stats.echoesSkipped; }

private:
    int valueOffset(const QByteArray &request) const;
    // Fills record.bytes and record.masked from what was on the line.
    void mask(const QByteArray &request, const QByteArray &bytes, FrameRecord &record) const;
    void count(int failure, qint64 responseUs, bool answered);
    void trace(const QByteArray &direction, const FrameRecord &record) const;
    void hand(FrameRecord &&record) const;

    QByteArray port;
    FrameObserver *observer = nullptr;
    quint32 maskedRegister = 0;
    LinkStatistics stats;
};
