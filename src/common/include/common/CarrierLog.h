#pragma once

#include <cstdint>

// Where the demodulator's carrier measurements go, one per second of signal:
// the carrier.txt file of the app, or a recorder in tests. Called from the
// thread that runs the pipeline.
class CarrierLog {
public:
    virtual ~CarrierLog() = default;

    // unixSeconds: UTC time of the measured second (the recording's start plus
    // the play position); frequencyHz: the carrier, Hz; average, peak: the
    // S-meter readings smoothed over the blocks, dBm.
    virtual void addCarrierMeasurement(int64_t unixSeconds, double frequencyHz, double average, double peak) = 0;
};
