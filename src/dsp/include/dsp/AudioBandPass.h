#pragma once

#include <array>

// A sixth-order Butterworth high-pass and a sixth-order Butterworth low-pass in
// cascade (six biquads, bilinear transform with prewarped edges): the speech band
// of narrow FM, which leaves out sub-audible tone signalling (67-254 Hz) and the
// noise above the voice. Each edge is 3 dB down; an octave outside, 36 dB.
class AudioBandPass {
public:
    // lowHz < highHz < sampleRate / 2, all > 0; clears the state. Until set up
    // the filter passes its input unchanged.
    void setUp(double lowHz, double highHz, double sampleRate);
    void reset();

    // Filters n samples (n <= 0 does nothing); out may equal in.
    void process(int n, const double* in, double* out);

private:
    static constexpr int kSections = 6;
    struct Section {
        double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
        double s1 = 0.0, s2 = 0.0; // transposed direct form II state
    };
    bool active_ = false;
    std::array<Section, kSections> sections_{};
};
