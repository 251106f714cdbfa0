#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

// Amplitude of the `freq` Hz component of x[0..n-1] (Goertzel); with a window
// of whole periods a pure tone of amplitude A gives A.
inline double toneAmplitude(const int16_t* x, long n, double freq, double rate)
{
    const double w = 2.0 * std::numbers::pi * freq / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (long i = 0; i < n; ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(n);
}

inline double rmsLevel(const int16_t* x, long n)
{
    double sum = 0.0;
    for (long i = 0; i < n; ++i)
        sum += double(x[i]) * x[i];
    return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}
