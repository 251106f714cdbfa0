#pragma once

// Plain, unoptimised forms of the decimators and the oscillator, written straight
// from their definitions, to check the real ones against.

#include "common/ComplexSample.h"
#include "dsp/SampleVector.h"

#include <cmath>
#include <random>
#include <vector>

namespace reference {

inline std::vector<ComplexSample> RandomSignal(int n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-30000.0, 30000.0);
    std::vector<ComplexSample> signal(n);
    for (ComplexSample& s : signal) {
        s.im = uniform(generator);
        s.re = uniform(generator);
    }
    return signal;
}

inline ComplexSample At(const std::vector<ComplexSample>& x, long i)
{
    return i < 0 ? ComplexSample{} : x[i];
}

// Half-band of L taps (0 = CIC, 11 = the fixed 11-tap set) over a whole signal from
// zero history: outputs at even positions for the FIRs, after each pair for the CIC.
inline std::vector<ComplexSample> Decimate(const std::vector<ComplexSample>& x, int length, const double* taps)
{
    std::vector<ComplexSample> y;
    const long n = static_cast<long>(x.size());
    if (length == 0) {
        for (long g = 1; g < n; g += 2) {
            ComplexSample s;
            s.re = (At(x, g - 3).re + 3 * At(x, g - 2).re + 3 * At(x, g - 1).re + x[g].re) / 8;
            s.im = (At(x, g - 3).im + 3 * At(x, g - 2).im + 3 * At(x, g - 1).im + x[g].im) / 8;
            y.push_back(s);
        }
        return y;
    }
    const int centre = (length - 1) / 2;
    for (long g = 0; g < n; g += 2) {
        ComplexSample s;
        for (int j = 0; j < length; ++j) {
            if (j % 2 == 1 && j != centre)
                continue;
            const ComplexSample v = At(x, g - (length - 1) + j);
            s.re += taps[j] * v.re;
            s.im += taps[j] * v.im;
        }
        y.push_back(s);
    }
    return y;
}

inline const double* Tap11Set()
{
    static const double taps[11] = {0.006043102983737415, 0, -0.04937251545876149, 0, 0.2933294495205284, 0.5,
                                    0.2933294495205284,   0, -0.04937251545876149, 0, 0.006043102983737415};
    return taps;
}

// The oscillator's per-sample recursion, one sample at a time.
struct Oscillator {
    double cosStep = 0.0;
    double sinStep = 0.0;
    ComplexSample phasor;

    Oscillator(double hz, double rate)
    {
        const double step = 2.0 * M_PI * hz / rate;
        cosStep = std::cos(step);
        sinStep = std::sin(step);
        phasor.re = 1.0;
    }

    ComplexSample Mix(const ComplexSample& s)
    {
        ComplexSample r;
        r.re = cosStep * phasor.re - sinStep * phasor.im;
        r.im = sinStep * phasor.re + cosStep * phasor.im;
        const double gain = 1.95 - (phasor.re * phasor.re + phasor.im * phasor.im);
        phasor.re = gain * r.re;
        phasor.im = gain * r.im;
        ComplexSample y;
        y.re = r.re * s.re - r.im * s.im;
        y.im = r.im * s.re + r.re * s.im;
        return y;
    }
};

// Largest |a - b| over the signal, relative to b's largest magnitude.
inline double RelativeError(const std::vector<ComplexSample>& a, const std::vector<ComplexSample>& b)
{
    double worst = 0.0;
    double scale = 0.0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        worst = std::max(worst, std::hypot(a[i].re - b[i].re, a[i].im - b[i].im));
        scale = std::max(scale, std::hypot(b[i].re, b[i].im));
    }
    return scale > 0 ? worst / scale : worst;
}

// Turns the wide build of the loops back on when a test that tries both ends.
struct RestoreWideVectors {
    ~RestoreWideVectors() { SetWideVectorsEnabled(true); }
};

} // namespace reference
