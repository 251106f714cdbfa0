#include "DemodTestSupport.h"

#include "common/SystemLog.h"
#include "common/UtcCalendar.h"
#include "demod/CarrierTextFile.h"
#include "support/RecordingFixtures.h"
#include "support/ThdPlusNoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

using namespace demodtest;

namespace {

class Quiet : public ::testing::Environment {
public:
    void SetUp() override { SetSystemLogEnabled(false); }
};
const auto* const quiet = ::testing::AddGlobalTestEnvironment(new Quiet);

struct ModeCase {
    const char* name;
    int mode;
    int32_t rate;
    Signal signal;
    double lowKHz, highKHz;
    double toneHz;
    double minShare;
    double unwantedHz; // 0: none
};

class DemodModes : public ::testing::TestWithParam<ModeCase> {};

} // namespace

// Each mode turns its kind of station into the modulating tone; the sideband
// modes also reject a tone of the same strength on the other side.
TEST_P(DemodModes, ProducesTheToneAtTheRightFrequency)
{
    const ModeCase& c = GetParam();
    const std::vector<int16_t> audio = demodulateToAudio(c.signal, c.rate, 2, c.mode, c.lowKHz, c.highKHz);
    // Short of two seconds by what waits in the band-pass and what its start
    // holds back (1024 samples each, at pipeline rates down to 7.9 kHz).
    ASSERT_GT(audio.size(), 2 * 44100u - 44100u / 3);
    EXPECT_LE(audio.size(), 2 * 44100u);
    const size_t from = 44100 / 2, n = 44100 / 2;
    EXPECT_GT(rms(audio, from, n), 1000.0);
    EXPECT_GT(toneShare(audio, 44100.0, c.toneHz, from, n), c.minShare);
    if (c.unwantedHz > 0.0) {
        EXPECT_LT(toneShare(audio, 44100.0, c.unwantedHz, from, n), 1e-4);
    }
}

