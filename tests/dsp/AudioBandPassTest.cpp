#include "dsp/AudioBandPass.h"

#include "support/ToneGain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <span>
#include <vector>

namespace {

double gainDb(double f, double rate)
{
    AudioBandPass filter;
    EXPECT_TRUE(filter.configure(300.0, 3000.0, rate));
    return fixtures::toneGainDb([&](std::vector<double>& x) { filter.process(x, x); }, f, rate);
}

TEST(AudioBandPass, ButterworthEdgesAndSkirts)
{
    struct Case {
        double hz, db, tolerance;
    };
    for (double rate : {48000.0, 62500.0}) {
        for (const Case c : {Case{300, -3.01, 0.1}, Case{3000, -3.01, 0.1}, Case{1000, 0, 0.05}}) {
            SCOPED_TRACE(testing::Message() << c.hz << " Hz at " << rate);
            EXPECT_NEAR(gainDb(c.hz, rate), c.db, c.tolerance);
        }
        // An octave outside, at least 35.5 dB down (the warped upper skirt more).
        EXPECT_LT(gainDb(150.0, rate), -35.5);
        EXPECT_LT(gainDb(6000.0, rate), -35.5);
    }
}

TEST(AudioBandPass, PiecesFilterAsOneBlock)
{
    std::vector<double> x(6000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::sin(0.011 * i * i) * 1000.0;
    AudioBandPass whole, split;
    ASSERT_TRUE(whole.configure(300.0, 3000.0, 48000.0));
    ASSERT_TRUE(split.configure(300.0, 3000.0, 48000.0));
    std::vector<double> expected(x.size()), y(x.size());
    whole.process(x, expected);
    const int pieces[] = {1, 255, 2, 1024, 77};
    for (int at = 0, k = 0; at < static_cast<int>(x.size()); ++k) {
        const int count = std::min(pieces[k % 5], static_cast<int>(x.size()) - at);
        split.process(std::span(x).subspan(at, count), std::span(y).subspan(at, count));
        at += count;
    }
    EXPECT_EQ(y, expected);
}

} // namespace
