#include "waterfall/WaterfallColorTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

struct RampCase {
    int level;
    int red, green, blue;
};

TEST(WaterfallColorTable, RampRunsFromBlackToRedWithBlue)
{
    const RampCase cases[] = {
        {0, 0, 0, 0},        {100, 0, 0, 148},    {171, 0, 0, 253},    {172, 0, 0, 255},
        {250, 0, 115, 255},  {347, 0, 255, 255},  {348, 0, 255, 255},  {400, 0, 255, 151},
        {479, 0, 255, 0},    {480, 0, 255, 0},    {550, 135, 255, 0},  {615, 255, 255, 0},
        {616, 255, 255, 0},  {700, 255, 168, 0},  {867, 255, 0, 0},    {868, 255, 0, 0},
        {1000, 255, 0, 111}, {1023, 255, 0, 130},
    };
    const WaterfallColorTable table;
    for (const RampCase& c : cases) {
        const WaterfallColor color = table.Entry(c.level);
        EXPECT_EQ(color.red, c.red) << "level " << c.level;
        EXPECT_EQ(color.green, c.green) << "level " << c.level;
        EXPECT_EQ(color.blue, c.blue) << "level " << c.level;
    }
}

struct RowCase {
    int screenLevel;
    bool inColor;
    int red, green, blue;
};

TEST(WaterfallColorTable, PaintsScreenLevelsStrongestAtZero)
{
    const RowCase cases[] = {
        {0, true, 255, 0, 130},        // strongest
        {-5, true, 255, 0, 130},       // above the top is limited to the strongest
        {INT_MIN, true, 255, 0, 130},
        {1023, true, 0, 0, 0},         // weakest
        {5000, true, 0, 0, 0},
        {INT_MAX, true, 0, 0, 0},
        {0, false, 255, 255, 255},     // grey: level 1023 / 4
        {1020, false, 0, 0, 0},        // grey: level 3 / 4
        {1019, false, 1, 1, 1},
        {523, false, 125, 125, 125},
    };
    const WaterfallColorTable table;
    for (const RowCase& c : cases) {
        std::uint8_t pixel[4] = {9, 9, 9, 9};
        EXPECT_EQ(table.PaintRow(1, &c.screenLevel, c.inColor, pixel), 1);
        EXPECT_EQ(pixel[0], c.red) << c.screenLevel << (c.inColor ? " colour" : " grey");
        EXPECT_EQ(pixel[1], c.green) << c.screenLevel;
        EXPECT_EQ(pixel[2], c.blue) << c.screenLevel;
        EXPECT_EQ(pixel[3], 255) << c.screenLevel;
    }
}

TEST(WaterfallColorTable, PaintsInPlace)
{
    const WaterfallColorTable table;
    std::vector<int> row = {0, 1023, 511, 0};
    const std::vector<int> original = row;
    std::vector<std::uint8_t> separate(4 * row.size());
    table.PaintRow(int(row.size()), row.data(), true, separate.data());
    table.PaintRow(int(row.size()), row.data(), true, reinterpret_cast<std::uint8_t*>(row.data()));
    EXPECT_EQ(0, std::memcmp(row.data(), separate.data(), separate.size()));
}

} // namespace