// A demodulator nobody watches (a file run's) plays the same audio and
// measures nothing for views: no level, no carrier, no multiplex ring.
TEST_P(DemodModes, PlaysTheSameWhenNobodyWatches)
{
    const ModeCase& c = GetParam();
    DemodulatorObject watched;
    DemodulatorObject unwatched;
    unwatched.setShowsReadings(false);
    const auto expected = demodulateToAudio(c.signal, c.rate, 2, c.mode, c.lowKHz, c.highKHz, &watched);
    const auto audio = demodulateToAudio(c.signal, c.rate, 2, c.mode, c.lowKHz, c.highKHz, &unwatched);
    EXPECT_EQ(audio, expected);
    EXPECT_TRUE(watched.status().carrierPower.size() > 0);
    const DemodulatorStatus status = unwatched.status();
    EXPECT_TRUE(status.carrierPower.empty());
    EXPECT_TRUE(status.mpxRing.empty());
    EXPECT_EQ(status.sMeterAve, DemodulatorStatus{}.sMeterAve);
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, DemodModes,
    ::testing::Values(
        ModeCase{"AM", kDemodAM, 96000, amStation(10000, 4000, 1000, 0.5), 7105, 7115, 1000, 0.95, 0},
        ModeCase{"SAM", kDemodSAM, 96000, amStation(10000, 4000, 1000, 0.5), 7105, 7115, 1000, 0.95, 0},
        ModeCase{"FM", kDemodFM, 96000, fmStation(30000, 4000, 1000, 3000), 7124, 7136, 1000, 0.9, 0},
        ModeCase{"WFM", kDemodWFM, 192000, fmStation(0, 4000, 1000, 50000), 7010, 7190, 1000, 0.9, 0},
        ModeCase{"USB", kDemodUSB, 96000, sum({carrier(-19000, 2000), carrier(-21500, 2000)}), 7080, 7083, 1000,
                 0.95, 1500},
        ModeCase{"LSB", kDemodLSB, 96000, sum({carrier(19000, 2000), carrier(21500, 2000)}), 7117, 7120, 1000,
                 0.95, 1500},
        ModeCase{"CWU", kDemodCWU, 96000, carrier(-9300, 2000), 7090, 7091, 700, 0.95, 0},
        ModeCase{"CWL", kDemodCWL, 96000, carrier(-10700, 2000), 7089, 7090, 700, 0.95, 0}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// A clean tone keeps 16-bit quality through the whole path (mixer, decimators,
// band-pass, AGC, detector, resampler, rounding): the AGC's level alone
// limits a 16-bit tone to about -95 dB.
TEST(DemodulatorObject, ToneKeepsSixteenBitQualityThroughThePipeline)
{
    struct Case {
        int mode;
        int32_t rate;
        double carrierHz, lowKHz, highKHz;
    };
    for (const Case& c : {Case{kDemodUSB, 48000, -11000, 7088, 7091}, Case{kDemodUSB, 250000, -61000, 7038, 7041},
                          Case{kDemodLSB, 2000000, 151000, 7249, 7252}}) {
        SCOPED_TRACE(testing::Message() << demodModeName(c.mode) << " at " << c.rate);
        const std::vector<int16_t> audio =
            demodulateToAudio(carrier(c.carrierHz, 2000), c.rate, 3, c.mode, c.lowKHz, c.highKHz);
        ASSERT_GT(audio.size(), 2u * 44100u);
        const double db = thdPlusNoiseDb(audio.data() + 44100, 44100, 1000.0, 44100.0);
        RecordProperty("thdPlusNoiseDb", std::to_string(db));
        std::printf("THD+N %s at %d S/s: %.1f dB\n", demodModeName(c.mode), c.rate, db);
        EXPECT_LT(db, -94.5);
    }
}

TEST(DemodulatorObject, BlockLimitIsTenMillisecondsInWholeMultiplesOf256AndAtLeast256)
{
    const struct {
        double rate;
        int limit;
    } cases[] = {{2000000, 19968}, {48000, 256}, {24000, 256}, {8000, 256}};
    for (const auto& c : cases) {
        DemodulatorObject demod;
        demod.SetInputSampleRate(c.rate, 4000.0);
        EXPECT_EQ(demod.getInBufLimit(), c.limit) << c.rate;
    }
}

TEST(DemodulatorObject, BandEdgesFollowTheMode)
{
    const struct {
        int mode;
        double filter, pbt, low, high;
    } cases[] = {
        {kDemodUSB, 2400, 0, -2400, 0}, {kDemodLSB, 2400, 0, 0, 2400}, {kDemodAM, 5000, 500, -5500, 4500},
        {kDemodCWU, 800, 0, -800, 0},   {kDemodCWL, 800, 0, 0, 800},   {kDemodSAM, 3000, -200, -2800, 3200},
    };
    for (const auto& c : cases) {
        DemodulatorObject demod;
        demod.SetInputSampleRate(96000, 4000.0);
        EXPECT_TRUE(demod.SetDemodMode(c.mode, c.filter, c.pbt, c.filter));
        EXPECT_EQ(demod.getLowCutoff(), c.low) << c.mode;
        EXPECT_EQ(demod.getHighCutoff(), c.high) << c.mode;
    }
}

TEST(DemodulatorObject, FmAndWfmAskForTheirOwnBandwidth)
{
    for (double filter : {1000.0, 5000.0}) {
        DemodulatorObject demod;
        demod.SetInputSampleRate(2000000, 4000.0);
        demod.SetDemodMode(kDemodFM, filter, 0, filter);
        EXPECT_EQ(demod.getOutputRate(), 62500.0);
        demod.SetDemodMode(kDemodWFM, filter, 0, filter);
        EXPECT_EQ(demod.getOutputRate(), 500000.0);
        demod.SetDemodMode(kDemodAM, filter, 0, filter);
        EXPECT_EQ(demod.getOutputRate(), DemodulatorObject::pipelineRateFor(kDemodAM, 2000000, filter));
    }
}

TEST(DemodulatorObject, WfmBuildsADecimatorForEachHalvingAboveTheAudioRate)
{
    const struct {
        double inputRate;
        bool f1, f2, f3;
        double wfmRate;
    } cases[] = {{2000000, true, true, true, 62500},
                 {300000, false, true, true, 75000},
                 {180000, false, false, true, 90000},
                 {100000, false, false, false, 100000}};
    for (const auto& c : cases) {
        DemodulatorObject demod;
        demod.SetInputSampleRate(c.inputRate, 4000.0);
        demod.SetDemodMode(kDemodWFM, 40000, 0, 40000);
        EXPECT_EQ(demod.hasWfmFilter(0), c.f1) << c.inputRate;
        EXPECT_EQ(demod.hasWfmFilter(1), c.f2) << c.inputRate;
        EXPECT_EQ(demod.hasWfmFilter(2), c.f3) << c.inputRate;
        EXPECT_EQ(demod.getWfmOutputRate(), c.wfmRate) << c.inputRate;
    }
}

// The measured carrier is the strongest line of the band, on the right side
// of the tuned frequency, to within one bin.
TEST(DemodulatorObject, CarrierMeasurementFindsTheCarrierWithinOneBin)
{
    for (double offsetFromTuning : {300.0, -300.0, 0.0}) {
        DemodulatorObject demod;
        demodulateToAudio(amStation(10000 + offsetFromTuning, 3000, 1000, 0.3), 96000, 3, kDemodAM, 7105, 7115,
                          &demod);
        const DemodulatorStatus status = demod.status();
        EXPECT_EQ(status.carrierRate, 24000.0);
        ASSERT_EQ(status.carrierPower.size(), 32768u);
        EXPECT_EQ(status.carrierPower[status.carrierPeakBin], status.carrierPeakPower);
        EXPECT_NEAR(status.carrierFreqKHz * 1000.0, kCenterHz + 10000 + offsetFromTuning, 24000.0 / 32768.0)
            << offsetFromTuning;
    }
}

// A second without signal has no strongest bin: it reads the tuned frequency,
// not the carrier of the seconds before, and keeps the last peak for the view.
TEST(DemodulatorObject, SilentSecondReadsTheTunedFrequency)
{
    const Signal carrierThenSilence = [c = carrier(10300, 3000)](int64_t k, double rate) {
        return k < 2 * static_cast<int64_t>(rate) ? c(k, rate) : ComplexSample{};
    };
    DemodulatorObject demod;
    demodulateToAudio(carrierThenSilence, 96000, 5, kDemodAM, 7105, 7115, &demod);
    const DemodulatorStatus status = demod.status();
    EXPECT_EQ(status.carrierFreqKHz, (kCenterHz + 10000) * 0.001);
    EXPECT_NE(status.carrierPeakBin, 0);
    EXPECT_GT(status.carrierPeakPower, 0.0);
    ASSERT_EQ(status.carrierPower.size(), 32768u);
    EXPECT_TRUE(std::all_of(status.carrierPower.begin(), status.carrierPower.end(), [](double p) { return p == 0.0; }));
}

TEST(DemodulatorObject, PlaybackSendsPipelineRateAudioToTheSoundOutput)
{
    RecordingAudioOutput sound;
    DemodulatorObject demod(&sound);
    DemodSetup setup = DemodSetup::fromFields(selection(0, 2, 7105, 7115), kDemodAM, recordingAt(96000, 2));
    ASSERT_TRUE(setup.configure(demod));
    DemodSecondFeeder feeder(source(amStation(10000, 4000, 1000, 0.5), 96000, 2), 96000);
    for (int s = 0; s < 2; ++s)
        EXPECT_EQ(feeder.feedSecond(demod, s, nullptr), 0);
    EXPECT_FALSE(sound.noOutput);
    EXPECT_EQ(sound.lastRate, 24000.0);
    ASSERT_GT(sound.samples.size(), 40000u);
    EXPECT_GT(toneShare(sound.samples, 24000.0, 1000.0, 24000, 12000), 0.95);
    EXPECT_GT(demod.status().sMeterAve, -60.0);
}

TEST(DemodulatorObject, ModeNoneSilencesTheOutputAndDropsTheInput)
{
    RecordingAudioOutput sound;
    DemodulatorObject demod(&sound);
    DemodSetup setup = DemodSetup::fromFields(selection(0, 1, 7105, 7115), kDemodNone, recordingAt(96000, 1));
    EXPECT_TRUE(setup.configure(demod));
    DemodSecondFeeder feeder(source(amStation(10000, 4000, 1000, 0.5), 96000, 1), 96000);
    std::vector<int16_t> out(200000);
    EXPECT_EQ(feeder.feedSecond(demod, 0, out.data()), 0);
    EXPECT_TRUE(sound.noOutput);
    EXPECT_TRUE(sound.samples.empty());
    EXPECT_EQ(demod.status().sMeterAve, 0.0);
}

// Below 25,600 S/s the block formula gives 0: a half-band stage would then see
// one sample at a time and never produce any.
TEST(DemodulatorObject, SlowRecordingWithAHalfBandStageStillPlays)
{
    const std::vector<int16_t> audio = demodulateToAudio(amStation(0, 4000, 500, 0.5), 24000, 2, kDemodAM, 7099, 7101);
    ASSERT_GT(audio.size(), 72000u);
    EXPECT_GT(toneShare(audio, 44100.0, 500.0, 22050, 22050), 0.9);
}

// With the loop gains of the pipeline rate, the FM loop is unstable below about
// 30 kHz and sticks at full scale after the AGC's start even somewhat above.
TEST(DemodulatorObject, SlowFmPipelinesFollowTheModulation)
{
    for (int32_t rate : {16000, 24000, 32000}) {
        for (double deviation : {1500.0, 3000.0}) {
            const std::vector<int16_t> audio =
                demodulateToAudio(fmStation(2000, 4000, 400, deviation), rate, 2, kDemodFM, 7098, 7106);
            ASSERT_GT(audio.size(), 80000u);
            EXPECT_GT(toneShare(audio, 44100.0, 400.0, 22050, 22050), 0.95) << rate << " " << deviation;
            // 15 kHz of deviation reads 50000, whatever the rate.
            const double expectedRms = 50000.0 / 15000.0 * deviation / std::sqrt(2.0);
            EXPECT_NEAR(rms(audio, 22050, 22050), expectedRms, 0.05 * expectedRms) << rate << " " << deviation;
        }
    }
}

// Samples left over from a recording at another rate must not start the next.
TEST(DemodulatorObject, ChangingTheInputRateDropsThePartialBlock)
{
    DemodulatorObject demod;
    DemodSetup first = DemodSetup::fromFields(selection(0, 1, 7095, 7105), kDemodAM, recordingAt(48000, 1));
    first.configure(demod);
    std::vector<ComplexSample> loud(100, ComplexSample{20000.0, -20000.0});
    std::vector<int16_t> out(400000);
    EXPECT_EQ(demod.ProcessData(loud.data(), 100, out.data()), 0);

    DemodSetup second = DemodSetup::fromFields(selection(0, 1, 7095, 7105), kDemodAM, recordingAt(96000, 1));
    second.configure(demod);
    std::vector<ComplexSample> silence(96000);
    const int n = demod.ProcessData(silence.data(), 96000, out.data());
    ASSERT_GT(n, 30000);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + n, [](int16_t v) { return v == 0; }));
}

