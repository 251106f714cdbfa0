#include "dsp/FractionalResamplerObject.h"
#include "dsp/SampleVector.h"
#include "support/AllocationCounter.h"
#include "support/ThdPlusNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

std::vector<double> Sine(int n, double f, double fs, double amplitude)
{
    std::vector<double> x(n);
    for (int t = 0; t < n; ++t)
        x[t] = amplitude * std::sin(2.0 * std::numbers::pi * f * t / fs);
    return x;
}

std::vector<int16_t> Resample(FractionalResamplerObject& resampler, const std::vector<double>& x, int piece,
                              double rate, double gain = 1.0)
{
    std::vector<int16_t> result;
    std::vector<int16_t> out(static_cast<size_t>(piece / rate) + 2);
    for (int at = 0; at < static_cast<int>(x.size()); at += piece) {
        const int n = std::min(piece, static_cast<int>(x.size()) - at);
        const int produced = resampler.ResampleShortLength(n, rate, x.data() + at, out.data(), gain);
        result.insert(result.end(), out.begin(), out.begin() + produced);
    }
    return result;
}

TEST(FractionalResamplerObjectTest, RatioOneDelaysByFourteenSamplesAndRounds)
{
    FractionalResamplerObject resampler(100000);
    auto x = Sine(44100, 1000.0, 44100.0, 10000.0);
    x[1000] = 2.6;
    x[1001] = -2.6;
    x[1002] = 2.4;
    const auto y = Resample(resampler, x, 44100, 1.0);
    ASSERT_EQ(y.size(), 44100u);
    for (int t = 0; t < 14; ++t)
        ASSERT_EQ(y[t], 0) << t;
    for (int t = 14; t < 44100; ++t)
        ASSERT_EQ(y[t], std::lround(x[t - 14])) << t;
    EXPECT_EQ(y[1014], 3);
    EXPECT_EQ(y[1015], -3);
    EXPECT_EQ(y[1016], 2);
}

// The outputs a stream of calls should give: each output at its position in the
// call's window (the 28 inputs before the call, then the call's), as the kernel
// placed there over the inputs evaluated directly. Positions step by the rate from
// where the rate last changed, with one rounding, as a ratio of small integers
// steps exactly.
struct Call {
    int length;
    double rate;
};

std::vector<double> KernelReference(const std::vector<double>& x, const std::vector<Call>& calls)
{
    constexpr int taps = FractionalResamplerObject::kTaps;
    std::vector<double> y;
    double runStart = 0.0; // from the start of the first call's window
    double runRate = 0.0;
    long long step = 0;
    int start = 0;
    for (const Call& call : calls) {
        if (call.rate != runRate) {
            runStart += step * runRate;
            runRate = call.rate;
            step = 0;
        }
        for (double t; (t = runStart + step * runRate - start) < call.length; ++step) {
            const int i = static_cast<int>(t);
            double sum = 0.0;
            for (int k = i + 1; k <= i + taps; ++k) {
                if (start + k - taps >= 0)
                    sum += FractionalResamplerObject::kernel(k - t) * x[start + k - taps];
            }
            y.push_back(sum);
        }
        start += call.length;
    }
    return y;
}

