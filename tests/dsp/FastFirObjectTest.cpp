#include "dsp/FastFirObject.h"
#include "support/AllocationCounter.h"
#include "support/QuietLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

// Complex tone re + j*im = amplitude * exp(2 pi i f t / fs).
std::vector<ComplexSample> Tone(int n, double f, double fs, double amplitude = 1000.0)
{
    std::vector<ComplexSample> x(n);
    for (int t = 0; t < n; ++t) {
        const double a = 2.0 * std::numbers::pi * f * t / fs;
        x[t].re = amplitude * std::cos(a);
        x[t].im = amplitude * std::sin(a);
    }
    return x;
}

std::vector<ComplexSample> Noise(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> dist(0.0, 3000.0);
    std::vector<ComplexSample> x(n);
    for (auto& s : x)
        s = {dist(rng), dist(rng)};
    return x;
}

std::vector<ComplexSample> Filter(FastFirObject& fir, const std::vector<ComplexSample>& x)
{
    std::vector<ComplexSample> out(x.size() + FastFirObject::kBlock);
    out.resize(fir.ProcessDataInLength(static_cast<int>(x.size()), x.data(), out.data()));
    return out;
}

class FastFirObjectTest : public ::testing::Test {
protected:
    QuietLog quiet;
    std::unique_ptr<FastFirObject> fir = std::make_unique<FastFirObject>();
};

TEST_F(FastFirObjectTest, PassesTheBandWithUnitGainAndDelay512AndRejectsItsMirror)
{
    struct Case {
        double lo, hi, offset, fs, toneHz;
        bool passes;
    };
    const Case cases[] = {
        {300, 2700, 0, 12000, 1500, true},
        {300, 2700, 0, 12000, -1500, false},
        {-7000, 7000, 0, 31250, -5000, true},
        {-7000, 7000, 0, 31250, 0, true},
        {-7000, 7000, 0, 31250, 12000, false},
        {-1000, 1000, 3000, 31250, 2500, true},
        {-1000, 1000, 3000, 31250, -3000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi << " +" << c.offset << " tone " << c.toneHz);
        fir = std::make_unique<FastFirObject>();
        ASSERT_TRUE(fir->SetupParametersFLoCut(c.lo, c.hi, c.offset, c.fs));
        const auto x = Tone(8192, c.toneHz, c.fs);
        const auto y = Filter(*fir, x);
        ASSERT_EQ(y.size(), 8192u);
        double worst = 0.0;
        for (int t = 2048; t < 8192; ++t) {
            const ComplexSample expected = c.passes ? x[t - 512] : ComplexSample{};
            worst = std::max(worst, std::hypot(y[t].re - expected.re, y[t].im - expected.im) / 1000.0);
        }
        EXPECT_LT(worst, c.passes ? 1e-4 : 1e-5); // 1e-5: more than 100 dB down
    }
}

TEST_F(FastFirObjectTest, ImpulseResponseIsTheWindowedSincBandPass)
{
    ASSERT_TRUE(fir->SetupParametersFLoCut(300, 2700, 0, 12000));
    std::vector<ComplexSample> impulse(2048);
    impulse[0].re = 1.0;
    const auto y = Filter(*fir, impulse);
    const double b = 2400.0 / 12000, c = 3000.0 / 12000;
    for (int i = 0; i < 2048; ++i) {
        double tap = 0.0;
        if (i < 1025) {
            const int m = i - 512;
            const double a = 2.0 * std::numbers::pi * i / 1024.0;
            const double w = 0.3635819 - 0.4891775 * std::cos(a) + 0.1365995 * std::cos(2 * a) - 0.0106411 * std::cos(3 * a);
            tap = m == 0 ? b : std::sin(std::numbers::pi * b * m) / (std::numbers::pi * m) * w;
        }
        const double x = std::numbers::pi * c * (i - 512);
        // Single-precision transforms: within a part in 10^6 of the centre tap.
        ASSERT_NEAR(y[i].re, tap * std::cos(x), 2e-7) << i;
        ASSERT_NEAR(y[i].im, tap * std::sin(x), 2e-7) << i;
    }
}

TEST_F(FastFirObjectTest, OutputComesOutInBlocksOf1024)
{
    ASSERT_TRUE(fir->SetupParametersFLoCut(300, 2700, 0, 12000));
    const auto x = Noise(1048, 1);
    std::vector<ComplexSample> out(2048);
    EXPECT_EQ(fir->ProcessDataInLength(1000, x.data(), out.data()), 0);
    EXPECT_EQ(fir->ProcessDataInLength(48, x.data() + 1000, out.data()), 1024);
    EXPECT_EQ(fir->ProcessDataInLength(0, x.data(), out.data()), 0);
}

