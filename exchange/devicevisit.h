#pragma once

#include "device/deviceinfo.h"

#include <QSet>
#include <QtGlobal>

#include <atomic>
#include <memory>

class CrashOscillogramPacket;
class CrashProtocolPacket;
class DataPacket;
class DeviceSession;
class OscillogramMark;
class ProtocolPacket;
class VisitSink;
class WatchDataPacket;

// One visit of one device through its session, with the requests every user of a
// device makes: the oscillogram mark, the live values (which tell whether the link
// is up), the log marks and both logs when they changed, then the oscillogram when
// its mark changed. What it learns goes to its sink as events. The data thread makes
// one visit a cycle, with its commands, setup and configuration around it; the line
// poller one visit per device of its round, after its identification.
//
// Decided once, for both:
// - The order above. The live values come early: they tell the link, and the device's
//   clock for what is news; the logs come before the oscillogram block, so that a
//   trip's record is handed on before its oscillogram (the window gets it so too).
// - Silence: once a request goes unanswered, the requests after it are not made until
//   the live values are read again; those are then asked once more with a short
//   time-out (confirmLink). So a silent device is told lost after one time-out and one
//   short confirmation, and one lost reply is no lost link (on the gateway's lines too).
// - The link is told lost once, and only when it was up, never at a stop; restored at
//   the next answer. A line that went away (a pulled adapter, a reset connection) is a
//   lost link at once, even when the caller has it open again before the next visit.
//   The first answer tells Connected, unless the caller has told it already
//   (setConnected: the data thread, with the configuration read at connect).
// - A read that a stop cut short read nothing: no event comes of it.
// - The log marks are compared with the marks last read. Marks that could not be read
//   tell nothing: the logs are not read on a guess, and are looked at next visit.
//   Changed marks fetch both logs in the same visit.
// - A block that could not be read (a log, the oscillogram) is read at the next visit:
//   its mark is not taken as seen. The oscillogram block waits for a visit whose log
//   check went through.
//
// Decided by the mode, because the users need different things:
// - Whole (the window, the command line): what the device holds, whenever it changes.
//   The logs are handed on whole each time their marks change (from none at the start:
//   logs with records are read at the first visit); every change of the oscillogram
//   mark reads the block and hands it on, the one stored before the connection and
//   one cleared (fault code 0) included.
// - News (the gateway and its history): only what happened since the device was first
//   seen, judged by the device's own record times (newsSince in the source), also across
//   a replaced unit. The first visit reads the logs before the first live values and
//   hands them on whole, once; the oscillogram stored then is taken as known, not handed
//   on. Later a log event holds only the records that are news (the others emptied);
//   records new to us but older than the clock at the last look are counted to the
//   sink's logsReplaced instead. An oscillogram is news when its fault code is not 0
//   and its trip time is not older than the clock at the last look at its mark.
class DeviceVisit
{
public:
    enum class Mode { Whole, News };

    DeviceVisit(DeviceSession &session, VisitSink &sink, Mode mode, const std::atomic<bool> *running = nullptr);
    ~DeviceVisit();
    DeviceVisit(const DeviceVisit &) = delete;
    DeviceVisit &operator=(const DeviceVisit &) = delete;

    // The device at the address, as its identification told it, before the first visit
    // and after each identification. Another model (a replaced unit) gets blocks of its
    // own and its logs read at once; what was seen at the address stays, so that the new
    // unit's old records are no news.
    void setDevice(const DeviceInfo &device);
    // The caller has told the connection itself: the link is up, its first answer no news.
    void setConnected();

    // One visit; true when the live values were read (the device answered).
    bool visit();
    // A request of the caller's own between visits, under the same rule of silence.
    bool read(DataPacket &packet);
    // A request went unanswered since the live values were last read.
    bool silent() const { return quiet; }
    // The device could not be reached at all (its line would not open, it did not
    // identify): the link is told lost if it was up. True when told now.
    bool noteLost();
    bool linkUp() const { return link == Link::Up; }
    // The live values of the last visit that read them; only after setDevice().
    const WatchDataPacket &monitoring() const { return *live; }

private:
    enum class Link { Unseen, Up, Down };

    bool readMonitoring();
    bool confirmLink();
    bool checkLogs();
    bool readLogs();
    void handOnNews();
    void lookAtOscillogram(const OscillogramMark &mark);
    bool oscillogramIsNews(const OscillogramMark &mark) const;
    bool keepRunning() const { return !running || running->load(); }

    DeviceSession &session;
    VisitSink &sink;
    const Mode mode;
    const std::atomic<bool> *running;
    DeviceInfo info;
    std::unique_ptr<WatchDataPacket> live;
    std::unique_ptr<ProtocolPacket> workLog;
    std::unique_ptr<CrashProtocolPacket> crashLog;
    std::unique_ptr<CrashOscillogramPacket> oscillogram;

    Link link = Link::Unseen;
    bool quiet = false;
    // The oscillogram mark last taken as seen; Whole: "none stored" from the start.
    bool oscillogramKnown;
    quint16 lastOscillogramCode = 0;
    quint32 lastTripTime = 0;
    // The log marks last read; News reads the logs at the first visit whatever they say.
    quint32 lastCrashMark = 0;
    quint32 lastWorkMark = 0;
    bool logsChanged;
    bool logsKnown = false;
    QSet<quint64> crashRecords; // News: the records of the last read
    QSet<quint64> workRecords;
    // The device's own clock: at the last live values, and at the last looks.
    quint32 clock = 0;
    quint32 clockAtLogsLook = 0;
    quint32 clockAtOscillogramLook = 0;
    quint32 newestSeen = 0; // the newest record's or oscillogram's time seen
};
