#pragma once

#include <cstdint>
#include <vector>

// Changes the sample rate of a real stream by any ratio with windowed-sinc
// interpolation over 28 input samples (a fixed delay of 14 input samples), emitting
// signed 16-bit samples with a gain applied. Consecutive calls resample as one stream.
class FractionalResamplerObject {
public:
    static constexpr int kTaps = 28;

    // maxInputLength (>= 1): the longest block processed in one pass; longer calls are
    // processed in passes of this length with the same result.
    explicit FractionalResamplerObject(int maxInputLength);

    // n: input samples (<= 0 does nothing); rate: input rate / output rate (> 0 and
    // finite, otherwise nothing happens); gain: linear. outBuf needs room for
    // n / rate + 1 samples. Outputs are limited to -32767..32767 and truncated.
    // Returns the number of outputs.
    int ResampleShortLength(int n, double rate, const double* inBuf, int16_t* outBuf, double gain);
    // The same without gain, limit or truncation.
    int ResampleLength(int n, double rate, const double* inBuf, double* outBuf);

    // Forgets the history: the next input starts a new stream.
    void Reset();

private:
    template <typename Store>
    int Resample(int n, double rate, const double* inBuf, Store store);
    template <typename Store>
    int ResamplePass(int base, int n, double& t, double rate, const double* in, Store& store);

    // Position of the next output in input samples from the start of the history
    // window of the next call.
    double m_FloatTime = 0.0;
    // Kernel, 28 periods of 10000 points centred at entry 140000.
    std::vector<double> m_pSinc;
    // 28 history samples followed by one pass of input.
    std::vector<double> m_pInputBuf;
};
