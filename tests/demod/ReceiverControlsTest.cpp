#include "demod/ReceiverControls.h"

#include "DemodTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace demodtest;

namespace {

TEST(ReceiverControls, AutoKeepsTheModesOwnAgc)
{
    struct Case {
        int mode;
        AgcChoice choice;
        bool on;
        double hangMs, decayMs;
    };
    for (const Case c : {Case{kDemodAM, AgcChoice::Auto, true, 0, 200}, Case{kDemodSAM, AgcChoice::Auto, true, 0, 200},
                         Case{kDemodUSB, AgcChoice::Auto, true, 500, 500},
                         Case{kDemodCWL, AgcChoice::Auto, true, 500, 500},
                         Case{kDemodAM, AgcChoice::Fast, true, 100, 100},
                         Case{kDemodLSB, AgcChoice::Medium, true, 250, 250},
                         Case{kDemodAM, AgcChoice::Long, true, 750, 2000},
                         Case{kDemodUSB, AgcChoice::Off, false, 0, 200}}) {
        SCOPED_TRACE(testing::Message() << demodModeName(c.mode) << " " << agcChoiceName(c.choice));
        ReceiverControls controls;
        controls.agc = c.choice;
        controls.maxGainDb = 45.0;
        controls.manualGainDb = 12.0;
        const AgcSettings s = agcSettingsFor(controls, c.mode);
        EXPECT_EQ(s.on, c.on);
        EXPECT_EQ(s.attackMs, 2.0);
        EXPECT_EQ(s.hangMs, c.hangMs);
        EXPECT_EQ(s.decayMs, c.decayMs);
        EXPECT_EQ(s.maxGainDb, 45.0);
        EXPECT_EQ(s.manualGainDb, 12.0);
    }
}

TEST(ReceiverControls, NamesReadBackInAnyCase)
{
    for (int i = 0; i <= static_cast<int>(AgcChoice::Long); ++i) {
        const auto choice = static_cast<AgcChoice>(i);
        EXPECT_EQ(agcChoiceFromName(agcChoiceName(choice)), choice);
    }
    EXPECT_EQ(agcChoiceFromName("SLOW"), AgcChoice::Slow);
    EXPECT_FALSE(agcChoiceFromName("slowest"));
    EXPECT_EQ(deemphasisFromName("75"), Deemphasis::Us75);
    EXPECT_EQ(deemphasisFromName("Off"), Deemphasis::Off);
    EXPECT_FALSE(deemphasisFromName("50us"));
}

// Speech-like sideband audio: three tones under syllables of differing
// strength, 200 ms each (a 15 ms rise, a slow sag, a 40 ms fall) with 80 ms
// gaps, and a 600 ms breath after every six.
double syllables(double t)
{
    static const double strengths[] = {1.0, 0.6, 0.8, 0.45, 0.9, 0.7, 0.5, 1.0, 0.35, 0.75, 0.6, 0.9};
    const double phrase = 6 * 0.28 + 0.6;
    const double inPhrase = std::fmod(t, phrase);
    const int index = static_cast<int>(inPhrase / 0.28);
    const double u = inPhrase - index * 0.28;
    if (index >= 6 || u >= 0.2)
        return 0.0;
    const double rise = std::min(u / 0.015, 1.0);
    const double fall = std::min((0.2 - u) / 0.04, 1.0);
    const double sag = 1.0 - 0.4 * u / 0.2;
    return strengths[(index + 6 * static_cast<int>(t / phrase)) % 12] * rise * fall * sag;
}

constexpr double kVoiceHz[] = {450.0, 1130.0, 1870.0};

Signal sidebandSpeech(double amplitude)
{
    return [=](int64_t k, double rate) {
        const double t = static_cast<double>(k) / rate;
        const double e = amplitude * syllables(t);
        ComplexSample s;
        for (double f : kVoiceHz) {
            const double phase = kTwoPi * std::fmod(f * t, 1.0);
            s.im += e * std::cos(phase);
            s.re += e * std::sin(phase);
        }
        return s;
    };
}

// The largest correlation of the audio with the source, over the pipeline's
// offset either way (searched on every 8th sample, then refined) and whatever
// phase the detector gives the tones (the same for all).
double speechCorrelation(const std::vector<int16_t>& audio)
{
    constexpr int kFrom = 44100, kCount = 3 * 44100, kMaxLag = 6000;
    std::vector<double> cosines(kCount + 2 * kMaxLag), sines(kCount + 2 * kMaxLag);
    for (size_t i = 0; i < cosines.size(); ++i) {
        const double t = (static_cast<double>(kFrom - kMaxLag) + static_cast<double>(i)) / 44100.0;
        for (double f : kVoiceHz) {
            cosines[i] += syllables(t) * std::cos(kTwoPi * std::fmod(f * t, 1.0));
            sines[i] += syllables(t) * std::sin(kTwoPi * std::fmod(f * t, 1.0));
        }
    }
    // Audio sample kFrom + i against the source at kFrom + i - lag.
    auto correlation = [&](int lag, int stride) {
        double c = 0.0, s = 0.0, aa = 0.0, rr = 0.0;
        for (int i = 0; i < kCount; i += stride) {
            const double a = audio.at(static_cast<size_t>(kFrom + i));
            const size_t k = static_cast<size_t>(i + kMaxLag - lag);
            c += a * cosines[k];
            s += a * sines[k];
            aa += a * a;
            rr += 0.5 * (cosines[k] * cosines[k] + sines[k] * sines[k]);
        }
        return std::hypot(c, s) / std::sqrt(aa * rr);
    };
    int bestLag = 0;
    double coarse = 0.0;
    for (int lag = -kMaxLag; lag < kMaxLag; ++lag) {
        const double r = correlation(lag, 8);
        if (r > coarse) {
            coarse = r;
            bestLag = lag;
        }
    }
    double best = 0.0;
    for (int lag = std::max(bestLag - 8, -kMaxLag); lag < std::min(bestLag + 8, kMaxLag); ++lag)
        best = std::max(best, correlation(lag, 1));
    return best;
}

// Sideband speech keeps its syllables' own levels: with the AGC off it is the
// source, with Slow (hang) the gain holds across the gaps between syllables.
TEST(ReceiverControls, SidebandSpeechKeepsItsShape)
{
    struct Case {
        AgcChoice agc;
        double least;
    };
    for (const Case c : {Case{AgcChoice::Off, 0.99}, Case{AgcChoice::Slow, 0.95}, Case{AgcChoice::Auto, 0.95}}) {
        SCOPED_TRACE(agcChoiceName(c.agc));
        ReceiverControls controls;
        controls.agc = c.agc;
        controls.manualGainDb = 6.0;
        const auto audio = demodulateToAudio(sidebandSpeech(2000.0), 48000, 5, kDemodUSB, 7100.0, 7103.0, nullptr,
                                             controls);
        const double r = speechCorrelation(audio);
        std::printf("USB speech correlation, AGC %s: %.4f\n", agcChoiceName(c.agc), r);
        EXPECT_GE(r, c.least);
    }
}

} // namespace

