#include "dsp/AGCObject.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <memory>
#include <numbers>
#include <vector>

namespace {

// The pipeline's settings: on, no hang, knee -100 dB, manual 30 dB, flat slope, 200 ms.
void SetUpAsPipeline(AGCObject& agc, double rate) { agc.SetParameters(true, false, -100, 30, 0, 200, rate); }

// A tone whose level steps between quiet and loud every 0.3 s, im and re swapped in
// phase so both members matter.
std::vector<ComplexSample> Bursts(int n, double rate)
{
    std::vector<ComplexSample> x(n);
    for (int t = 0; t < n; ++t) {
        const double amplitude = (static_cast<int>(t / (0.3 * rate)) % 2) ? 20000.0 : 30.0;
        const double a = 2.0 * std::numbers::pi * 700.0 * t / rate;
        x[t] = {amplitude * std::sin(a), amplitude * std::cos(a)};
    }
    return x;
}

std::vector<ComplexSample> Constant(int n, double re)
{
    return std::vector<ComplexSample>(n, ComplexSample{0.0, re});
}

TEST(AGCObjectTest, RingLengthsAndCoefficientsFollowTheRate)
{
    struct Case {
        double rate;
        int delay, window, hang;
    };
    for (const Case c : {Case{20000, 300, 360, 4000}, Case{31250, 468, 562, 6250}, Case{200000, 2047, 2048, 40000},
                         Case{10, 1, 1, 2}}) {
        SCOPED_TRACE(c.rate);
        AGCObject agc;
        SetUpAsPipeline(agc, c.rate);
        EXPECT_EQ(agc.DelaySamples(), c.delay);
        EXPECT_EQ(agc.WindowSamples(), c.window);
        EXPECT_EQ(agc.HangTime(), c.hang);
        EXPECT_DOUBLE_EQ(agc.AttackRiseAlpha(), 1.0 - std::exp(-500.0 / c.rate));
    }
}

TEST(AGCObjectTest, FullScaleSettlesAtSevenTenths)
{
    auto agc = std::make_unique<AGCObject>();
    SetUpAsPipeline(*agc, 20000);
    auto y = Constant(40000, 32767.0);
    agc->ProcessComplexData(static_cast<int>(y.size()), y.data(), y.data());
    EXPECT_NEAR(y.back().re, 22936.9, 0.05);
    EXPECT_EQ(y.back().im, 0.0);
}

TEST(AGCObjectTest, WeakSignalGetsTheFixedGainAfterTheDelay)
{
    // 0.1 is -110 dBFS, below the -100 dB knee: gain 0.7 * 10^5.
    auto agc = std::make_unique<AGCObject>();
    SetUpAsPipeline(*agc, 20000);
    auto y = Constant(2000, 0.1);
    agc->ProcessComplexData(static_cast<int>(y.size()), y.data(), y.data());
    for (int t = 0; t < 300; ++t)
        ASSERT_EQ(y[t].re, 0.0) << t;
    for (int t = 300; t < 2000; ++t)
        ASSERT_NEAR(y[t].re, 7000.0, 1e-6) << t;
}

TEST(AGCObjectTest, ManualGainWhenOff)
{
    for (int manual : {100, 80}) {
        auto agc = std::make_unique<AGCObject>();
        agc->SetParameters(false, false, -100, manual, 0, 200, 20000);
        ComplexSample s{0.5, -0.25};
        agc->ProcessComplexData(1, &s, &s);
        const double gain = 32767.0 * std::pow(10.0, -(100 - manual) * 0.05);
        EXPECT_DOUBLE_EQ(s.im, 0.5 * gain);
        EXPECT_DOUBLE_EQ(s.re, -0.25 * gain);
    }
}

// The levelling written plainly, the window's peak found by scanning the whole
// window whenever the peak leaves it (pipeline settings, no hang).
std::vector<ComplexSample> PlainAgc(const std::vector<ComplexSample>& x, double rate)
{
    const int delay = std::min(static_cast<int>(0.015 * rate), 2047);
    const int window = std::min(static_cast<int>(0.018 * rate), 2048);
    const double attackRise = 1.0 - std::exp(-500.0 / rate), attackFall = 1.0 - std::exp(-200.0 / rate);
    const double decayRise = 1.0 - std::exp(-3333.3333333333335 / (rate * 200));
    const double decayFall = 1.0 - std::exp(-1000.0 / (rate * 200));
    std::vector<ComplexSample> line(delay);
    std::vector<double> mags(window, -16.0);
    double peak = -16.0, attack = -5.0, decay = -5.0;
    std::vector<ComplexSample> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const ComplexSample d = line[i % delay];
        line[i % delay] = x[i];
        const double mag =
            std::log10(std::max(std::fabs(x[i].re), std::fabs(x[i].im)) + 0.00032767) - 4.515436681141699;
        const double old = mags[i % window];
        mags[i % window] = mag;
        if (mag > peak)
            peak = mag;
        else if (old == peak)
            peak = std::max(*std::max_element(mags.begin(), mags.end()), -8.0);
        const double a = peak > attack ? attackRise : attackFall;
        attack = (1.0 - a) * attack + a * peak;
        const double b = peak > decay ? decayRise : decayFall;
        decay = (1.0 - b) * decay + b * peak;
        const double level = std::max(attack, decay);
        const double gain = level > -5.0 ? 0.7 * std::pow(10.0, -level) : 0.7 * std::pow(10.0, 5.0);
        y[i] = {d.im * gain, d.re * gain};
    }
    return y;
}

