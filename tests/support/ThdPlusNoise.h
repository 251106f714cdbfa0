#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

// THD+N of x[0..n) sampled at `rate`: the power of everything except the
// `freq` Hz sinusoid and DC, relative to that sinusoid's power, in dB. The
// sinusoid's amplitude and phase and the DC are fitted by least squares, so the
// window need not hold whole periods; `freq` must be the tone's exact frequency.
template <typename T>
double thdPlusNoiseDb(const T* x, long n, double freq, double rate)
{
    // Normal equations of x ~ a cos + b sin + c.
    double m[3][4] = {};
    const double w = 2.0 * std::numbers::pi * freq / rate;
    for (long i = 0; i < n; ++i) {
        const double phase = std::fmod(w * static_cast<double>(i), 2.0 * std::numbers::pi);
        const double basis[3] = {std::cos(phase), std::sin(phase), 1.0};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m[r][c] += basis[r] * basis[c];
            m[r][3] += basis[r] * static_cast<double>(x[i]);
        }
    }
    for (int p = 0; p < 3; ++p) {
        for (int r = p + 1; r < 3; ++r) {
            const double f = m[r][p] / m[p][p];
            for (int c = p; c < 4; ++c)
                m[r][c] -= f * m[p][c];
        }
    }
    double coef[3];
    for (int r = 2; r >= 0; --r) {
        double v = m[r][3];
        for (int c = r + 1; c < 3; ++c)
            v -= m[r][c] * coef[c];
        coef[r] = v / m[r][r];
    }
    double residual = 0.0;
    for (long i = 0; i < n; ++i) {
        const double phase = std::fmod(w * static_cast<double>(i), 2.0 * std::numbers::pi);
        const double e = static_cast<double>(x[i]) - coef[0] * std::cos(phase) - coef[1] * std::sin(phase) - coef[2];
        residual += e * e;
    }
    const double tone = 0.5 * (coef[0] * coef[0] + coef[1] * coef[1]) * static_cast<double>(n);
    return 10.0 * std::log10(residual / tone);
}
