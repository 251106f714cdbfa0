#include "dsp/DeemphasisFilter.h"

#include "support/ToneGain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <span>
#include <vector>

namespace {

// The filter's gain at f Hz, from its response to a long tone.
double measuredGainDb(double tau, double rate, double f)
{
    DeemphasisFilter filter;
    EXPECT_TRUE(filter.configure(tau, rate));
    return fixtures::toneGainDb([&](std::vector<double>& x) { filter.process(x, x); }, f, rate);
}

TEST(DeemphasisFilter, FollowsTheAnalogCurve)
{
    for (double rate : {62500.0, 78125.0, 100000.0}) {
        for (double tau : {50e-6, 75e-6, 750e-6}) {
            for (double f : {100.0, 1000.0, 3000.0, 6300.0, 12000.0}) {
                SCOPED_TRACE(testing::Message() << tau * 1e6 << " us at " << rate << " S/s, " << f << " Hz");
                const double analog = -10.0 * std::log10(1.0 + std::pow(2.0 * std::numbers::pi * f * tau, 2.0));
                EXPECT_NEAR(measuredGainDb(tau, rate, f), analog, 0.4);
            }
        }
    }
}

TEST(DeemphasisFilter, PiecesFilterAsOneBlockAndOffPassesUnchanged)
{
    std::vector<double> x(5000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::sin(0.013 * i * i) * 1000.0;
    DeemphasisFilter whole;
    ASSERT_TRUE(whole.configure(50e-6, 62500.0));
    std::vector<double> expected(x.size());
    whole.process(x, expected);
    DeemphasisFilter split;
    ASSERT_TRUE(split.configure(50e-6, 62500.0));
    std::vector<double> y(x.size());
    const int pieces[] = {1, 7, 256, 999, 3};
    for (int at = 0, k = 0; at < static_cast<int>(x.size()); ++k) {
        const int count = std::min(pieces[k % 5], static_cast<int>(x.size()) - at);
        split.process(std::span(x).subspan(at, count), std::span(y).subspan(at, count));
        at += count;
    }
    EXPECT_EQ(y, expected);

    DeemphasisFilter off;
    ASSERT_TRUE(off.configure(0.0, 62500.0));
    EXPECT_FALSE(off.active());
    off.process(x, y);
    EXPECT_EQ(y, x);
}

} // namespace