// Bursts, steady stretches (whose peak leaves the window on every sample),
// silence and noise, at rates whose window is short, long or the whole ring.
TEST(AGCObjectTest, WindowPeakMatchesAScanOfTheWholeWindow)
{
    for (double rate : {8000.0, 31250.0, 250000.0}) {
        SCOPED_TRACE(rate);
        const int n = static_cast<int>(rate * 1.5);
        auto x = Bursts(n, rate);
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> noise(-3000.0, 3000.0);
        for (int t = 0; t < n; ++t) {
            if (t % 5000 < 1200)
                x[t] = {0.0, 12000.0};
            else if (t % 5000 < 1700)
                x[t] = {};
            else if (t % 5000 < 2500)
                x[t] = {noise(rng), noise(rng)};
        }
        const auto expected = PlainAgc(x, rate);
        auto agc = std::make_unique<AGCObject>();
        SetUpAsPipeline(*agc, rate);
        std::vector<ComplexSample> y(x.size());
        agc->ProcessComplexData(n, x.data(), y.data());
        // The gain's exponential may differ from pow in the last places.
        for (int t = 0; t < n; ++t) {
            ASSERT_NEAR(y[t].re, expected[t].re, 1e-12 * (std::fabs(expected[t].re) + 1.0)) << t;
            ASSERT_NEAR(y[t].im, expected[t].im, 1e-12 * (std::fabs(expected[t].im) + 1.0)) << t;
        }
    }
}

TEST(AGCObjectTest, PiecesGiveTheSameOutputAsOneBlock)
{
    for (bool hang : {false, true}) {
        const auto x = Bursts(60000, 31250);
        auto whole = std::make_unique<AGCObject>();
        whole->SetParameters(true, hang, -100, 30, 0, 200, 31250);
        auto expected = x;
        whole->ProcessComplexData(static_cast<int>(x.size()), expected.data(), expected.data());
        for (int piece : {1, 100, 313, 4096}) {
            SCOPED_TRACE(testing::Message() << (hang ? "hang, " : "") << "pieces of " << piece);
            auto split = std::make_unique<AGCObject>();
            split->SetParameters(true, hang, -100, 30, 0, 200, 31250);
            std::vector<ComplexSample> y(x.size());
            for (int at = 0; at < static_cast<int>(x.size()); at += piece) {
                const int n = std::min(piece, static_cast<int>(x.size()) - at);
                split->ProcessComplexData(n, x.data() + at, y.data() + at);
            }
            for (size_t t = 0; t < x.size(); ++t) {
                ASSERT_EQ(y[t].re, expected[t].re) << t;
                ASSERT_EQ(y[t].im, expected[t].im) << t;
            }
        }
    }
}

TEST(AGCObjectTest, OnlyANewRateClearsTheState)
{
    struct Case {
        int decay;
        double rate;
        bool cleared;
    };
    for (const Case c : {Case{200, 20000, false}, Case{500, 20000, false}, Case{200, 24000, true}}) {
        SCOPED_TRACE(testing::Message() << c.decay << " ms at " << c.rate);
        auto agc = std::make_unique<AGCObject>();
        SetUpAsPipeline(*agc, 20000);
        auto y = Bursts(20000, 20000);
        agc->ProcessComplexData(static_cast<int>(y.size()), y.data(), y.data());
        agc->SetParameters(true, false, -100, 30, 0, c.decay, c.rate);
        ComplexSample s{1000.0, 1000.0};
        agc->ProcessComplexData(1, &s, &s);
        EXPECT_EQ(s.re == 0.0 && s.im == 0.0, c.cleared);
    }
}

TEST(AGCObjectTest, HangHoldsTheGainDownAfterASignalStops)
{
    // Full scale for 1 s, then -80 dBFS: 150 ms later the hang still holds the decay
    // average (gain about 0.7), without hang it has fallen a long way already.
    std::vector<double> after;
    for (bool hang : {true, false}) {
        auto agc = std::make_unique<AGCObject>();
        agc->SetParameters(true, hang, -100, 30, 0, 200, 20000);
        auto y = Constant(20000 + 3000, 32767.0);
        for (size_t t = 20000; t < y.size(); ++t)
            y[t].re = 3.2767;
        agc->ProcessComplexData(static_cast<int>(y.size()), y.data(), y.data());
        after.push_back(y.back().re / 3.2767);
    }
    EXPECT_LT(after[0], 1.0);
    EXPECT_GT(after[1], 20.0);
}

TEST(AGCObjectTest, LevellingDoesNotAllocate)
{
    auto agc = std::make_unique<AGCObject>();
    SetUpAsPipeline(*agc, 31250);
    auto x = Bursts(31250, 31250);
    AllocationCounter counter;
    agc->ProcessComplexData(static_cast<int>(x.size()), x.data(), x.data());
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
