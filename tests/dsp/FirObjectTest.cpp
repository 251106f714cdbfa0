#include "dsp/FirObject.h"
#include "dsp/SampleVector.h"

#include <gtest/gtest.h>

#include <iterator>
#include <numeric>
#include <random>
#include <vector>

namespace {

TEST(FirObject, KaiserDesignOfTheWideFmLowPass)
{
    FirObject fir;
    EXPECT_NEAR(FirObject::kaiserBeta(50.0), 4.550158, 1e-9);
    EXPECT_EQ(fir.InitLPFilterScale(1.0, 50.0, 15000.0, 21000.0, 100000.0), 49);
    EXPECT_EQ(fir.numTaps(), 49);
    const double* taps = fir.taps();
    EXPECT_NEAR(std::accumulate(taps, taps + 49, 0.0), 1.0, 0.01);
    for (int i = 0; i < 49; ++i)
        EXPECT_DOUBLE_EQ(taps[i], taps[48 - i]);
}

TEST(FirObject, BetaBreakPoints)
{
    EXPECT_EQ(FirObject::kaiserBeta(20.0), 0.0);
    EXPECT_EQ(FirObject::kaiserBeta(20.95), 0.0);
    EXPECT_NEAR(FirObject::kaiserBeta(30.0), 0.5842 * std::pow(9.04, 0.4) + 0.07886 * 9.04, 1e-12);
    EXPECT_NEAR(FirObject::kaiserBeta(60.0), 0.1102 * 51.29, 1e-12);
}

struct TapCountCase {
    double astop, fpass, fstop, rate;
    int taps;
};

TEST(FirObject, TapCountIsLimitedToThreeAndOneHundredTwentyFive)
{
    const TapCountCase cases[] = {
        {50.0, 3000.0, 3100.0, 31250.0, 125},  // narrow transition
        {50.0, 0.0, 31000.0, 31250.0, 3},      // very wide one: 3.95 taps
        {50.0, 3000.0, 3000.0, 31250.0, 125},  // no transition at all
        {50.0, 3000.0, 2000.0, 31250.0, 3},    // edges the wrong way round
        {20.0, 2000.0, 4000.0, 31250.0, 14},   // 12 / 0.9188530 + 1
        {5.0, 3000.0, 3000.0, 31250.0, 3},     // below 8 dB with no transition: -inf
        {5.0, 3000.0, 3000.000001, 31250.0, 3}, // beyond the range of int
        {8.0, 3000.0, 3000.0, 31250.0, 125},   // 0 / 0
    };
    for (const TapCountCase& c : cases) {
        FirObject fir;
        EXPECT_EQ(fir.InitLPFilterScale(1.0, c.astop, c.fpass, c.fstop, c.rate), c.taps) << c.fpass << " " << c.fstop;
    }
}

TEST(FirObject, RectangularWindowAtLowAttenuation)
{
    // beta 0: the taps are the plain truncated sinc.
    FirObject fir;
    const int n = fir.InitLPFilterScale(2.0, 20.0, 2000.0, 4000.0, 31250.0);
    const double fc = 6000.0 / 31250.0;
    for (int i = 0; i < n; ++i) {
        const double m = i - (n - 1) / 2.0;
        const double ideal = m == 0 ? fc : std::sin(M_PI * fc * m) / (M_PI * m);
        EXPECT_NEAR(fir.taps()[i], 2.0 * ideal, 1e-15) << i;
    }
}

TEST(FirObject, ImpulseResponseIsTheTapsThenZeros)
{
    FirObject fir;
    const int n = fir.InitLPFilterScale(1.0, 50.0, 15000.0, 21000.0, 100000.0);
    std::vector<double> block(n + 10, 0.0);
    block[0] = 1.0;
    fir.ProcessFilterReal(static_cast<int>(block.size()), block.data(), block.data());
    for (int i = 0; i < n; ++i)
        EXPECT_DOUBLE_EQ(block[i], fir.taps()[i]) << i;
    for (int i = n; i < n + 10; ++i)
        EXPECT_EQ(block[i], 0.0) << i;
}

// Both builds of the loops, tap counts from the shortest to the longest and around
// the vector widths, calls shorter and longer than a group and than a chunk: one long
// call follows the plain convolution y[t] = sum h[k] x[t-k], and the same signal in
// irregular pieces, filtered in place, gives exactly its output.
TEST(FirObject, PiecesGiveTheOutputOfOneLongCall)
{
    std::mt19937 generator(4);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> signal(3000);
    for (double& v : signal)
        v = uniform(generator);
    const int lengths[] = {1, 7, 0, 126, 1000, 2, 31, 33, 255, 256, 257, 513, 3};

    for (const bool wide : {true, false}) {
        SetWideVectorsEnabled(wide);
        for (const int taps : {3, 4, 5, 8, 17, 18, 33, 49, 64, 65, 124, 125}) {
            SCOPED_TRACE(testing::Message() << taps << " taps, wide " << wide);
            FirObject whole;
            FirObject pieces;
            const double width = 31250.0 * 42.0 / (14.357078426905355 * (taps - 0.5));
            ASSERT_EQ(whole.InitLPFilterScale(1.0, 50.0, 2000.0, 2000.0 + width, 31250.0), taps);
            pieces.InitLPFilterScale(1.0, 50.0, 2000.0, 2000.0 + width, 31250.0);

            std::vector<double> expected(signal.size());
            whole.ProcessFilterReal(static_cast<int>(signal.size()), signal.data(), expected.data());
            for (int t = 0; t < static_cast<int>(signal.size()); ++t) {
                double y = 0.0;
                for (int k = 0; k < taps && k <= t; ++k)
                    y += whole.taps()[k] * signal[t - k];
                ASSERT_NEAR(expected[t], y, 1e-14) << "at " << t;
            }

            std::vector<double> inPlace = signal;
            for (std::size_t pos = 0, p = 0; pos < inPlace.size(); ++p) {
                const int length =
                    std::min<int>(lengths[p % std::size(lengths)], static_cast<int>(inPlace.size() - pos));
                pieces.ProcessFilterReal(length, inPlace.data() + pos, inPlace.data() + pos);
                pos += length;
            }
            EXPECT_EQ(inPlace, expected);
        }
    }
    SetWideVectorsEnabled(true);
}

TEST(FirObject, UndesignedFilterIsSilentAndNewDesignClearsTheLine)
{
    FirObject fir;
    std::vector<double> block(20, 5.0);
    fir.ProcessFilterReal(20, block.data(), block.data());
    EXPECT_EQ(block, std::vector<double>(20, 0.0));

    fir.InitLPFilterScale(1.0, 50.0, 15000.0, 21000.0, 100000.0);
    block.assign(100, 1.0);
    fir.ProcessFilterReal(100, block.data(), block.data());
    fir.InitLPFilterScale(1.0, 50.0, 15000.0, 21000.0, 100000.0);
    block.assign(5, 0.0);
    fir.ProcessFilterReal(5, block.data(), block.data());
    EXPECT_EQ(block, std::vector<double>(5, 0.0));
}

} // namespace
