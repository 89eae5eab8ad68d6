#pragma once

#include "device/watchdatapacket.h"

#include <QtGlobal>

#include <deque>

// The monitoring values a report plots, each stamped with the local clock at its
// reading, over the last interval seconds and a slack beyond it. The oldest leave as
// newer ones come in, not when the interval shrinks: as the watch tab's plots keep
// theirs, so that the report draws what the tab showed.
class SampleWindow
{
public:
    static constexpr int kPhases = WatchDataPacket::kPhases;
    // Longer than any line runs: a window that never drops a sample.
    static constexpr int kUnlimited = 0x7FFFFFFF;
    // The interval the plots show until the user picks another, and the slack beyond it:
    // the live values a little longer, so that their curve reaches the plot's left edge,
    // the temperatures just over it. The watch tab's plots and the report's samples keep
    // theirs alike, so that the report draws what the tab showed.
    static constexpr int kDefaultInterval = 60; // seconds
    static constexpr int kLiveSlack = 5;
    static constexpr int kTemperatureSlack = 0;

    struct Sample
    {
        quint32 time = 0;               // seconds since 1970
        quint16 currents[kPhases] = {}; // phase currents in the device's counts
        quint16 voltages[kPhases] = {}; // phase voltages in volts
        qint16 temperature = 0;         // PT100, °C
        quint16 heating = 0;            // calculated heating, %

        static Sample of(quint32 time, const WatchDataPacket &block);
    };

    explicit SampleWindow(int slackSeconds = 0, int intervalSeconds = kUnlimited);

    void setInterval(int seconds) { span = seconds; }
    int interval() const { return span; }
    int slack() const { return extra; }

    void append(const Sample &sample);
    void clear() { held.clear(); }

    bool isEmpty() const { return held.empty(); }
    int size() const { return int(held.size()); }
    const Sample &at(int index) const { return held[std::size_t(index)]; }
    const Sample &newest() const { return held.back(); }
    std::deque<Sample>::const_iterator begin() const { return held.cbegin(); }
    std::deque<Sample>::const_iterator end() const { return held.cend(); }

private:
    std::deque<Sample> held; // oldest first
    int extra;
    int span;
};
