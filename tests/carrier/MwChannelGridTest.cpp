#include "carrier/MwChannelGrid.h"

#include <gtest/gtest.h>

TEST(MwChannelGrid, ListsBothGridsOnceEach)
{
    const std::vector<int> channels = MwChannelGrid::setMwChannels();
    ASSERT_EQ(channels.size(), 239u);
    EXPECT_EQ(std::vector<int>(channels.begin(), channels.begin() + 7), (std::vector<int>{530, 531, 540, 549, 550, 558, 560}));
    EXPECT_EQ(std::vector<int>(channels.end() - 3, channels.end()), (std::vector<int>{1710, 1719, 1720}));
    EXPECT_TRUE(std::is_sorted(channels.begin(), channels.end()));
    EXPECT_EQ(std::adjacent_find(channels.begin(), channels.end()), channels.end());
}

TEST(MwChannelGrid, TakesTheChannelsStrictlyInsideTheBand)
{
    const std::vector<int> inside = MwChannelGrid::channelsInBand(1600000.0, 249999.0);
    ASSERT_EQ(inside.size(), 50u);
    EXPECT_EQ(inside.front(), 1476);
    EXPECT_EQ(inside.back(), 1720);

    // 992 to 1008 kHz: 1008 is an edge, not inside.
    EXPECT_EQ(MwChannelGrid::channelsInBand(1000000.0, 16000.0), (std::vector<int>{999, 1000}));
    EXPECT_TRUE(MwChannelGrid::channelsInBand(7100000.0, 250000.0).empty());
}
