#pragma once

#include "demod/DemodulatorStatus.h"

#include <cstdint>
#include <vector>

// A copy of the demodulator's last carrier spectrum, for the carrier close-up:
// the fields as in DemodulatorStatus, carrierPower empty before the first
// measurement.
struct CarrierSpectrum {
    std::vector<double> carrierPower;
    double carrierPeakPower = 0.0;
    int32_t carrierPeakBin = 0;
    double carrierRate = 0.0;

    static CarrierSpectrum of(const DemodulatorStatus& status)
    {
        return {std::vector<double>(status.carrierPower.begin(), status.carrierPower.end()), status.carrierPeakPower,
                status.carrierPeakBin, status.carrierRate};
    }
};
