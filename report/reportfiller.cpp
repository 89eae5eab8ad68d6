#include "report/reportfiller.h"

#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/currentscale.h"
#include "device/packetfactory.h"
#include "device/runconfigpacket.h"
#include "device/watchdatapacket.h"
#include "exchange/deviceconnection.h"
#include "exchange/samplewindow.h"

static_assert(ReportData::kLiveColumns == 2 * SampleWindow::kPhases, "currents, then voltages, of every phase");

ReportData ReportFiller::fill(const Source &source)
{
    ReportData d;
    d.device = source.device;
    d.version = source.device.modification;
    d.monitoring = source.monitoring ? std::unique_ptr<WatchDataPacket>(source.monitoring->clone())
                                     : PacketFactory::monitoring(d.version);
    d.configuration = source.configuration ? std::unique_ptr<ConfigPacket>(source.configuration->clone())
                                           : PacketFactory::configuration(d.version);
    d.protocol = source.protocol;
    d.plotInterval = source.plotInterval;
    fillSamples(source, d);
    if (source.configuration)
        d.protection = ProtectionSettings::fromConfig(*source.configuration);
    if (source.startRecord)
        d.startCharacteristic = source.startRecord->characteristic();
    d.currentAxis = source.currentAxis;
    // Fault code 0 is the device's "none stored"; a block without a trip time was never a trip.
    const CrashOscillogramPacket *trip = source.oscillogram;
    if (trip && trip->faultCode() != 0 && trip->tripTime() != 0)
        d.oscillogram.reset(trip->clone());
    return d;
}

// The currents in amperes at the device's scale, as the watch tab shows them.
void ReportFiller::fillSamples(const Source &source, ReportData &d)
{
    const CurrentScale scale(source.device.currentScale);
    if (source.liveSamples)
        for (const SampleWindow::Sample &s : *source.liveSamples) {
            double values[ReportData::kLiveColumns];
            for (int phase = 0; phase < SampleWindow::kPhases; ++phase) {
                values[phase] = scale.amperes(s.currents[phase]);
                values[SampleWindow::kPhases + phase] = s.voltages[phase];
            }
            d.liveSamples.append(s.time, values);
        }
    if (source.temperatureSamples)
        for (const SampleWindow::Sample &s : *source.temperatureSamples) {
            const double values[ReportData::kTemperatureColumns] = {double(s.temperature), double(s.heating)};
            d.temperatureSamples.append(s.time, values);
        }
}

ReportFiller::Source ReportFiller::of(const DeviceConnection &connection, CurrentAxis currentAxis)
{
    Source s;
    if (const DeviceInfo *device = connection.device())
        s.device = *device;
    s.monitoring = connection.monitoring();
    s.configuration = connection.configuration();
    s.startRecord = connection.startRecord();
    s.oscillogram = connection.oscillogram();
    s.protocol = &connection.protocol();
    s.liveSamples = &connection.liveSamples();
    s.temperatureSamples = &connection.temperatureSamples();
    s.plotInterval = connection.plotInterval();
    s.currentAxis = currentAxis;
    return s;
}
