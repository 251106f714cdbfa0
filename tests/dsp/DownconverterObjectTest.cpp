#include "dsp/DownconverterObject.h"
#include "dsp/HalfBandCoefficients.h"

#include "dsp/DecimationReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Stage of a chain as its tap count: 0 = CIC, 11 = the fixed 11-tap half-band.
std::vector<int> ChainTaps(const DownconverterObject& downconverter)
{
    std::vector<int> taps;
    for (int s = 0; s < downconverter.numStages(); ++s) {
        const FilterObject& stage = downconverter.stage(s);
        taps.push_back(stage.kind() == FilterKind::Cic3 ? 0 : stage.kind() == FilterKind::HalfBand11Tap ? 11 : stage.firLength());
    }
    return taps;
}

struct ChainCase {
    double inRate;
    double bandwidth;
    std::vector<int> taps;
    double outRate;
};

TEST(DownconverterObject, ChainForEachRateAndBandwidth)
{
    const ChainCase cases[] = {
        {2000000.0, 10000.0, {11, 11, 11, 15, 23, 51}, 31250.0},
        {192000.0, 10000.0, {19, 27}, 48000.0},
        {96000.0, 15000.0, {47}, 48000.0},
        {2000000.0, 100000.0, {19, 27}, 500000.0},
        {48000.0, 10000.0, {}, 48000.0},
        {7900.0, 10.0, {}, 7900.0},
        {2000000.0, 1000.0, {0, 0, 11, 11, 11, 11, 15, 19}, 7812.5},
        {1e12, 1.0, std::vector<int>(2, 0), 1e12 / 524288.0}, // checked below: capped at 19 stages
    };
    for (const ChainCase& c : cases) {
        DownconverterObject downconverter;
        EXPECT_EQ(downconverter.setDataRate(c.inRate, c.bandwidth), c.outRate) << c.inRate << " " << c.bandwidth;
        if (c.inRate == 1e12) {
            EXPECT_EQ(downconverter.numStages(), DownconverterObject::kMaxStages);
            continue;
        }
        EXPECT_EQ(ChainTaps(downconverter), c.taps) << c.inRate << " " << c.bandwidth;
    }
}

TEST(DownconverterObject, FirstRateCallBuildsWhicheverInitialiserMadeIt)
{
    // The defaults of the argument initialiser are 100 kHz and 10 kHz; asking for
    // exactly those must still build the chain.
    DownconverterObject withDefaults(0);
    EXPECT_EQ(withDefaults.setDataRate(100000.0, 10000.0), 50000.0);
    EXPECT_EQ(ChainTaps(withDefaults), std::vector<int>{27});

    DownconverterObject zeroed;
    EXPECT_EQ(zeroed.outputRate(), 0.0);
    EXPECT_EQ(zeroed.setDataRate(0.0, 0.0), 0.0);
    EXPECT_EQ(zeroed.numStages(), 0);
}

TEST(DownconverterObject, PipelineBlockGives312Samples)
{
    DownconverterObject downconverter;
    downconverter.setDataRate(2000000.0, 10000.0);
    downconverter.SetFrequency(-250000.0);
    std::vector<ComplexSample> block = reference::RandomSignal(19968, 1);
    EXPECT_EQ(downconverter.ProcessDataLength(19968, block.data(), block.data()), 312);
}

TEST(DownconverterObject, PhasorMagnitudeRingsThenSettles)
{
    // Tuned to 0 Hz with no stage, the output is the input scaled by the phasor's magnitude.
    DownconverterObject downconverter;
    downconverter.setDataRate(48000.0, 10000.0);
    downconverter.SetFrequency(0.0);
    std::vector<ComplexSample> block(2000, ComplexSample{0.0, 1.0});
    ASSERT_EQ(downconverter.ProcessDataLength(2000, block.data(), block.data()), 2000);
    const double ringing[] = {1.0, 0.95, 0.995125, 0.955048};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(block[k].re, ringing[k], 1e-6) << k;
        EXPECT_EQ(block[k].im, 0.0) << k;
    }
    EXPECT_NEAR(block[1999].re, std::sqrt(0.95), 1e-12);
}