// A band that cannot be filtered is refused, and what plays is silence, not
// the provisional band nor NaN from a design of zero width.
TEST(DemodulatorObject, RefusedBandPlaysSilence)
{
    const struct {
        int mode;
        double low, high;
    } cases[] = {{kDemodAM, 7110, 7110}, {kDemodUSB, 7110, 7110}};
    for (const auto& c : cases) {
        DemodulatorObject demod;
        DemodSetup setup = DemodSetup::fromFields(selection(0, 2, c.low, c.high), c.mode, recordingAt(48000, 2));
        ASSERT_TRUE(setup.ok());
        EXPECT_FALSE(setup.configure(demod));
        EXPECT_FALSE(setup.bandMessage().empty());
        DemodSecondFeeder feeder(source(amStation(10000, 4000, 1000, 0.5), 48000, 2), 48000);
        std::vector<int16_t> out(static_cast<size_t>(demod.maxOutputSamples(48000)));
        for (int s = 0; s < 2; ++s) {
            const int n = feeder.feedSecond(demod, s, out.data());
            EXPECT_GT(n, 25000);
            EXPECT_TRUE(std::all_of(out.begin(), out.begin() + n, [](int16_t v) { return v == 0; }));
        }
    }
}

TEST(DemodulatorObject, CarrierLogAppendsAStampedLinePerMeasurement)
{
    fixtures::TempDir dir;
    const std::string documents = dir.path + "/Documents";
    CarrierTextFile carrierLog(documents);
    DemodulatorObject demod;
    demod.setCarrierLog(&carrierLog);
    DemodSetup setup = DemodSetup::fromFields(selection(0, 3, 7105, 7115), kDemodAM,
                                              recordingAt(96000, 3, UtcCalendar::toUnix(2026, 12, 5, 16, 39, 35)));
    setup.configure(demod);
    DemodSecondFeeder feeder(source(carrier(10000, 3000), 96000, 3), 96000);
    std::vector<int16_t> out(static_cast<size_t>(demod.maxOutputSamples(96000)));
    for (int s = 0; s < 3; ++s)
        feeder.feedSecond(demod, s, out.data());

    std::ifstream in(documents + "/carrier.txt");
    // "DATE TIME",kHz,average,peak with six decimals each; stamped one second
    // after the second that completed the measurement.
    const auto sixDecimals = [](const std::string& field) {
        const size_t point = field.find('.');
        return point != std::string::npos && field.size() - point == 7 &&
               field.find_first_not_of("-0123456789.") == std::string::npos;
    };
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        ASSERT_GE(line.size(), 38u) << line;
        EXPECT_EQ(line.substr(0, 20), "\"05-Dec-2026 16:39:3") << line;
        EXPECT_TRUE(line[20] >= '6' && line[20] <= '8') << line;
        EXPECT_EQ(line.substr(21, 14), "\",7110.000000,") << line;
        const std::string levels = line.substr(35);
        const size_t comma = levels.find(',');
        ASSERT_NE(comma, std::string::npos) << line;
        EXPECT_TRUE(sixDecimals(levels.substr(0, comma))) << line;
        EXPECT_TRUE(sixDecimals(levels.substr(comma + 1))) << line;
    }
    EXPECT_GE(lines, 2);
}

