#include "dsp/FilterObject.h"
#include "dsp/HalfBandCoefficients.h"
#include "support/QuietLog.h"

#include "dsp/DecimationReference.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>

namespace {

// taps: 0 = CIC, 11 = the fixed 11-tap half-band, else a half-band set.
struct StageKind {
    int taps;
};

std::string KindName(const testing::TestParamInfo<StageKind>& info)
{
    return info.param.taps == 0 ? "Cic" : info.param.taps == 11 ? "Tap11" : "HalfBand" + std::to_string(info.param.taps);
}

std::unique_ptr<FilterObject> MakeStage(int taps)
{
    if (taps == 0)
        return std::make_unique<FilterObject>(FilterKind::Cic3);
    if (taps == 11)
        return std::make_unique<FilterObject>(FilterKind::HalfBand11Tap);
    return std::make_unique<FilterObject>(FilterKind::HalfBand, taps, HalfBandCoefficients::TapsOfLength(taps));
}

const double* ReferenceTaps(int taps)
{
    return taps == 11 ? reference::Tap11Set() : HalfBandCoefficients::TapsOfLength(taps);
}

// Feeds the signal in pieces of the given lengths (cycled), in place, and gathers the outputs.
std::vector<ComplexSample> FeedInPieces(FilterObject& stage, std::vector<ComplexSample> signal,
                                        const std::vector<int>& pieces)
{
    std::vector<ComplexSample> output;
    std::size_t pos = 0;
    for (std::size_t p = 0; pos < signal.size(); ++p) {
        const int length = std::min<int>(pieces[p % pieces.size()], static_cast<int>(signal.size() - pos));
        ComplexSample* block = signal.data() + pos;
        const int produced = stage.ApplyFilterLength(length, block, block);
        output.insert(output.end(), block, block + produced);
        pos += length;
    }
    return output;
}

class StageKindTest : public testing::TestWithParam<StageKind> {};

TEST_P(StageKindTest, ConstantInputComesOutAtUnitGain)
{
    auto stage = MakeStage(GetParam().taps);
    std::vector<ComplexSample> block(256, ComplexSample{1.0, -2.0});
    const int produced = stage->ApplyFilterLength(256, block.data(), block.data());
    ASSERT_EQ(produced, 128);
    for (int k = 30; k < produced; ++k) {
        // The printed tables sum to 1 within 1.04e-7.
        EXPECT_NEAR(block[k].im, 1.0, 1.1e-7) << k;
        EXPECT_NEAR(block[k].re, -2.0, 2.2e-7) << k;
    }
}

// One long call against the same samples in pieces of every awkward kind: odd
// lengths that move the even/odd phase, single samples, pieces shorter than the
// stage, and long blocks.
TEST_P(StageKindTest, PiecesGiveTheOutputOfOneLongCall)
{
    const int taps = GetParam().taps;
    const std::vector<ComplexSample> signal = reference::RandomSignal(75001, 11);
    const std::vector<ComplexSample> expected = reference::Decimate(signal, taps, ReferenceTaps(taps));

    const std::vector<std::vector<int>> splits = {
        {75001}, {4096}, {1}, {2}, {3, 1, 2}, {17, 18, 19, 5}, {1001, 7, 30000, 33000}, {40000, 9}, {14, 13},
    };
    // Both builds of the loops, whichever this machine runs by default.
    const reference::RestoreWideVectors restore;
    for (const bool wide : {true, false}) {
        SetWideVectorsEnabled(wide);
        for (const auto& pieces : splits) {
            auto stage = MakeStage(taps);
            const std::vector<ComplexSample> output = FeedInPieces(*stage, signal, pieces);
            ASSERT_EQ(output.size(), expected.size()) << "first piece " << pieces[0];
            EXPECT_LT(reference::RelativeError(output, expected), 1e-14)
                << "first piece " << pieces[0] << " wide " << wide;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, StageKindTest,
                         testing::Values(StageKind{0}, StageKind{11}, StageKind{15}, StageKind{19}, StageKind{23},
                                         StageKind{27}, StageKind{31}, StageKind{35}, StageKind{39}, StageKind{43},
                                         StageKind{47}, StageKind{51}),
                         KindName);

TEST(HalfBandCoefficients, EverySetIsAHalfBandSummingToOne)
{
    for (int length = 15; length <= 51; length += 4) {
        const double* taps = HalfBandCoefficients::TapsOfLength(length);
        ASSERT_NE(taps, nullptr) << length;
        EXPECT_NEAR(std::accumulate(taps, taps + length, 0.0), 1.0, 1.1e-7) << length;
        EXPECT_EQ(taps[(length - 1) / 2], 0.5);
        for (int i = 0; i < length; ++i) {
            EXPECT_EQ(taps[i], taps[length - 1 - i]) << length << " tap " << i;
            if (i % 2 == 1 && i != (length - 1) / 2) {
                EXPECT_EQ(taps[i], 0.0) << length << " tap " << i;
            }
        }
    }
    EXPECT_EQ(HalfBandCoefficients::TapsOfLength(17), nullptr);
}

TEST(FilterObject, HalfBandCountsAndFirstOutputs)
{
    const std::vector<ComplexSample> signal = reference::RandomSignal(40, 3);

    // A block shorter than the stage still returns n/2, and now the outputs are real.
    FilterObject halfBand(FilterKind::HalfBand, 15, HalfBandCoefficients::Taps15.data());
    std::vector<ComplexSample> block(signal.begin(), signal.begin() + 14);
    EXPECT_EQ(halfBand.ApplyFilterLength(14, block.data(), block.data()), 7);
    const auto expected15 = reference::Decimate({signal.begin(), signal.begin() + 14}, 15,
                                                HalfBandCoefficients::Taps15.data());
    EXPECT_LT(reference::RelativeError({block.begin(), block.begin() + 7}, expected15), 1e-15);

    // The 11-tap stage at its smallest in-place block fills outputs 0 ... 8.
    FilterObject tap11(FilterKind::HalfBand11Tap);
    block.assign(signal.begin(), signal.begin() + 18);
    EXPECT_EQ(tap11.ApplyFilterLength(18, block.data(), block.data()), 9);
    const auto expected11 = reference::Decimate({signal.begin(), signal.begin() + 18}, 11, reference::Tap11Set());
    EXPECT_LT(reference::RelativeError({block.begin(), block.begin() + 9}, expected11), 1e-15);

    // The CIC's first output of a fresh stage is (3 in[0] + in[1]) / 8.
    FilterObject cic(FilterKind::Cic3);
    block.assign(signal.begin(), signal.begin() + 4);
    EXPECT_EQ(cic.ApplyFilterLength(4, block.data(), block.data()), 2);
    EXPECT_DOUBLE_EQ(block[0].re, (3 * signal[0].re + signal[1].re) / 8);
    EXPECT_DOUBLE_EQ(block[0].im, (3 * signal[0].im + signal[1].im) / 8);
}

TEST(FilterObject, OddBlocksCarryTheirPhase)
{
    // Half-bands emit at even stream positions: a first odd block gives ceil(n/2),
    // the next starts on an odd position. The CIC holds the unpaired sample over.
    const std::vector<ComplexSample> signal = reference::RandomSignal(8, 5);
    std::vector<ComplexSample> out(8);
    FilterObject halfBand(FilterKind::HalfBand, 19, HalfBandCoefficients::Taps19.data());
    EXPECT_EQ(halfBand.ApplyFilterLength(5, signal.data(), out.data()), 3);
    EXPECT_EQ(halfBand.ApplyFilterLength(3, signal.data() + 5, out.data()), 1);
    FilterObject cic(FilterKind::Cic3);
    EXPECT_EQ(cic.ApplyFilterLength(5, signal.data(), out.data()), 2);
    EXPECT_EQ(cic.ApplyFilterLength(3, signal.data() + 5, out.data()), 2);
}

TEST(FilterObject, RealHalfBandMatchesTheComplexOne)
{
    // The real variant is the same filter on one member; fed in uneven pieces in
    // place, on both builds, for short, long and longer-than-stock sets.
    reference::RestoreWideVectors restore;
    std::vector<double> longSet(59, 0.0);
    for (int i = 0; i < 59; i += 2)
        longSet[i] = longSet[58 - i] = 0.01 * (i + 1) * (i % 4 == 0 ? 1.0 : -1.0);
    longSet[29] = 0.5;
    const std::vector<ComplexSample> signal = reference::RandomSignal(5000, 9);
    for (const bool wide : {false, true}) {
        SetWideVectorsEnabled(wide);
        for (const int taps : {15, 23, 47, 51, 59}) {
            SCOPED_TRACE(testing::Message() << taps << " taps, wide " << wide);
            const double* set = taps == 59 ? longSet.data() : HalfBandCoefficients::TapsOfLength(taps);
            const auto expected = reference::Decimate(signal, taps, set);
            FilterObject stage(FilterKind::HalfBand, taps, set);
            std::vector<double> real(signal.size());
            for (std::size_t i = 0; i < signal.size(); ++i)
                real[i] = signal[i].re;
            std::vector<double> output;
            const int pieces[] = {3, 46, 1, 1000, 250, 777};
            for (std::size_t pos = 0, p = 0; pos < real.size(); ++p) {
                const int length = std::min<int>(pieces[p % 6], static_cast<int>(real.size() - pos));
                const int produced =
                    stage.CHalfBandDecimateBy2LengthReal(length, real.data() + pos, real.data() + pos);
                output.insert(output.end(), real.begin() + pos, real.begin() + pos + produced);
                pos += length;
            }
            ASSERT_EQ(output.size(), expected.size());
            for (std::size_t k = 0; k < output.size(); ++k)
                ASSERT_NEAR(output[k], expected[k].re, 1e-10) << k;
        }
    }
}

TEST(FilterObject, StagesThatCannotRunReturnZero)
{
    QuietLog quiet;
    std::vector<ComplexSample> block(64);
    FilterObject unknown(static_cast<FilterKind>(7));
    EXPECT_EQ(unknown.ApplyFilterLength(64, block.data(), block.data()), 0);
    FilterObject noTaps(FilterKind::HalfBand);
    EXPECT_EQ(noTaps.ApplyFilterLength(64, block.data(), block.data()), 0);
    const double evenLength[4] = {0.25, 0.25, 0.25, 0.25};
    FilterObject badSet(FilterKind::HalfBand, 4, evenLength);
    EXPECT_EQ(badSet.ApplyFilterLength(64, block.data(), block.data()), 0);
    FilterObject halfBand(FilterKind::HalfBand, 15, HalfBandCoefficients::Taps15.data());
    EXPECT_EQ(halfBand.ApplyFilterLength(0, block.data(), block.data()), 0);
    EXPECT_EQ(halfBand.ApplyFilterLength(-4, block.data(), block.data()), 0);
}

} // namespace