namespace {

// Uniform noise of +-`amplitude` in each member, the same for every run.
Signal noise(double amplitude)
{
    return [=](int64_t k, double) {
        auto mix = [](uint64_t z) {
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-53 * 2.0 - 1.0;
        };
        const uint64_t u = static_cast<uint64_t>(k) * 2 + 0x9e3779b97f4a7c15ull;
        return ComplexSample{amplitude * mix(u), amplitude * mix(u + 1)};
    };
}

// The band's noise alone keeps the squelch shut; a carrier 10 dB over its
// level opens it within 50 ms, with the audio then as it is without squelch.
TEST(ReceiverControls, SquelchOpensOnACarrierAndStaysShutOnNoise)
{
    const double carrierDbm = 20.0 * std::log10(1000.0 / 32767.0) + 5.0; // in-band noise about 13 dB under
    const Signal keyed = [](int64_t k, double rate) {
        return k >= static_cast<int64_t>(rate) ? carrier(1000.0, 1000.0)(k, rate) : ComplexSample{};
    };
    const Signal signal = sum({noise(350.0), keyed});
    ReceiverControls open;
    ReceiverControls squelched;
    squelched.squelchDb = carrierDbm - 10.0;
    DemodulatorObject demod;
    const auto plain = demodulateToAudio(signal, 48000, 2, kDemodUSB, 7100.0, 7103.0, nullptr, open);
    const auto gated = demodulateToAudio(signal, 48000, 2, kDemodUSB, 7100.0, 7103.0, &demod, squelched);
    ASSERT_EQ(plain.size(), gated.size());
    EXPECT_TRUE(demod.status().squelchOpen);
    EXPECT_NEAR(demod.status().squelchLevel, carrierDbm, 0.5);

    // Where the tone starts in the audio: the first of it without noise.
    const auto clean = demodulateToAudio(keyed, 48000, 2, kDemodUSB, 7100.0, 7103.0, nullptr, open);
    const size_t onset = static_cast<size_t>(
        std::find_if(clean.begin(), clean.end(), [](int16_t v) { return std::abs(v) > 100; }) - clean.begin());
    ASSERT_LT(onset, clean.size());
    const size_t opened = static_cast<size_t>(
        std::find_if(gated.begin(), gated.end(), [](int16_t v) { return v != 0; }) - gated.begin());
    EXPECT_GE(opened + 441, onset);
    EXPECT_LT(static_cast<double>(opened - onset) / 44100.0, 0.05);
    // After the 5 ms fade (and the resampler's few taps) the audio is what it is without squelch.
    for (size_t i = opened + 331; i < gated.size(); ++i)
        ASSERT_NEAR(gated[i], plain[i], 1) << i;
}

} // namespace

