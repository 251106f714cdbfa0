#include "dsp/AGCObject.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kRate = 12000.0;

AgcSettings Profile(double hangMs, double decayMs, double maxGainDb = 100.0)
{
    AgcSettings s;
    s.hangMs = hangMs;
    s.decayMs = decayMs;
    s.maxGainDb = maxGainDb;
    return s;
}

// An analytic 700 Hz tone whose amplitude is amplitude(t).
template <typename Amplitude>
std::vector<ComplexSample> Tone(int n, double rate, Amplitude amplitude)
{
    std::vector<ComplexSample> x(n);
    for (int t = 0; t < n; ++t) {
        const double a = 2.0 * std::numbers::pi * 700.0 * t / rate;
        x[t] = {amplitude(t) * std::sin(a), amplitude(t) * std::cos(a)};
    }
    return x;
}

double Magnitude(const ComplexSample& s) { return std::hypot(s.re, s.im); }

// The levelling written plainly: the window's peak by scanning it whole every sample.
std::vector<ComplexSample> PlainAgc(const std::vector<ComplexSample>& x, const AgcSettings& s, double rate)
{
    const int delay = std::clamp(static_cast<int>(std::lround(s.attackMs * 0.001 * rate)), 1, 2047);
    const int window = delay + 1;
    const double attack = 1.0 - std::exp(-5.0 / delay);
    const double decay = 1.0 - std::exp(-1000.0 / (rate * s.decayMs));
    const int hangTime = static_cast<int>(s.hangMs * 0.001 * rate);
    const double knee = std::log10(0.7) - s.maxGainDb / 20.0;
    std::vector<ComplexSample> line(delay);
    std::vector<double> mags(window, -16.0);
    double average = -8.0;
    int hang = 0;
    std::vector<ComplexSample> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const ComplexSample d = line[i % delay];
        line[i % delay] = x[i];
        mags[i % window] =
            0.5 * std::log10(x[i].re * x[i].re + x[i].im * x[i].im + 0.00032767 * 0.00032767) - std::log10(32767.0);
        const double peak = std::max(*std::max_element(mags.begin(), mags.end()), -8.0);
        if (peak > average + 1e-9) {
            average += attack * (peak - average);
            hang = 0;
        } else if (peak >= average - 1e-9) {
            hang = 0;
        } else if (hang < hangTime) {
            ++hang;
        } else {
            average += decay * (peak - average);
        }
        const double gain = 0.7 * std::pow(10.0, -std::max(average, knee));
        y[i] = {d.im * gain, d.re * gain};
    }
    return y;
}

// Steps of +-20 dB for each choice's figures: the gain starts falling no
// earlier than the attack time before the onset reaches the output, settles
// with no overshoot above 1 dB, holds for the hang time once the level drops
// and recovers 63 % of the step (in dB) a decay time after the hang.
TEST(AGCObjectTest, StepsFollowTheAttackHangAndDecayOfEachSetting)
{
    struct Case {
        const char* name;
        double hangMs, decayMs;
    };
    for (const Case c : {Case{"fast", 100, 100}, Case{"medium", 250, 250}, Case{"slow", 500, 500},
                         Case{"long", 750, 2000}, Case{"no hang", 0, 200}}) {
        SCOPED_TRACE(c.name);
        const AgcSettings settings = Profile(c.hangMs, c.decayMs);
        const int onset = static_cast<int>(kRate);
        const int drop = 2 * onset;
        const int n = drop + static_cast<int>((c.hangMs + 3.0 * c.decayMs) * 0.001 * kRate);
        const double quiet = 300.0, loud = 3000.0;
        const auto x = Tone(n, kRate, [&](int t) { return t >= onset && t < drop ? loud : quiet; });
        auto agc = std::make_unique<AGCObject>();
        agc->SetParameters(settings, kRate);
        std::vector<ComplexSample> y(n);
        agc->ProcessComplexData(n, x.data(), y.data());

        const int delay = agc->delaySamples();
        const double attackSamples = settings.attackMs * 0.001 * kRate;
        EXPECT_NEAR(delay, attackSamples, 1.0);
        // Output t carries input t - delay.
        auto gainDb = [&](int t) { return 20.0 * std::log10(Magnitude(y[t]) / Magnitude(x[t - delay])); };
        const double quietGain = gainDb(onset + delay - static_cast<int>(1.5 * attackSamples));
        const double loudGain = gainDb(drop - 1);
        EXPECT_NEAR(quietGain - loudGain, 20.0, 0.1);
        EXPECT_NEAR(20.0 * std::log10(Magnitude(y[drop - 1]) / 32767.0), 20.0 * std::log10(0.7), 0.01);

        // Before the onset: at most 1 dB down earlier than 1.2 attack times ahead of it.
        for (int t = onset; t < onset + delay - static_cast<int>(1.2 * attackSamples); ++t)
            ASSERT_GT(gainDb(t), quietGain - 1.0) << t;
        // From the onset on: never more than 1 dB above the settled level.
        for (int t = onset + delay; t < drop; ++t)
            ASSERT_LT(Magnitude(y[t]), Magnitude(y[drop - 1]) * std::pow(10.0, 1.0 / 20.0)) << t;

        // After the drop: the gain holds through 0.8 of the hang...
        const int dropOut = drop + delay;
        const int hang = static_cast<int>(c.hangMs * 0.001 * kRate);
        for (int t = dropOut; t < dropOut + static_cast<int>(0.8 * hang); ++t)
            ASSERT_LT(gainDb(t), loudGain + 1.0) << t;
        // ...and has regained 63 % of the step a decay time after it, within 20 %.
        int recovered = dropOut;
        while (recovered < n - 1 && gainDb(recovered) < loudGain + 20.0 * (1.0 - std::exp(-1.0)))
            ++recovered;
        const double recoveredMs = (recovered - dropOut) * 1000.0 / kRate;
        EXPECT_NEAR(recoveredMs, c.hangMs + c.decayMs, 0.2 * (c.hangMs + c.decayMs));
    }
}

