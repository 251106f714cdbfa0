#include "dsp/SMeter.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<ComplexSample> Level(int n, double dBFS)
{
    return std::vector<ComplexSample>(n, ComplexSample{0.0, 32767.0 * std::pow(10.0, dBFS / 20.0)});
}

TEST(SMeterTest, CoefficientsFollowTheRate)
{
    SMeter meter;
    const ComplexSample s{};
    meter.ProcessDataLength(1, &s, 20000);
    EXPECT_DOUBLE_EQ(meter.attackAlpha(), 1.0 - std::exp(-0.005));
    EXPECT_DOUBLE_EQ(meter.decayAlpha(), 1.0 - std::exp(-0.0001));
}

TEST(SMeterTest, PeakIsTheStrongestSampleSinceTheLastRead)
{
    SMeter meter;
    meter.GetPeak();
    const ComplexSample samples[] = {{0.0, 3276.7}, {100.0, 0.0}};
    meter.ProcessDataLength(2, samples, 20000);
    EXPECT_NEAR(meter.GetPeak(), -15.0, 1e-9);
    EXPECT_DOUBLE_EQ(meter.GetPeak(), -994.0);
}

TEST(SMeterTest, AverageAttacksInTenAndDecaysInFiveHundredMilliseconds)
{
    const double rate = 20000;
    SMeter meter;
    auto feed = [&](double dBFS, double seconds) {
        const auto x = Level(static_cast<int>(seconds * rate), dBFS);
        meter.ProcessDataLength(static_cast<int>(x.size()), x.data(), rate);
    };
    feed(-60.0, 5.0);
    EXPECT_NEAR(meter.GetAve(), -55.0, 0.01);
    feed(0.0, 0.02); // two attack time constants
    EXPECT_NEAR(meter.GetAve(), 5.0 - 60.0 * std::exp(-2.0), 0.05);
    feed(0.0, 1.0);
    EXPECT_NEAR(meter.GetAve(), 5.0, 0.01);
    feed(-60.0, 0.5); // one decay time constant
    EXPECT_NEAR(meter.GetAve(), 5.0 - 60.0 * (1.0 - std::exp(-1.0)), 0.05);
}

TEST(SMeterTest, MeteringDoesNotAllocate)
{
    SMeter meter;
    const auto x = Level(31250, -30.0);
    AllocationCounter counter;
    meter.ProcessDataLength(31250, x.data(), 31250);
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
