#include "dsp/ComplexFft.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Complex = std::complex<double>;

std::vector<ComplexSample> RandomBlock(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<ComplexSample> block(n);
    for (auto& s : block) {
        s.im = dist(rng);
        s.re = dist(rng);
    }
    return block;
}

// Direct DFT of one output bin; `im` is the real part, `re` the imaginary part.
Complex DirectDft(const std::vector<ComplexSample>& x, int k, int sign)
{
    const int64_t n = static_cast<int64_t>(x.size());
    Complex sum = 0.0;
    for (int64_t j = 0; j < n; ++j) {
        const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>((j * k) % n) / n;
        sum += Complex(x[j].im, x[j].re) * std::polar(1.0, angle);
    }
    return sum;
}

} // namespace

TEST(ComplexFft, TransformsMatchDirectDftForEverySize)
{
    for (int n : {512, 1024, 2048, 4096, 8192, 32768, 65536}) {
        SCOPED_TRACE(n);
        ComplexFft fft(n);
        const auto input = RandomBlock(n, 7u + n);
        const double scale = std::sqrt(static_cast<double>(n));
        const int stride = n <= 4096 ? 1 : n / 61;

        for (int sign : {+1, -1}) {
            auto data = input;
            if (sign > 0)
                fft.FwdFFT(data.data());
            else
                fft.RevFFT(data.data());
            double worst = 0.0;
            for (int k = 0; k < n; k += stride) {
                const Complex expected = DirectDft(input, k, sign);
                worst = std::max(worst, std::abs(Complex(data[k].im, data[k].re) - expected) / scale);
            }
            EXPECT_LT(worst, 1e-13) << "sign " << sign;
        }

        auto roundTrip = input;
        fft.FwdFFT(roundTrip.data());
        fft.RevFFT(roundTrip.data());
        double worst = 0.0;
        for (int j = 0; j < n; ++j) {
            worst = std::max(worst, std::abs(roundTrip[j].im / n - input[j].im));
            worst = std::max(worst, std::abs(roundTrip[j].re / n - input[j].re));
        }
        EXPECT_LT(worst, 1e-14);
    }
}

TEST(ComplexFft, SizesAreClampedToPowersOfTwoInRange)
{
    struct Case {
        int request;
        int expected;
    };
    for (const Case c : {Case{100, 512}, Case{-5, 512}, Case{0, 512}, Case{3000, 2048}, Case{8192, 8192}})
        EXPECT_EQ(ComplexFft(c.request).fftSize(), c.expected) << c.request;
}

TEST(ComplexFft, TransformsDoNotAllocate)
{
    ComplexFft fft(32768);
    auto block = RandomBlock(32768, 3);
    AllocationCounter counter;
    fft.FwdFFT(block.data());
    fft.RevFFT(block.data());
    EXPECT_EQ(counter.Count(), 0u);
}