// With nothing but band noise the gain stops at the maximum: the noise comes
// out that much louder and no more.
TEST(AGCObjectTest, NoiseAloneStaysBelowTheMaximumGain)
{
    for (double maxGain : {40.0, 60.0}) {
        SCOPED_TRACE(maxGain);
        std::mt19937 rng(5);
        std::normal_distribution<double> noise(0.0, 2.0); // about -78 dBFS
        std::vector<ComplexSample> x(static_cast<size_t>(kRate) * 3);
        for (auto& s : x)
            s = {noise(rng), noise(rng)};
        auto agc = std::make_unique<AGCObject>();
        agc->SetParameters(Profile(500, 500, maxGain), kRate);
        std::vector<ComplexSample> y(x.size());
        agc->ProcessComplexData(static_cast<int>(x.size()), x.data(), y.data());
        double inPower = 0.0, outPower = 0.0;
        for (size_t t = static_cast<size_t>(kRate); t < x.size(); ++t) {
            inPower += x[t].re * x[t].re + x[t].im * x[t].im;
            outPower += y[t].re * y[t].re + y[t].im * y[t].im;
        }
        EXPECT_LE(10.0 * std::log10(outPower / inPower), maxGain + 0.01);
        EXPECT_NEAR(agc->lastGainDb(), maxGain, 0.01);
    }
}

TEST(AGCObjectTest, ManualGainWhenOffWithoutDelay)
{
    for (double manual : {0.0, 26.0, -6.0}) {
        auto agc = std::make_unique<AGCObject>();
        AgcSettings s;
        s.on = false;
        s.manualGainDb = manual;
        agc->SetParameters(s, kRate);
        EXPECT_EQ(agc->delaySamples(), 0);
        ComplexSample v{0.5, -0.25};
        agc->ProcessComplexData(1, &v, &v);
        const double gain = std::pow(10.0, manual / 20.0);
        EXPECT_DOUBLE_EQ(v.im, 0.5 * gain);
        EXPECT_DOUBLE_EQ(v.re, -0.25 * gain);
    }
}

// Bursts, silence and noise, against the plain form, fed in irregular pieces,
// at rates whose look-ahead is short, long or the whole ring.
TEST(AGCObjectTest, MatchesAPlainLevellingInIrregularPieces)
{
    struct Case {
        double rate, attackMs, hangMs;
    };
    for (const Case c : {Case{8000, 2, 100}, Case{31250, 2, 0}, Case{250000, 10, 50}}) {
        SCOPED_TRACE(c.rate);
        const int n = static_cast<int>(c.rate * 0.8);
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> noise(-3000.0, 3000.0);
        auto x = Tone(n, c.rate, [&](int t) { return (t / 997) % 2 ? 20000.0 : 30.0; });
        for (int t = 0; t < n; ++t) {
            if (t % 5000 < 1200)
                x[t] = {0.0, 12000.0};
            else if (t % 5000 < 1700)
                x[t] = {};
            else if (t % 5000 < 2500)
                x[t] = {noise(rng), noise(rng)};
        }
        AgcSettings s = Profile(c.hangMs, 150, 70);
        s.attackMs = c.attackMs;
        const auto expected = PlainAgc(x, s, c.rate);
        auto agc = std::make_unique<AGCObject>();
        agc->SetParameters(s, c.rate);
        std::vector<ComplexSample> y(x.size());
        const int pieces[] = {1, 255, 256, 257, 4000, 13};
        for (int at = 0, k = 0; at < n; ++k) {
            const int count = std::min(pieces[k % 6], n - at);
            agc->ProcessComplexData(count, x.data() + at, y.data() + at);
            at += count;
        }
        for (int t = 0; t < n; ++t) {
            ASSERT_NEAR(y[t].re, expected[t].re, 1e-9 * (std::fabs(expected[t].re) + 1.0)) << t;
            ASSERT_NEAR(y[t].im, expected[t].im, 1e-9 * (std::fabs(expected[t].im) + 1.0)) << t;
        }
    }
}

TEST(AGCObjectTest, OnlyANewRateClearsTheState)
{
    struct Case {
        double decayMs, rate;
        bool cleared;
    };
    for (const Case c : {Case{200, 20000, false}, Case{500, 20000, false}, Case{200, 24000, true}}) {
        SCOPED_TRACE(testing::Message() << c.decayMs << " ms at " << c.rate);
        auto agc = std::make_unique<AGCObject>();
        agc->SetParameters(Profile(0, 200), 20000);
        auto y = Tone(20000, 20000, [](int) { return 1000.0; });
        agc->ProcessComplexData(static_cast<int>(y.size()), y.data(), y.data());
        agc->SetParameters(Profile(0, c.decayMs), c.rate);
        ComplexSample s{1000.0, 1000.0};
        agc->ProcessComplexData(1, &s, &s);
        EXPECT_EQ(s.re == 0.0 && s.im == 0.0, c.cleared);
    }
}

TEST(AGCObjectTest, LevellingDoesNotAllocate)
{
    auto agc = std::make_unique<AGCObject>();
    agc->SetParameters(Profile(500, 500), 31250);
    auto x = Tone(31250, 31250, [](int t) { return t % 3000 < 1500 ? 20000.0 : 30.0; });
    AllocationCounter counter;
    agc->ProcessComplexData(static_cast<int>(x.size()), x.data(), x.data());
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
