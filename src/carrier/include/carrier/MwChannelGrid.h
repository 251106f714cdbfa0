#pragma once

#include <vector>

// The medium-wave broadcast channels: every frequency from 530 to 1720 kHz
// on the 10 kHz grid (530, 540, ...) or the 9 kHz grid (531, 540, 549, ...),
// each listed once, ascending: 239 channels.
class MwChannelGrid {
public:
    static constexpr int kLowestKHz = 530;
    static constexpr int kHighestKHz = 1720;

    // All channels in kHz.
    static std::vector<int> setMwChannels();

    // The channels lying strictly inside a recording's band, in kHz: above
    // lo = trunc(centre - rate / 2) / 1000 and below hi = trunc(centre + rate / 2) / 1000
    // (whole kHz by integer division). centerFreq in Hz, sampleRate in S/s.
    static std::vector<int> channelsInBand(double centerFreq, double sampleRate);
};
