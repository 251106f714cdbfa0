#pragma once

#include "common/Result.h"
#include "dsp/SampleVector.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Changes the sample rate of a real stream by any ratio with windowed-sinc
// interpolation over 28 input samples (a fixed delay of 14 input samples), emitting
// signed 16-bit samples with a gain applied. Consecutive calls resample as one stream.
//
// The kernel is a Blackman-Harris windowed sinc 28 input samples long. When the
// ratio is p / q in integers with q <= kMaxCycle, to within rounding (the pipeline's
// usual rates against 44100 Hz: 24000 is 80 / 147, 31250 is 625 / 882, 39062.5 is
// 3125 / 3528), the outputs repeat their fractions every q outputs: the kernel is
// evaluated once for each of them, into rows laid in the order the outputs use
// them (about 0.9 MB at most), and the outputs land at their exact positions. Other
// ratios use kPhases rows of 28 taps, one per fraction of an input sample, and each
// output interpolates linearly between the two rows around its fraction: the
// kernel error stays far below the 16-bit output's rounding.
class FractionalResamplerObject {
public:
    static constexpr int kTaps = 28;
    static constexpr int kPhases = 512;
    static constexpr int kMaxCycle = 4096;

    // maxInputLength (>= 1): the longest block processed in one pass; longer calls are
    // processed in passes of this length with the same result.
    explicit FractionalResamplerObject(int maxInputLength);

    // maxInputLength as above (>= 1); rate: input rate / output rate (finite, > 0);
    // gain: linear (finite), applied by the 16-bit process(). Sizes the pass,
    // evaluates the rows of the ratio and starts a new stream, as a new object
    // would at its first call. An error leaves the object as it was.
    Status configure(int maxInputLength, double rate, double gain);

    // Resamples `in` at the configured ratio and returns the number of outputs;
    // out needs room for in.size() / rate + 1 samples (with less, only the inputs
    // whose outputs fit are taken). Outputs as ResampleShortLength gives them.
    size_t process(std::span<const double> in, std::span<int16_t> out);
    // The same without gain, limit or rounding.
    size_t process(std::span<const double> in, std::span<double> out);

    // n: input samples (<= 0 does nothing); rate: input rate / output rate (> 0 and
    // finite, otherwise nothing happens; the first call at a new ratio of small
    // integers evaluates its rows, up to about 4 ms); gain: linear. outBuf
    // needs room for n / rate + 1 samples. Outputs are limited to -32767..32767 and rounded to
    // the nearest integer. Returns the number of outputs.
    int ResampleShortLength(int n, double rate, const double* inBuf, int16_t* outBuf, double gain);
    // The same without gain, limit or rounding.
    int ResampleLength(int n, double rate, const double* inBuf, double* outBuf);

    // Forgets the history: the next input starts a new stream.
    void reset();

    // The kernel's value x input samples after the start of its span (0 <= x <= 28;
    // the centre, 1.0, at 14).
    static double kernel(double x);

private:
    // The outputs of p input samples, q outputs, from a cycle's start B: output s of
    // the cycle lies at B + fraction + s * p / q; it reads row s, from input
    // B + offsets[s] on. Rows q to q + 2 continue into the next cycle, so four
    // outputs from any row read consecutive rows.
    struct Cycle {
        double rate = 0.0; // 0: no rows built
        double fraction = 0.0;
        std::vector<Double4> rows; // kTaps values a row, aligned for vector loads
        std::vector<int> offsets;
    };

    template <typename Store>
    int Resample(int n, double rate, const double* inBuf, Store store);
    template <typename Store>
    int ResampleCycle(int n, int inputs, int length, double rate, const double* inBuf, Store store);
    template <typename Store>
    int ResampleInterpolated(int n, double rate, const double* inBuf, Store store);
    void BuildCycle(double rate, int inputs, int length, double fraction);

    // Inputs of `in` whose outputs fit in outRoom at the configured ratio.
    int inputsFitting(size_t inputs, size_t outRoom) const;

    double rate_ = 1.0;
    double gain_ = 1.0;
    // Position of the next output in input samples from the start of the history
    // window of the next call.
    double m_FloatTime = 0.0;
    // kPhases rows of 2 * kTaps values: row p holds the taps for a fraction p /
    // kPhases of an input sample, then the step to the taps of row p + 1.
    std::vector<double> m_pSinc;
    // 28 history samples followed by one pass of input.
    std::vector<double> m_pInputBuf;

    Cycle m_Cycle;
    // While the stream runs on m_Cycle's rows, its position: the next output is row
    // m_CycleRow of the cycle starting at input m_CycleBase of the next call's window
    // (m_FloatTime follows it too).
    bool m_InCycle = false;
    int m_CycleBase = 0;
    int m_CycleRow = 0;
    // The last ratio looked at and its integers (length 0: none found).
    double m_CheckedRate = 0.0;
    int m_CheckedInputs = 0;
    int m_CheckedLength = 0;
};