TEST_F(FastFirObjectTest, PiecesAndInPlaceGiveTheSameOutputAsOneBlock)
{
    const auto x = Noise(20000, 2);
    ASSERT_TRUE(fir->SetupParametersFLoCut(-2000, 500, 100, 31250));
    const auto whole = Filter(*fir, x);

    for (int piece : {1, 7, 1000, 1024, 1500, 3333}) {
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(testing::Message() << "pieces of " << piece << (inPlace ? " in place" : ""));
            FastFirObject split;
            split.SetupParametersFLoCut(-2000, 500, 100, 31250);
            // In place the caller's block must have room for up to 1023 samples past
            // its input, like any output buffer.
            std::vector<ComplexSample> block(piece + FastFirObject::kBlock);
            std::vector<ComplexSample> out(piece + FastFirObject::kBlock);
            std::vector<ComplexSample> result;
            for (int at = 0; at < static_cast<int>(x.size()); at += piece) {
                const int n = std::min(piece, static_cast<int>(x.size()) - at);
                std::copy(x.begin() + at, x.begin() + at + n, block.begin());
                ComplexSample* target = inPlace ? block.data() : out.data();
                const int produced = split.ProcessDataInLength(n, block.data(), target);
                result.insert(result.end(), target, target + produced);
            }
            ASSERT_EQ(result.size(), whole.size());
            for (size_t t = 0; t < whole.size(); ++t) {
                ASSERT_EQ(result[t].re, whole[t].re) << t;
                ASSERT_EQ(result[t].im, whole[t].im) << t;
            }
        }
    }
}

TEST_F(FastFirObjectTest, BandsThatCannotBeDesignedAreRefusedAndKeepThePreviousDesign)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double lo, hi, offset, fs;
    };
    const Case refused[] = {
        {300, 6000, 0, 12000},   // upper edge on fs/2
        {-6000, 0, 0, 12000},    // lower edge on -fs/2
        {2700, 300, 0, 12000},   // reversed
        {300, 300, 0, 12000},    // empty
        {300, 2700, 4000, 12000}, // shifted past fs/2
        {300, 2700, 0, 0},
        {nan, 2700, 0, 12000},
    };

    // Before any valid design the filter is silent.
    auto y = Filter(*fir, Tone(4096, 1500, 12000));
    for (const auto& s : y)
        ASSERT_EQ(s.re == 0.0 && s.im == 0.0, true);

    ASSERT_TRUE(fir->SetupParametersFLoCut(300, 2700, 0, 12000));
    for (const Case& c : refused) {
        SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi << " +" << c.offset << " at " << c.fs);
        EXPECT_FALSE(fir->SetupParametersFLoCut(c.lo, c.hi, c.offset, c.fs));
        EXPECT_FALSE(fir->SetupParametersFLoCut(c.lo, c.hi, c.offset, c.fs)) << "repeated";
    }
    y = Filter(*fir, Tone(8192, 1500, 12000));
    EXPECT_NEAR(std::hypot(y[8000].re, y[8000].im), 1000.0, 0.1) << "previous band still in use";
}

// A filter used before and then reset, or cleared and designed again, filters
// exactly as a new one.
TEST_F(FastFirObjectTest, ResetAndClearStartOverAsANewFilter)
{
    const auto before = Noise(3000, 4);
    const auto x = Noise(5000, 5);
    FastFirObject fresh;
    ASSERT_TRUE(fresh.SetupParametersFLoCut(-2000, 500, 100, 31250));
    const auto expected = Filter(fresh, x);

    ASSERT_TRUE(fir->SetupParametersFLoCut(-2000, 500, 100, 31250));
    Filter(*fir, before);
    fir->reset();
    const auto afterReset = Filter(*fir, x);

    fir->SetupParametersFLoCut(-1000, 1000, 0, 31250);
    Filter(*fir, before);
    fir->clear();
    const auto cleared = Filter(*fir, x);
    EXPECT_TRUE(std::all_of(cleared.begin(), cleared.end(), [](const ComplexSample& s) { return s.re == 0.0 && s.im == 0.0; }));
    fir->clear();
    ASSERT_TRUE(fir->SetupParametersFLoCut(-2000, 500, 100, 31250));
    const auto redesigned = Filter(*fir, x);

    for (const auto* result : {&afterReset, &redesigned}) {
        ASSERT_EQ(result->size(), expected.size());
        for (size_t t = 0; t < expected.size(); ++t) {
            ASSERT_EQ((*result)[t].re, expected[t].re) << t;
            ASSERT_EQ((*result)[t].im, expected[t].im) << t;
        }
    }
}

TEST_F(FastFirObjectTest, FilteringDoesNotAllocate)
{
    ASSERT_TRUE(fir->SetupParametersFLoCut(300, 2700, 0, 12000));
    auto x = Noise(5000, 3);
    AllocationCounter counter;
    fir->ProcessDataInLength(5000, x.data(), x.data());
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