namespace {

// The amplitude of the f Hz component of 44100 Hz audio over [from, from + n).
double toneAmplitude(const std::vector<int16_t>& audio, double f, size_t from, size_t n)
{
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double phase = kTwoPi * std::fmod(f * static_cast<double>(i) / 44100.0, 1.0);
        re += audio.at(from + i) * std::cos(phase);
        im += audio.at(from + i) * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(n);
}

double wfmToneDb(int32_t rate, double toneHz, double deviationHz, Deemphasis deemphasis)
{
    ReceiverControls controls;
    controls.wfmDeemphasis = deemphasis;
    const auto audio = demodulateToAudio(fmStation(0, 4000, toneHz, deviationHz), rate, 2, kDemodWFM, 7000, 7200,
                                         nullptr, controls);
    return 20.0 * std::log10(toneAmplitude(audio, toneHz, 44100, 22050) / 32767.0);
}

// Broadcast FM: the level is the deviation's at any rate, and de-emphasis
// follows the 50 and 75 us curves from 100 Hz to 12 kHz.
TEST(ReceiverControls, WfmLevelAndDeemphasis)
{
    const double at250k = wfmToneDb(250000, 1000.0, 75000.0, Deemphasis::Off);
    EXPECT_NEAR(at250k, 20.0 * std::log10(8000.0 * kTwoPi * 75000.0 / 250000.0 / 32767.0), 0.3);
    for (int32_t rate : {2000000, 10000000}) {
        SCOPED_TRACE(rate);
        EXPECT_NEAR(wfmToneDb(rate, 1000.0, 75000.0, Deemphasis::Off), at250k, 0.5);
    }
    for (const auto& [deemphasis, tau] : {std::pair{Deemphasis::Us50, 50e-6}, std::pair{Deemphasis::Us75, 75e-6}}) {
        for (double f : {100.0, 1000.0, 4000.0, 12000.0}) {
            SCOPED_TRACE(testing::Message() << tau * 1e6 << " us, " << f << " Hz");
            const double curve = -10.0 * std::log10(1.0 + std::pow(kTwoPi * f * tau, 2.0));
            const double flat = wfmToneDb(250000, f, 15000.0, Deemphasis::Off);
            EXPECT_NEAR(wfmToneDb(250000, f, 15000.0, deemphasis) - flat, curve, 0.5);
        }
    }
}

} // namespace

namespace {

double fmToneDb(int32_t rate, double toneHz, bool deemphasis)
{
    ReceiverControls controls;
    controls.fmDeemphasis = deemphasis;
    const auto audio = demodulateToAudio(fmStation(0, 4000, toneHz, 2000.0), rate, 2, kDemodFM, 7094, 7106,
                                         nullptr, controls);
    return 20.0 * std::log10(toneAmplitude(audio, toneHz, 44100, 22050) / 32767.0);
}

// Narrow FM: the voice band only (a sub-audible tone 30 dB down), the same
// level at any rate, and the 750 us curve, 1 kHz keeping its level.
TEST(ReceiverControls, NarrowFmVoiceBandAndDeemphasis)
{
    const double voice = fmToneDb(48000, 1000.0, false);
    EXPECT_NEAR(voice, 20.0 * std::log10(2000.0 * 50000.0 / 15000.0 / 32767.0), 0.5);
    EXPECT_NEAR(fmToneDb(250000, 1000.0, false), voice, 0.3);
    EXPECT_LT(fmToneDb(48000, 110.0, false), voice - 30.0);
    EXPECT_LT(fmToneDb(48000, 6000.0, false), voice - 30.0);
    for (double f : {400.0, 1000.0, 2000.0, 2800.0}) {
        SCOPED_TRACE(f);
        const double curve = 10.0 * std::log10((1.0 + std::pow(kTwoPi * 1000.0 * 750e-6, 2.0)) /
                                               (1.0 + std::pow(kTwoPi * f * 750e-6, 2.0)));
        EXPECT_NEAR(fmToneDb(48000, f, true) - fmToneDb(48000, f, false), curve, 0.5);
    }
}

} // namespace
