#include "recording/SelectionRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(SelectionRules, NormalizesFftSize)
{
    const struct {
        double stored;
        int size;
    } cases[] = {
        {0, 8192},      {3000, 4096},   {500, 1024},      {100000, 65536}, {1024, 1024},
        {1025, 2048},   {65536, 65536}, {-1, 1024},       {-1e300, 1024},  {1e300, 65536},
        {std::numeric_limits<double>::infinity(), 65536}, {std::nan(""), 8192},
        {4294967296.0 + 3000, 65536},   // would wrap to 3000 in 32 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeFftSize(c.stored), c.size) << c.stored;
}

TEST(SelectionRules, DbRangeDefaultsOnlyWhenBothAreZero)
{
    const struct {
        double storedMin, storedMax;
        int minDb, maxDb;
    } cases[] = {
        {0, 0, -110, -80},  {-120, 0, -120, 0}, {0, -70, 0, -70},  {-100.9, -60.2, -100, -60},
        {0.4, -0.7, -110, -80}, {1e300, -1e300, 1000, -1000}, {std::nan(""), -50, 0, -50},
    };
    for (const auto& c : cases) {
        const DbRange range = DbRangeFromPreferences(c.storedMin, c.storedMax);
        EXPECT_EQ(range.minDb, c.minDb) << c.storedMin << " " << c.storedMax;
        EXPECT_EQ(range.maxDb, c.maxDb) << c.storedMin << " " << c.storedMax;
    }
}

TEST(SelectionRules, RefusesRangesThatWouldDivideByZero)
{
    EXPECT_EQ(DbRangeProblem(-110, -80), nullptr);
    EXPECT_NE(DbRangeProblem(-80, -80), nullptr);
    EXPECT_NE(DbRangeProblem(-70, -80), nullptr);
    EXPECT_NE(DbRangeProblem(std::nan(""), -80), nullptr);
    EXPECT_EQ(BandwidthProblem(2e6), nullptr);
    EXPECT_NE(BandwidthProblem(0), nullptr);
    EXPECT_NE(BandwidthProblem(-1), nullptr);
}

TEST(SelectionRules, RightClickSetsOneFieldForExactCombinations)
{
    const unsigned shift = kShiftKey, control = kControlKey, option = kOptionKey, command = kCommandKey;
    const struct {
        unsigned modifiers;
        SelectionField field;
        int value;
    } cases[] = {
        {shift, SelectionField::StartTime, 42},
        {control, SelectionField::EndTime, 42},
        {option, SelectionField::LowFrequency, 7101},  // 7100.6 rounded
        {command, SelectionField::HighFrequency, 7101},
        {shift | option, SelectionField::StartTime, 0},
        {shift | command, SelectionField::EndTime, 3600},
        {shift | 0x100u, SelectionField::StartTime, 42},  // keys other than the four do not count
        {0, SelectionField::None, 0},
        {shift | control, SelectionField::None, 0},
        {control | option, SelectionField::None, 0},
        {option | command, SelectionField::None, 0},
        {shift | option | command, SelectionField::None, 0},
        {shift | control | option | command, SelectionField::None, 0},
    };
    for (const auto& c : cases) {
        const SelectionFieldChange change = RightClickFieldChange(7100.6f, 42.9f, c.modifiers, 3600);
        EXPECT_EQ(change.field, c.field) << "modifiers " << c.modifiers;
        if (c.field != SelectionField::None) {
            EXPECT_EQ(change.value, c.value) << "modifiers " << c.modifiers;
        }
    }
}

TEST(SelectionRules, DragGivesTheSameSelectionInEveryDirection)
{
    const WaterfallBand band{192.0, 7100.0, 1024};
    const struct {
        double ax, ay, cx, cy;
    } drags[] = {
        {256, 10.5, 768, 20.2}, {768, 20.2, 256, 10.5}, {256, 20.2, 768, 10.5}, {768, 10.5, 256, 20.2},
    };
    for (const auto& d : drags) {
        const WaterfallSelection s = SelectionFromDrag(d.ax, d.ay, d.cx, d.cy, 60, band);
        EXPECT_EQ(s.startSecond, 10);
        EXPECT_EQ(s.endSecond, 20);
        EXPECT_DOUBLE_EQ(s.lowKHz, 7052.0);
        EXPECT_DOUBLE_EQ(s.highKHz, 7148.0);
    }
}

TEST(SelectionRules, DragBeyondTheViewStopsAtItsEdges)
{
    const WaterfallBand band{192.0, 7100.0, 1024};
    const WaterfallSelection s = SelectionFromDrag(-50, -3, 2000, 900, 60, band);
    EXPECT_EQ(s.startSecond, 0);
    EXPECT_EQ(s.endSecond, 60);
    EXPECT_DOUBLE_EQ(s.lowKHz, 7004.0);
    EXPECT_DOUBLE_EQ(s.highKHz, 7196.0);
}

TEST(SelectionRules, ColumnsAndFrequenciesAreInverse)
{
    const WaterfallBand band{2000.0, 1000.0, 1024};
    for (double x : {0.0, 1.0, 511.5, 1024.0})
        EXPECT_NEAR(*ColumnAtFrequency(FrequencyAtColumn(x, band), band), x, 1e-9);
    EXPECT_FALSE(ColumnAtFrequency(1000.0, WaterfallBand{0.0, 1000.0, 1024}).has_value());
}

TEST(SelectionRules, ScaleLabelsTruncateEveryTenthOfTheBand)
{
    const std::array<int, 11> expected = {7004, 7023, 7042, 7061, 7080, 7100, 7119, 7138, 7157, 7176, 7196};
    EXPECT_EQ(FrequencyScaleLabels(192.0, 7100.0), expected);
    EXPECT_EQ(FrequencyScaleLabels(200.0, 50.0)[0], -50);
}

} // namespace