// The multiplex view reads the undecimated discriminator output from the ring
// (the start-up transient aside).
TEST(DemodulatorObject, WfmFillsTheMultiplexRingAtThePipelineRate)
{
    DemodulatorObject demod;
    demodulateToAudio(fmStation(0, 4000, 1000, 50000), 192000, 1, kDemodWFM, 7010, 7190, &demod);
    const DemodulatorStatus status = demod.status();
    EXPECT_EQ(status.mpxRate, 192000.0);
    ASSERT_EQ(status.mpxRing.size(), size_t(DemodulatorObject::kMpxRingSize));
    EXPECT_EQ(status.mpxRingPos % 1024, 0);
    EXPECT_GT(status.mpxRingPos, 192000 - 2 * 1024 - demod.getInBufLimit());
    double peak = 0.0;
    for (int i = status.mpxRingPos / 2; i < status.mpxRingPos; ++i)
        peak = std::max(peak, std::abs(status.mpxRing[i]));
    // 50 kHz of deviation reads as at 250 kS/s, whatever the rate: a phase step
    // of 2 pi 50000 / 250000 per sample, times 8000.
    EXPECT_NEAR(peak, 8000.0 * 2.0 * std::numbers::pi * 50000.0 / 250000.0, 300.0);
}

namespace {

double peakOf(const std::vector<int16_t>& x, size_t from, size_t n)
{
    double peak = 0.0;
    for (size_t i = from; i < std::min(x.size(), from + n); ++i)
        peak = std::max(peak, std::abs(double(x[i])));
    return peak;
}

struct StartCase {
    const char* name;
    int mode;
    int32_t rate;
    Signal signal;
    double lowKHz, highKHz;
};

class DemodStarts : public ::testing::TestWithParam<StartCase> {};

} // namespace

