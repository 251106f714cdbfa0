#include "carrier/CarrierPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(CarrierPicture, LevelsBecomeScreenValuesWithinTheRange)
{
    const float levels[] = {-120.0f, -40.0f, -80.0f, -200.0f, 0.0f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()};
    int screen[7] = {};
    EXPECT_EQ(CarrierPicture::process(7, levels, -120.0, -40.0, screen), 7);
    EXPECT_EQ(screen[0], 1023);
    EXPECT_EQ(screen[1], 0);
    EXPECT_EQ(screen[2], 511);
    EXPECT_GT(screen[3], 1023); // limited by the painter
    EXPECT_LT(screen[4], 0);
    EXPECT_EQ(screen[5], 1023);
    EXPECT_EQ(screen[6], 1023);

    // No range: a step at minDb instead of a division by zero.
    CarrierPicture::process(2, levels, -80.0, -80.0, screen);
    EXPECT_EQ(screen[0], 1023);
    EXPECT_EQ(screen[1], 0);
}

TEST(CarrierPicture, FrequencyMarksEveryFourPercentOfTheSpan)
{
    const auto wide = CarrierPicture::frequencyMarks(100.0);
    ASSERT_EQ(wide.size(), 51u);
    const int firstX[] = {0, 40, 81, 122};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(wide[static_cast<size_t>(i)].x, firstX[i]);
    EXPECT_EQ(wide[1].hertz, -96);
    EXPECT_EQ(wide[49].x, 2007);
    EXPECT_EQ(wide[50].x, 2048);
    EXPECT_EQ(wide[50].hertz, 100);

    // 0.4 Hz steps accumulate short of +10: 50 marks, the last at about 9.6 Hz.
    const auto narrow = CarrierPicture::frequencyMarks(10.0);
    ASSERT_EQ(narrow.size(), 50u);
    EXPECT_EQ(narrow.back().x, 2007);
    EXPECT_EQ(narrow.back().hertz, 9);
    EXPECT_EQ(narrow[1].hertz, -9);

    EXPECT_TRUE(CarrierPicture::frequencyMarks(0.0).empty());
    EXPECT_TRUE(CarrierPicture::frequencyMarks(-5.0).empty());
}

TEST(CarrierPicture, HourMarksCountThirtySecondRowsFromTheHour)
{
    const int32_t twelveTwentyTen = 1765023610; // 2025-12-06 12:20:10 UTC
    const auto marks = CarrierPicture::hourMarks(twelveTwentyTen);
    ASSERT_EQ(marks.size(), 50u);
    EXPECT_EQ(marks[0].captionRow, -40);
    EXPECT_EQ(marks[0].caption, "1200");
    EXPECT_EQ(marks[0].lineRow, 80);
    EXPECT_EQ(marks[1].captionRow, 80);
    EXPECT_EQ(marks[1].caption, "1300");
    EXPECT_EQ(marks[12].caption, "0000");
}
