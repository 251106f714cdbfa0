#include "waterfall/WaterfallAxes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> textsOf(const std::vector<WaterfallAxes::Tick>& ticks)
{
    std::vector<std::string> texts;
    for (const auto& tick : ticks)
        texts.push_back(tick.text);
    return texts;
}

TEST(WaterfallAxes, FrequencyTicksFallOnRoundValuesInUnitsThatFit)
{
    const struct {
        double lowKHz, highKHz, pixels;
        std::vector<std::string> texts;
    } cases[] = {
        {7004.0, 7196.0, 1024, {"7020", "7040", "7060", "7080", "7100", "7120", "7140", "7160", "7180 kHz"}},
        {99000.0, 101000.0, 1000, {"99.0", "99.2", "99.4", "99.6", "99.8", "100.0", "100.2", "100.4", "100.6",
                                   "100.8", "101.0 MHz"}},
        {7099.9, 7100.1, 1000, {"7099.90", "7099.92", "7099.94", "7099.96", "7099.98", "7100.00", "7100.02",
                                "7100.04", "7100.06", "7100.08", "7100.10 kHz"}},
        {-1.0, 1.0, 400, {"-1000", "-500", "0", "500", "1000 Hz"}},
    };
    for (const auto& c : cases) {
        const auto ticks = WaterfallAxes::frequencyTicks(c.lowKHz, c.highKHz, c.pixels, 80);
        EXPECT_EQ(textsOf(ticks), c.texts) << c.lowKHz;
        for (size_t k = 1; k < ticks.size(); ++k)
            EXPECT_GE(ticks[k].position - ticks[k - 1].position, 80 - 1e-9);
    }
    const auto ticks = WaterfallAxes::frequencyTicks(7004.0, 7196.0, 1024, 80);
    EXPECT_NEAR(ticks[4].position, 512.0, 1e-9) << "7100 kHz in the middle";
    EXPECT_TRUE(WaterfallAxes::frequencyTicks(7100.0, 7100.0, 1024, 80).empty());
}

TEST(WaterfallAxes, TimeTicksInRecordingTimeOrUtc)
{
    EXPECT_EQ(textsOf(WaterfallAxes::timeTicks(0, 3600, 600, 50, std::nullopt)),
              (std::vector<std::string>{"0:00:00", "0:05:00", "0:10:00", "0:15:00", "0:20:00", "0:25:00", "0:30:00",
                                        "0:35:00", "0:40:00", "0:45:00", "0:50:00", "0:55:00", "1:00:00"}));
    // Started 03:04:05 UTC: ticks on round minutes of the day.
    const auto utc = WaterfallAxes::timeTicks(0, 120, 600, 100, 1388631845);
    EXPECT_EQ(textsOf(utc), (std::vector<std::string>{"03:04:30", "03:05:00", "03:05:30", "03:06:00"}));
    EXPECT_NEAR(utc[0].position, 25 * 5.0, 1e-9);
    EXPECT_TRUE(WaterfallAxes::timeTicks(0, 0, 600, 50, std::nullopt).empty());
}

TEST(WaterfallAxes, ReadoutNamesFrequencyTimeAndLevel)
{
    EXPECT_EQ(WaterfallAxes::readout(7112.0004, 65.7, std::nullopt, -84.25), "7112.000 kHz   0:01:05   -84.2 dB");
    EXPECT_EQ(WaterfallAxes::readout(7100.25, 65.7, 1388631845, std::nullopt),
              "7100.250 kHz   0:01:05  03:05:10 UTC");
    EXPECT_EQ(WaterfallAxes::recordingTime(90061), "25:01:01");
}

} // namespace
