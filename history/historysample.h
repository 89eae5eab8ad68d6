#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// One monitoring sample as history keeps it: already in amperes, so that a reader
// needs no device to make sense of it. At minute resolution the values are the
// minute's means (the minimum and maximum are kept beside them in the file).
struct HistorySample
{
    static constexpr int kPhases = 3;

    qint64 timeMs = 0; // UTC, milliseconds since 1970
    double currents[kPhases] = {0, 0, 0}; // amperes
    int voltages[kPhases] = {0, 0, 0};     // volts
    int pt100 = 0;                         // °C, or the device's sentinel for a shorted or open sensor
    int heating = 0;                       // calculated heating, %
    int faultCode = 0;
    bool motorRunning = false;
    quint16 inputs = 0;
    quint16 outputs = 0;
};

// Where a sample or an entry came from: the line's name (port or network address),
// the device's address on it and the device's identity (model range and version).
struct HistoryDevice
{
    qint64 id = 0; // the store's own number; 0 before the store knows the device
    QString line;
    int address = 0;
    QString identity;
    int currentScale = 0;
    qint64 firstMs = 0; // the first and last sample held, 0 when there is none
    qint64 lastMs = 0;
};

// An entry of the events table: a device log record (stored once however often the
// log is read again) or the program's own note about the link. The file keeps codes
// and numbers, not words: HistoryEventText makes the text when the entry is shown, in
// the reader's language.
struct HistoryEvent
{
    enum Source { Link = 0, WorkLog = 1, CrashLog = 2 };
    // The file's numbers for the program's notes.
    enum LinkCode { LinkLost = 1, LinkRestored = 2 };
    // A trip's phase values as the crash log holds them.
    struct Phases
    {
        double currents[HistorySample::kPhases] = {0, 0, 0}; // amperes
        int voltages[HistorySample::kPhases] = {0, 0, 0};    // volts
    };

    HistoryEvent() = default;
    HistoryEvent(qint64 timeMs, int source, int code, const QString &text = QString())
        : timeMs(timeMs), source(source), code(code), text(text)
    {
    }

    qint64 timeMs = 0;
    int source = Link;
    int code = 0; // link: LinkCode; work log: the record's code (start, stop); crash log: the fault code
    // Words shown as they are, in place of the code's text: only an entry of an older
    // file whose text was none this program makes. Empty otherwise.
    QString text;
    std::optional<double> startPeak; // a start's peak current, A, where the work log keeps it (modification 50 on)
    std::optional<Phases> phases;    // a trip's
};

// A stored crash oscillogram: the whole register block as the device gave it.
struct HistoryOscillogram
{
    qint64 id = 0;
    quint32 tripTime = 0; // seconds since 1970 UTC, the device's stamp
    int faultCode = 0;
    qint64 recordedMs = 0; // when it was read
    QByteArray block;      // the registers, little-endian words in request order
};
