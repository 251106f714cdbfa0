#pragma once

#include "common/Result.h"

#include <cstddef>
#include <span>

// First-order de-emphasis of FM audio, the response 1 / (1 + j 2 pi f tau): the
// pole matched to the analog one and the zero placed so that the gain at DC and at
// half the sample rate are the analog curve's, which keeps the whole curve within
// 0.4 dB up to a fifth of the rate (0.6 dB up to a quarter).
class DeemphasisFilter {
public:
    // tau: seconds (50e-6, 75e-6, 750e-6; 0 passes the audio unchanged; finite,
    // >= 0); sampleRate: Hz (finite, > 0). Clears the state. An error leaves the
    // filter passing its input unchanged.
    Status configure(double tau, double sampleRate);
    // Forgets the signal.
    void reset() { x1_ = y1_ = 0.0; }
    bool active() const { return active_; }

    // Filters min(in.size(), out.size()) samples and returns that count; out may
    // be in (the same samples, filtered in place).
    size_t process(std::span<const double> in, std::span<double> out);

private:
    bool active_ = false;
    double b0_ = 1.0, b1_ = 0.0, pole_ = 0.0;
    double x1_ = 0.0, y1_ = 0.0;
};
