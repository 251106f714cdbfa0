#include "demod/Selection.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(Selection, FieldsArePlacedOnlyWhenAllFourAreNumbers)
{
    const Selection current{1, 2, 7000, 7010, 1.5};
    const struct {
        SelectionFields fields;
        std::optional<Selection> placed;
    } cases[] = {
        {{"10", "20", " 7052.000", " 7148.000", ""}, Selection{10, 20, 7052, 7148, 0}},
        {{" +5.9 ", "-3", "7148", "7052", "2.5"}, Selection{5, -3, 7148, 7052, 2.5}},
        {{"10", "20", "7052", "7148", "wide"}, Selection{10, 20, 7052, 7148, 1.5}},
        {{"1e10", "20", "7052", "7148", ""}, Selection{2147483647, 20, 7052, 7148, 0}},
        {{"", "20", "7052", "7148", ""}, std::nullopt},
        {{"10", "twenty", "7052", "7148", ""}, std::nullopt},
        {{"10", "20", "inf", "7148", ""}, std::nullopt},
        {{"10", "20", "7052", "7148 kHz", ""}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fields.startTime + " " + c.fields.endTime + " " + c.fields.lowFreq + " " + c.fields.highFreq +
                     " " + c.fields.pbt);
        const std::optional<Selection> placed = selectionFromFields(c.fields, current);
        ASSERT_EQ(placed.has_value(), c.placed.has_value());
        if (!placed)
            continue;
        EXPECT_EQ(placed->startSecond, c.placed->startSecond);
        EXPECT_EQ(placed->endSecond, c.placed->endSecond);
        EXPECT_DOUBLE_EQ(placed->lowKHz, c.placed->lowKHz);
        EXPECT_DOUBLE_EQ(placed->highKHz, c.placed->highKHz);
        EXPECT_DOUBLE_EQ(placed->pbtKHz, c.placed->pbtKHz);
    }
}

TEST(Selection, ARightClickChangesOnlyItsField)
{
    const Selection before{5, 50, 7050, 7150, 1};
    const struct {
        SelectionFieldChange change;
        Selection after;
    } cases[] = {
        {{SelectionField::StartTime, 42}, {42, 50, 7050, 7150, 1}},
        {{SelectionField::EndTime, 42}, {5, 42, 7050, 7150, 1}},
        {{SelectionField::LowFrequency, 7101}, {5, 50, 7101, 7150, 1}},
        {{SelectionField::HighFrequency, 7101}, {5, 50, 7050, 7101, 1}},
        {{SelectionField::None, 7101}, before},
    };
    for (const auto& c : cases) {
        const Selection after = withFieldChange(before, c.change);
        EXPECT_EQ(after.startSecond, c.after.startSecond);
        EXPECT_EQ(after.endSecond, c.after.endSecond);
        EXPECT_EQ(after.lowKHz, c.after.lowKHz);
        EXPECT_EQ(after.highKHz, c.after.highKHz);
        EXPECT_EQ(after.pbtKHz, c.after.pbtKHz);
    }
}

} // namespace
