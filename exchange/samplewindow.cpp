#include "exchange/samplewindow.h"

#include "device/watchdatapacket.h"

SampleWindow::Sample SampleWindow::Sample::of(quint32 time, const WatchDataPacket &block)
{
    Sample s;
    s.time = time;
    for (int phase = 0; phase < kPhases; ++phase) {
        s.currents[phase] = block.phaseCurrent(phase);
        s.voltages[phase] = block.phaseVoltage(phase);
    }
    s.temperature = block.pt100Temperature();
    s.heating = block.calculatedHeating();
    return s;
}

SampleWindow::SampleWindow(int slackSeconds, int intervalSeconds) : extra(slackSeconds), span(intervalSeconds) {}

// Times are compared as they came: a clock set back keeps the samples until the
// newest is again far enough ahead of the oldest.
void SampleWindow::append(const Sample &sample)
{
    held.push_back(sample);
    const qint64 kept = qint64(span) + extra;
    while (qint64(held.back().time) - qint64(held.front().time) > kept)
        held.pop_front();
}