// The first 100 ms of a play: no sample 6 dB above the steady level, and once
// the audio has begun no gap in it. The second play on the same demodulator
// must not hear the end of the first.
TEST_P(DemodStarts, StartWithoutClickOrGap)
{
    const StartCase& c = GetParam();
    DemodulatorObject demod;
    for (int play = 0; play < 2; ++play) {
        const std::vector<int16_t> audio = demodulateToAudio(c.signal, c.rate, 2, c.mode, c.lowKHz, c.highKHz, &demod);
        ASSERT_GT(audio.size(), 66150u);
        const double steady = peakOf(audio, 44100, 22050);
        ASSERT_GT(steady, 3000.0);
        size_t onset = 0;
        while (onset < audio.size() && std::abs(audio[onset]) < 0.1 * steady)
            ++onset;
        EXPECT_LT(onset, 4410u) << "play " << play;
        EXPECT_LE(peakOf(audio, 0, onset + 4410), 2.0 * steady) << "play " << play << " steady " << steady;
        size_t run = 0, longest = 0;
        for (size_t i = onset; i < onset + 4410; ++i) {
            run = std::abs(audio[i]) < 0.02 * steady ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        EXPECT_LE(longest, 44u) << "play " << play;
        int clipped = 0;
        for (size_t i = 0; i < onset + 4410; ++i)
            clipped += std::abs(audio[i]) >= 32767;
        EXPECT_EQ(clipped, 0) << "play " << play;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, DemodStarts,
    ::testing::Values(StartCase{"AM", kDemodAM, 96000, amStation(10000, 4000, 1000, 0.5), 7105, 7115},
                      StartCase{"SAM", kDemodSAM, 96000, amStation(10000, 4000, 1000, 0.5), 7105, 7115},
                      StartCase{"FM", kDemodFM, 96000, fmStation(30000, 4000, 1000, 3000), 7124, 7136},
                      StartCase{"FM250k", kDemodFM, 250000, fmStation(30000, 4000, 1000, 3000), 7124, 7136},
                      StartCase{"WFM", kDemodWFM, 250000, fmStation(0, 4000, 1000, 50000), 7010, 7190},
                      StartCase{"USB", kDemodUSB, 96000, carrier(-19000, 2000), 7080, 7083},
                      StartCase{"CWL", kDemodCWL, 96000, carrier(-10700, 2000), 7089, 7090}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// A broadcast multiplex: the programme at 50 kHz deviation and the stereo
// pilot at 7.5 kHz. The mono audio must keep the pilot 50 dB below the
// programme, whatever rate the decimators leave the audio filter.
TEST(DemodulatorObject, WfmKeepsTheStereoPilotOutOfTheAudio)
{
    const Signal multiplex = [](int64_t k, double rate) {
        const double t = static_cast<double>(k) / rate;
        const double phase = 50000.0 / 1000.0 * std::sin(kTwoPi * std::fmod(1000.0 * t, 1.0)) +
                             7500.0 / 19000.0 * std::sin(kTwoPi * std::fmod(19000.0 * t, 1.0));
        return ComplexSample{4000.0 * std::cos(phase), 4000.0 * std::sin(phase)};
    };
    for (int32_t rate : {192000, 250000, 2000000}) {
        const std::vector<int16_t> audio = demodulateToAudio(multiplex, rate, 1, kDemodWFM, 7010, 7190);
        ASSERT_GT(audio.size(), 33075u) << rate;
        const double programme = toneShare(audio, 44100.0, 1000.0, 11025, 22050);
        const double pilot = toneShare(audio, 44100.0, 19000.0, 11025, 22050);
        EXPECT_GT(programme, 0.9) << rate;
        EXPECT_LT(10.0 * std::log10(pilot / programme), -50.0) << rate;
    }
}
