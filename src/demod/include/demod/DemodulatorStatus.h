#pragma once

#include <cstdint>
#include <span>

// The values a DemodulatorObject publishes for the views, as they stand after
// its last call. The arrays point into the demodulator and stay valid until
// its next call; copy what must outlive that.
struct DemodulatorStatus {
    double sMeterAve = 0.0;      // dBm
    double sMeterPeak = 0.0;     // dBm, peak of the last block
    double carrierFreqKHz = 0.0; // last measured carrier, kHz
    // With a squelch set: the level it compares (dBm, as the S-meter) and
    // whether it lets the audio through; without: open.
    double squelchLevel = 0.0;
    bool squelchOpen = true;
    // Power per bin of the last carrier transform (kCarrierFftSize entries,
    // empty before the first measurement); bin k up to 16384 lies
    // k * carrierRate / 32768 Hz below the tuned frequency, bin k beyond
    // (32768 - k) * carrierRate / 32768 Hz above it.
    std::span<const double> carrierPower;
    double carrierPeakPower = 0.0; // the strongest bin of the last second that had one
    int32_t carrierPeakBin = 0;
    double carrierRate = 0.0; // Hz
    // WFM discriminator output (the broadcast multiplex) at mpxRate Hz, empty
    // until WFM is set up; the writer's next position is mpxRingPos.
    std::span<const double> mpxRing;
    int32_t mpxRingPos = 0;
    double mpxRate = 0.0;
};