// Every output is the kernel placed at its exact position, in both builds of the
// loops: at ratios of small integers (the rows are evaluated at each output's
// fraction), at others (the table's rows and the interpolation between them), and
// when the ratio changes from call to call, which carries the position across.
TEST(FractionalResamplerObjectTest, OutputsFollowTheKernelAtTheirExactPosition)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-20000.0, 20000.0);
    std::vector<double> x(3000);
    for (auto& v : x)
        v = dist(rng);
    const double period = 2.2675736961451248e-05;
    const double exact = 1e-9 * 20000.0;
    const double interpolated = 5e-6 * 20000.0;
    const struct {
        std::vector<double> rates; // one per call, in turn
        double tolerance;
    } cases[] = {
        {{31250.0 * period}, exact},
        {{12000.0 * period}, exact},
        {{39062.5 * period}, exact}, // 3528 outputs a cycle
        {{0.3}, exact},
        {{1.0}, exact},
        {{2.7}, exact},
        {{std::numbers::pi / 4.0}, interpolated},
        {{std::numbers::sqrt2}, interpolated},
        {{24000.0 * period, std::numbers::pi / 4.0, 24000.0 * period, std::numbers::sqrt2 / 2.0, 12000.0 * period},
         interpolated},
    };
    for (const bool wide : {true, false}) {
        SetWideVectorsEnabled(wide);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "first rate " << c.rates[0] << ", " << c.rates.size()
                                            << " rates, wide " << wide);
            FractionalResamplerObject resampler(1000);
            std::vector<double> y(static_cast<size_t>(x.size() / 0.25));
            std::vector<Call> calls;
            int produced = 0;
            for (int at = 0; at < 3000; at += 700) {
                const Call call{std::min(700, 3000 - at), c.rates[calls.size() % c.rates.size()]};
                produced += resampler.ResampleLength(call.length, call.rate, x.data() + at, y.data() + produced);
                calls.push_back(call);
            }
            const std::vector<double> expected = KernelReference(x, calls);
            ASSERT_EQ(produced, static_cast<int>(expected.size()));
            for (int m = 0; m < produced; ++m)
                ASSERT_NEAR(y[m], expected[m], c.tolerance) << m;
        }
    }
    SetWideVectorsEnabled(true);
}

// A full-scale tone comes out as clean as 16-bit rounding allows.
TEST(FractionalResamplerObjectTest, ToneKeepsSixteenBitQuality)
{
    // The last is no ratio of small integers to the output rate.
    for (double inputRate : {31250.0, 12000.0, 62500.0, 31250.5}) {
        SCOPED_TRACE(inputRate);
        FractionalResamplerObject resampler(10000);
        const auto x = Sine(static_cast<int>(inputRate) * 2, 1000.0, inputRate, 30000.0);
        const auto y = Resample(resampler, x, 5000, inputRate / 44100.0);
        ASSERT_GT(y.size(), 80000u);
        // Full-scale rounding alone gives about -98 dB.
        EXPECT_LT(thdPlusNoiseDb(y.data() + 1000, 44100, 1000.0, 44100.0), -96.0);
    }
}

TEST(FractionalResamplerObjectTest, FractionCarriesAcrossCalls)
{
    FractionalResamplerObject resampler(10000);
    const std::vector<double> x(100, 1.0);
    std::vector<int16_t> out(100);
    const int expected[] = {67, 67, 66, 67, 67, 66, 67, 67, 66};
    for (int count : expected)
        EXPECT_EQ(resampler.ResampleShortLength(100, 1.5, x.data(), out.data(), 1.0), count);
}

TEST(FractionalResamplerObjectTest, OutputIsClippedSymmetrically)
{
    const struct {
        double level;
        int16_t output;
    } cases[] = {{20000.0, 32767}, {-20000.0, -32767}, {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const bool wide : {true, false}) {
        SetWideVectorsEnabled(wide);
        for (const auto& c : cases) {
            for (double rate : {1.0, std::numbers::pi / 4.0}) {
                SCOPED_TRACE(testing::Message() << c.level << " at " << rate << ", wide " << wide);
                FractionalResamplerObject resampler(1000);
                const std::vector<double> x(200, c.level);
                const auto y = Resample(resampler, x, 200, rate, 2.0);
                EXPECT_EQ(y[100], c.output);
                EXPECT_EQ(y[101], c.output);
            }
        }
    }
    SetWideVectorsEnabled(true);
}

TEST(FractionalResamplerObjectTest, ToneComesOutAtTheOutputRate)
{
    // 31250 -> 44100 S/s: output m lies at input position m * rate - 14.
    const double rate = 31250.0 * 2.2675736961451248e-05;
    FractionalResamplerObject resampler(10000);
    const auto x = Sine(31250, 1000.0, 31250.0, 10000.0);
    const auto y = Resample(resampler, x, 3125, rate);
    ASSERT_NEAR(static_cast<double>(y.size()), 44100.0, 1.0);
    for (int m = 100; m < 44100; ++m) {
        const double expected = 10000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * (m * rate - 14.0) / 31250.0);
        ASSERT_NEAR(y[m], expected, 3.0) << m;
    }
}

