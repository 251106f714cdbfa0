#include "dsp/ComplexFft.h"
#include "dsp/PowerSpectrum.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The powers are those of ComplexFft's forward transform, bin for bin (a tone
// of im + j*re at +100 bins lands in bin N - 100 under the positive exponent,
// never in its mirror).
TEST(PowerSpectrumTest, BinsAreThoseOfTheForwardTransform)
{
    constexpr int kSize = 4096;
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> dist(-1000.0, 1000.0);
    std::vector<ComplexSample> x(kSize);
    for (auto& s : x)
        s = {dist(rng), dist(rng)};
    for (int t = 0; t < kSize; ++t) {
        const double a = 2.0 * 3.141592653589793 * 100.0 * t / kSize;
        x[t].im += 30000.0 * std::cos(a);
        x[t].re += 30000.0 * std::sin(a);
    }
    std::vector<ComplexSample> reference = x;
    ComplexFft fft(kSize);
    fft.FwdFFT(reference.data());

    PowerSpectrum spectrum(kSize);
    std::vector<double> power(kSize);
    AllocationCounter counter;
    spectrum.compute(x.data(), power.data());
    EXPECT_EQ(counter.Count(), 0u);
    for (int k = 0; k < kSize; ++k) {
        const double expected = reference[k].im * reference[k].im + reference[k].re * reference[k].re;
        ASSERT_NEAR(power[k], expected, 1e-9 * expected + 1e-3) << k;
    }
    EXPECT_GT(power[kSize - 100], 1e3 * power[100]);
}

} // namespace
