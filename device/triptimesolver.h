#pragma once

#include "device/protectionmodel.h"

#include <QtGlobal>

// The trip time of ProtectionModel::tripTime for a constant balanced current,
// bit for bit, without running every sample to the hour's cap. The model's parts
// do not feed each other: the fast and overload protections follow from the
// settings in closed form; running detection and the broken-phase counters settle
// within a few hundred samples; only the single-precision thermal image is
// iterated, and only while it can still cross its trip level.
class TripTimeSolver
{
public:
    explicit TripTimeSolver(const ProtectionSettings &settings) : config(settings) {}

    // Microseconds until a protection trips, or the cap: ProtectionModel::tripTime.
    quint32 tripTime(quint16 current) const;

    static constexpr quint32 kCapSamples = ProtectionModel::kTripTimeCapUs / ProtectionModel::kSampleIntervalUs;
    static constexpr quint32 kNever = 0xFFFFFFFFu;

    // The sample (counted from 1) at which each part first trips, or kNever.
    quint32 fastTripSample(quint16 current) const;
    quint32 overloadTripSample(quint16 current) const;
    quint32 brokenPhaseTripSample(quint16 current) const;
    quint32 thermalTripSample(quint16 current, quint32 lastSample) const;

private:
    ProtectionSettings config;
};