TEST(FractionalResamplerObjectTest, PiecesGiveTheSameOutputAsOneBlock)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> dist(-20000.0, 20000.0);
    std::vector<double> x(20000);
    for (auto& v : x)
        v = dist(rng);

    // Ratios of small integers, the pipeline's among them, step exactly; others would
    // differ from one block only in the rounding of the accumulated position.
    const double period = 2.2675736961451248e-05;
    for (const bool wide : {true, false}) {
        SetWideVectorsEnabled(wide);
        for (double rate : {1.0, 1.5, 0.5, 0.75, 2.0, 4.5, 24000.0 * period, 31250.0 * period, 62500.0 * period,
                            39062.5 * period}) {
            FractionalResamplerObject reference(20000);
            const auto whole = Resample(reference, x, 20000, rate);
            for (int piece : {1, 3, 13, 100, 4096}) {
                SCOPED_TRACE(testing::Message() << "ratio " << rate << ", pieces of " << piece << ", wide " << wide);
                FractionalResamplerObject split(20000);
                EXPECT_EQ(Resample(split, x, piece, rate), whole);
            }
        }
    }
    SetWideVectorsEnabled(true);
}

// After Reset a stream starts as a new resampler's would, whichever rows it used.
TEST(FractionalResamplerObjectTest, ResetStartsANewStream)
{
    const auto x = Sine(5000, 1000.0, 24000.0, 10000.0);
    for (double rate : {24000.0 * 2.2675736961451248e-05, std::numbers::pi / 4.0}) {
        SCOPED_TRACE(rate);
        FractionalResamplerObject fresh(1000);
        const auto expected = Resample(fresh, x, 700, rate);
        const std::vector<double> part(x.begin(), x.begin() + 1234);
        for (double before : {rate, std::numbers::sqrt2}) {
            FractionalResamplerObject used(1000);
            Resample(used, part, 333, rate);
            Resample(used, part, 333, before);
            used.reset();
            EXPECT_EQ(Resample(used, x, 700, rate), expected) << before;
        }
    }
}

TEST(FractionalResamplerObjectTest, CallsAboveTheMaximumLengthAreProcessedInPasses)
{
    std::mt19937 rng(6);
    std::uniform_real_distribution<double> dist(-20000.0, 20000.0);
    std::vector<double> x(50000);
    for (auto& v : x)
        v = dist(rng);
    for (double rate : {31250.0 / 44100.0, 250000.0 / 44100.0}) {
        SCOPED_TRACE(rate);
        FractionalResamplerObject roomy(100000);
        FractionalResamplerObject small(1000);
        for (int call = 0; call < 3; ++call)
            EXPECT_EQ(Resample(small, x, 50000 - call, rate), Resample(roomy, x, 50000 - call, rate));
    }
}

TEST(FractionalResamplerObjectTest, UnusableRatiosAndEmptyCallsProduceNothing)
{
    FractionalResamplerObject resampler(100);
    const std::vector<double> x(100, 1000.0);
    std::vector<int16_t> out(200);
    for (double rate : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        EXPECT_EQ(resampler.ResampleShortLength(100, rate, x.data(), out.data(), 1.0), 0) << rate;
    EXPECT_EQ(resampler.ResampleShortLength(0, 1.0, x.data(), out.data(), 1.0), 0);
    EXPECT_EQ(resampler.ResampleShortLength(100, 1.0, x.data(), out.data(), 1.0), 100);
}

// Nor when a new ratio's rows are evaluated, or the ratio leaves them and returns.
TEST(FractionalResamplerObjectTest, ResamplingDoesNotAllocate)
{
    FractionalResamplerObject resampler(1000);
    const auto x = Sine(5000, 1000.0, 31250.0, 10000.0);
    std::vector<int16_t> out(8000);
    std::vector<double> doubles(8000);
    AllocationCounter counter;
    resampler.ResampleShortLength(5000, 31250.0 / 44100.0, x.data(), out.data(), 1.0);
    resampler.ResampleShortLength(5000, std::numbers::pi / 4.0, x.data(), out.data(), 1.0);
    resampler.ResampleLength(5000, 31250.0 / 44100.0, x.data(), doubles.data());
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
