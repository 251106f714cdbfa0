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

// A level in hundredths of a dB lands in the bin its value in dB lands in,
// on the bins' edges and beyond both ends too.
TEST(WaterfallLevels, HundredthsOfADbCountAsTheSameLevelsInDb)
{
    WaterfallLevels fromDb;
    WaterfallLevels fromCentiDb;
    for (int c = -30100; c <= 10100; ++c) {
        const int16_t centiDb = static_cast<int16_t>(c);
        const double dB = 0.01 * c;
        fromDb.clear();
        fromCentiDb.clear();
        fromDb.add(&dB, 1);
        fromCentiDb.addCentiDb(&centiDb, 1);
        ASSERT_EQ(fromCentiDb.levelBelow(0.0), fromDb.levelBelow(0.0)) << c;
        ASSERT_EQ(fromCentiDb.suggest()->maxDb, fromDb.suggest()->maxDb) << c;
    }
    const std::vector<int16_t> row = {-22000, -9000, -9001, -32768, 32767, -4230};
    std::vector<double> dB;
    for (int16_t c : row)
        dB.push_back(0.01 * c);
    fromDb.clear();
    fromCentiDb.clear();
    fromDb.add(dB.data(), static_cast<int>(dB.size()));
    fromCentiDb.addCentiDb(row.data(), static_cast<int>(row.size()));
    EXPECT_EQ(fromCentiDb.count(), 6);
    for (double share : {0.0, 0.2, 0.4, 0.6, 0.8, 0.99})
        EXPECT_EQ(fromCentiDb.levelBelow(share), fromDb.levelBelow(share)) << share;
    EXPECT_EQ(fromCentiDb.suggest()->minDb, fromDb.suggest()->minDb);
    EXPECT_EQ(fromCentiDb.suggest()->maxDb, fromDb.suggest()->maxDb);
}
