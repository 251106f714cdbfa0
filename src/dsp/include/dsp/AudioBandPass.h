#pragma once

#include "common/Result.h"

#include <array>
#include <cstddef>
#include <span>

// A sixth-order Butterworth high-pass and a sixth-order Butterworth low-pass in
// cascade (six biquads, bilinear transform with prewarped edges): the speech band
// of narrow FM, which leaves out sub-audible tone signalling (67-254 Hz) and the
// noise above the voice. Each edge is 3 dB down; an octave outside, 36 dB.
class AudioBandPass {
public:
    // Edges in Hz and the rate in Hz: 0 < lowHz < highHz < sampleRate / 2. Clears
    // the state. Until configured, and after an error, the filter passes its input
    // unchanged.
    Status configure(double lowHz, double highHz, double sampleRate);
    // Forgets the signal.
    void reset();

    // Filters min(in.size(), out.size()) samples and returns that count; out may
    // be in (the same samples, filtered in place).
    size_t process(std::span<const double> in, std::span<double> out);

private:
    static constexpr int kSections = 6;
    struct Section {
        double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
        double s1 = 0.0, s2 = 0.0; // transposed direct form II state
    };
    bool active_ = false;
    std::array<Section, kSections> sections_{};
};