// The downconverter against the per-sample oscillator recursion followed by the plain
// decimators, over a second of signal: the first samples after tuning (where the
// magnitude rings), a retuning halfway, and blocks of uneven lengths.
TEST(DownconverterObject, MatchesThePlainRecursionAndDecimators)
{
    struct Case {
        double rate, bandwidth, hz;
        std::vector<int> blocks;
    };
    const Case cases[] = {
        {48000.0, 10000.0, 7123.4, {4800, 1, 333, 2048}},
        {2000000.0, 10000.0, 123456.7, {19968}},
        {2000000.0, 10000.0, -777777.0, {19968, 3, 1024, 5001}},
        {192000.0, 10000.0, 30000.0, {1920, 17}},
    };
    for (const Case& c : cases) {
        const int total = static_cast<int>(c.rate);
        const std::vector<ComplexSample> signal = reference::RandomSignal(total, 21);

        std::vector<ComplexSample> mixed(total);
        reference::Oscillator oscillator(c.hz, c.rate);
        for (int i = 0; i < total; ++i) {
            if (i == total / 2)
                oscillator = reference::Oscillator(-c.hz / 3, c.rate);
            mixed[i] = oscillator.Mix(signal[i]);
        }

        // Both builds of the loops, whichever this machine runs by default.
        const reference::RestoreWideVectors restore;
        for (const bool wide : {true, false}) {
            SetWideVectorsEnabled(wide);
            DownconverterObject downconverter;
            downconverter.setDataRate(c.rate, c.bandwidth);
            downconverter.SetFrequency(c.hz);
            // The retuning falls at total / 2, between two calls.
            std::vector<ComplexSample> output;
            std::vector<ComplexSample> work;
            for (std::size_t pos = 0, b = 0; pos < signal.size(); ++b) {
                const std::size_t half = signal.size() / 2;
                std::size_t length = std::min<std::size_t>(c.blocks[b % c.blocks.size()], signal.size() - pos);
                if (pos < half && pos + length > half)
                    length = half - pos;
                if (pos == half)
                    downconverter.SetFrequency(-c.hz / 3);
                work.assign(signal.begin() + pos, signal.begin() + pos + length);
                const int m = downconverter.ProcessDataLength(static_cast<int>(length), work.data(), work.data());
                output.insert(output.end(), work.begin(), work.begin() + m);
                pos += length;
            }

            std::vector<ComplexSample> expected = mixed;
            for (int s = 0; s < downconverter.numStages(); ++s) {
                const FilterObject& stage = downconverter.stage(s);
                const int taps = stage.kind() == FilterKind::Cic3 ? 0 : stage.kind() == FilterKind::HalfBand11Tap ? 11 : stage.firLength();
                const double* set = taps == 11 ? reference::Tap11Set() : HalfBandCoefficients::TapsOfLength(taps);
                expected = reference::Decimate(expected, taps, set);
            }
            ASSERT_EQ(output.size(), expected.size()) << c.rate;
            EXPECT_LT(reference::RelativeError(output, expected), 1e-9) << c.rate << " " << c.hz << " wide " << wide;
            // The first samples after tuning, each on its own.
            for (int k = 0; k < 8 && downconverter.numStages() == 0; ++k) {
                EXPECT_NEAR(output[k].re, expected[k].re, 1e-9 * 30000) << k;
                EXPECT_NEAR(output[k].im, expected[k].im, 1e-9 * 30000) << k;
            }
        }
    }
}

TEST(DownconverterObject, SameRateKeepsTheHistoryAndNewRateStartsAfresh)
{
    const std::vector<ComplexSample> signal = reference::RandomSignal(8192, 8);
    DownconverterObject whole;
    whole.setDataRate(192000.0, 10000.0);
    whole.SetFrequency(1000.0);
    std::vector<ComplexSample> expected = signal;
    const int m = whole.ProcessDataLength(8192, expected.data(), expected.data());

    DownconverterObject split;
    split.setDataRate(192000.0, 10000.0);
    split.SetFrequency(1000.0);
    std::vector<ComplexSample> work = signal;
    int produced = split.ProcessDataLength(4096, work.data(), work.data());
    EXPECT_EQ(split.setDataRate(192000.0, 10000.0), 48000.0);
    produced += split.ProcessDataLength(4096, work.data() + 4096, work.data() + produced);
    ASSERT_EQ(produced, m);
    work.resize(m);
    expected.resize(m);
    EXPECT_LT(reference::RelativeError(work, expected), 1e-12);

    // A rebuilt chain starts from zero history: a silent block stays silent.
    split.setDataRate(96000.0, 15000.0);
    std::vector<ComplexSample> silence(512);
    split.ProcessDataLength(512, silence.data(), silence.data());
    for (int k = 0; k < 256; ++k)
        ASSERT_EQ(silence[k].re, 0.0);
}

TEST(DownconverterObject, ZeroedObjectIsSilentUntilTunedAndTuningBeforeARateIsFinite)
{
    DownconverterObject downconverter;
    std::vector<ComplexSample> block(100, ComplexSample{3.0, 4.0});
    EXPECT_EQ(downconverter.ProcessDataLength(100, block.data(), block.data()), 100);
    EXPECT_EQ(block[99].re, 0.0);

    downconverter.SetFrequency(1000.0); // no rate yet: no rotation, and no NaN
    block.assign(100, ComplexSample{3.0, 4.0});
    downconverter.ProcessDataLength(100, block.data(), block.data());
    EXPECT_EQ(block[0].re, 4.0);
    EXPECT_EQ(block[0].im, 3.0);
    EXPECT_TRUE(std::isfinite(block[99].re));
    EXPECT_EQ(downconverter.ProcessDataLength(0, block.data(), block.data()), 0);
}

} // namespace
