#include "waterfall/WaterfallLevels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

TEST(WaterfallLevels, RangeRunsFromTheNoiseFloorToTheStrongestSignal)
{
    WaterfallLevels levels;
    EXPECT_FALSE(levels.suggest());

    // Noise spread over -105 .. -95 dB in 1000 columns, one carrier at -42.3 dB.
    std::vector<double> line(1000);
    for (size_t i = 0; i < line.size(); ++i)
        line[i] = -105.0 + 10.0 * static_cast<double>(i % 100) / 100.0;
    line[500] = -42.3;
    line[501] = std::numeric_limits<double>::quiet_NaN();
    for (int n = 0; n < 5; ++n)
        levels.add(line.data(), static_cast<int>(line.size()));
    EXPECT_EQ(levels.count(), 5 * 999);
    const auto range = levels.suggest();
    ASSERT_TRUE(range);
    EXPECT_EQ(range->minDb, -103); // the level a fifth of the columns lie below
    EXPECT_EQ(range->maxDb, -42);

    // Plain noise still gets a usable range; levels beyond the counted span
    // count at its ends.
    levels.clear();
    const std::vector<double> flat(100, -500.0);
    levels.add(flat.data(), static_cast<int>(flat.size()));
    EXPECT_EQ(levels.suggest()->minDb, -300);
    EXPECT_EQ(levels.suggest()->maxDb, -300 + WaterfallLevels::kNarrowestDb);
}
