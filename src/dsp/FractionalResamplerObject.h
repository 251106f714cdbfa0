#pragma once

#include <cstdint>
#include <vector>

// Changes the sample rate of a real stream by any ratio with windowed-sinc
// interpolation over 28 input samples (a fixed delay of 14 input samples), emitting
// signed 16-bit samples with a gain applied. Consecutive calls resample as one stream.
//
// The kernel (a Blackman-Harris windowed sinc 28 input samples long) is kept as
// kPhases rows of 28 taps, one per fraction of an input sample, and each output
// interpolates linearly between the two rows around its fraction: the kernel
// error stays far below the 16-bit output's rounding.
class FractionalResamplerObject {
public:
    static constexpr int kTaps = 28;
    static constexpr int kPhases = 512;

    // maxInputLength (>= 1): the longest block processed in one pass; longer calls are
    // processed in passes of this length with the same result.
    explicit FractionalResamplerObject(int maxInputLength);

    // n: input samples (<= 0 does nothing); rate: input rate / output rate (> 0 and
    // finite, otherwise nothing happens); gain: linear. outBuf needs room for
    // n / rate + 1 samples. Outputs are limited to -32767..32767 and rounded to
    // the nearest integer. Returns the number of outputs.
    int ResampleShortLength(int n, double rate, const double* inBuf, int16_t* outBuf, double gain);
    // The same without gain, limit or rounding.
    int ResampleLength(int n, double rate, const double* inBuf, double* outBuf);

    // Forgets the history: the next input starts a new stream.
    void Reset();

    // The kernel's value x input samples after the start of its span (0 <= x <= 28;
    // the centre, 1.0, at 14).
    static double Kernel(double x);

private:
    template <typename Store>
    int Resample(int n, double rate, const double* inBuf, Store store);
    template <typename Store>
    int ResamplePass(int base, int n, double& t, double rate, const double* in, Store& store);

    // Position of the next output in input samples from the start of the history
    // window of the next call.
    double m_FloatTime = 0.0;
    // kPhases rows of 2 * kTaps values: row p holds the taps for a fraction p /
    // kPhases of an input sample, then the step to the taps of row p + 1.
    std::vector<double> m_pSinc;
    // 28 history samples followed by one pass of input.
    std::vector<double> m_pInputBuf;
};
