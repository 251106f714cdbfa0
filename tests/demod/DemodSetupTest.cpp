#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"

#include <gtest/gtest.h>

namespace {

const RecordingParameters kRecording{.mSampleRate = 2000000, .mCenterFreq = 7100000.0, .mNumSeconds = 600};

SelectionFields fields(std::string start, std::string end, std::string low, std::string high, std::string pbt = "0")
{
    return {start, end, low, high, pbt};
}

} // namespace

TEST(DemodSetup, TuningAndFilterWidthByMode)
{
    const struct {
        int mode;
        double nco, filter;
    } cases[] = {
        {kDemodAM, 10000, 5000},   {kDemodSAM, 10000, 5000}, {kDemodFM, 10000, 5000}, {kDemodWFM, 10000, 5000},
        {kDemodUSB, 5000, 10000},  {kDemodLSB, 15000, 10000},
        // CW tunes like the sidebands; with no offset and no width its band
        // could not be designed and it would play the centre frequency.
        {kDemodCWU, 5000, 10000},  {kDemodCWL, 15000, 10000}, {kDemodNone, 0, 0},
    };
    for (const auto& c : cases) {
        const DemodSetup setup = DemodSetup::fromFields(fields("0", "10", "7105", "7115"), c.mode, kRecording);
        ASSERT_TRUE(setup.ok()) << setup.error();
        EXPECT_DOUBLE_EQ(setup.ncoHz(), c.nco) << c.mode;
        EXPECT_DOUBLE_EQ(setup.filterHz(), c.filter) << c.mode;
    }
}

TEST(DemodSetup, FieldsAreReadAndMended)
{
    const struct {
        SelectionFields in;
        int32_t start, end;
        double low, high;
        const char* lowText;
    } cases[] = {
        {fields("12.5", "20.9", "7105", "7115"), 12, 20, 7105, 7115, "7105"},         // seconds truncated
        {fields("-30", "100000", "7105", "7115"), 0, 600, 7105, 7115, "7105"},        // clamped to the recording
        {fields(" 3 ", "1e2", " 7115.000", "7105.5"), 3, 100, 7105.5, 7115, "7105.5"}, // edges swapped as a drag would
        {fields("700", "650", "7105", "7115"), 600, 600, 7105, 7115, "7105"},
        {fields("20", "10", "7105", "7115"), 10, 20, 7105, 7115, "7105"},              // times swapped like edges
    };
    for (const auto& c : cases) {
        const DemodSetup setup = DemodSetup::fromFields(c.in, kDemodAM, kRecording);
        ASSERT_TRUE(setup.ok()) << setup.error();
        EXPECT_EQ(setup.startSecond(), c.start);
        EXPECT_EQ(setup.endSecond(), c.end);
        EXPECT_EQ(setup.lowKHz(), c.low);
        EXPECT_EQ(setup.highKHz(), c.high);
        EXPECT_EQ(setup.fields().startTime, std::to_string(c.start));
        EXPECT_EQ(setup.fields().endTime, std::to_string(c.end));
        EXPECT_EQ(setup.fields().lowFreq, c.lowText);
    }
}

TEST(DemodSetup, FieldsThatAreNotFiniteNumbersAreRefused)
{
    const SelectionFields cases[] = {
        fields("abc", "10", "7105", "7115"), fields("0", "", "7105", "7115"),     fields("0", "10", "nan", "7115"),
        fields("0", "10", "7105", "inf"),    fields("0", "10", "7105", "7115x"), fields("0", "10", "7105", "7115", "1,5"),
        fields("0", "10", "1e999", "7115"),
    };
    for (const auto& c : cases) {
        const DemodSetup setup = DemodSetup::fromFields(c, kDemodAM, kRecording);
        EXPECT_FALSE(setup.ok()) << c.startTime << " " << c.endTime << " " << c.lowFreq << " " << c.highFreq;
        EXPECT_NE(setup.error().find("is not a number"), std::string::npos);
    }
    EXPECT_TRUE(DemodSetup::fromFields(fields("0", "10", "7105", "7115", " "), kDemodAM, kRecording).ok());
}

// Outside centre +- half the sample rate a recording holds only aliases.
TEST(DemodSetup, SelectionsOutsideTheRecordingsBandAreRefused)
{
    const RecordingParameters recording{.mSampleRate = 192000, .mCenterFreq = 7100000.0, .mNumSeconds = 60};
    const struct {
        const char* low;
        const char* high;
        bool ok;
    } cases[] = {
        {"4995", "5005", false},     {"7003", "7010", false},     {"7190", "7197", false},
        {"7210", "7200", false},     {"7004.000", "7196.000", true}, {"7196", "7190", true},
        {"7030", "7031", true},
    };
    for (int mode : {kDemodAM, kDemodUSB, kDemodCWL}) {
        for (const auto& c : cases) {
            const DemodSetup setup = DemodSetup::fromFields(fields("0", "10", c.low, c.high), mode, recording);
            EXPECT_EQ(setup.ok(), c.ok) << c.low << " - " << c.high << " in mode " << mode;
        }
    }
    const DemodSetup refused = DemodSetup::fromFields(fields("0", "10", "5005", "4995"), kDemodAM, recording);
    EXPECT_EQ(refused.error(),
              "The selection 4995.000 - 5005.000 kHz is outside the recording's band 7004.000 - 7196.000 kHz.");
}

TEST(DemodSetup, PassBandShiftIsLimitedToFiveKilohertzAndToThePipelineBand)
{
    const struct {
        int mode;
        const char* low;
        const char* high;
        const char* pbt;
        double pbtHz;
        const char* shown;
    } cases[] = {
        {kDemodAM, "7050", "7150", "7.5", 5000, "5"},
        {kDemodAM, "7050", "7150", "-7.5", -5000, "-5"},
        {kDemodAM, "7050", "7150", "2.5", 2500, "2.5"},
        // 5 kHz wide AM at 2 MS/s runs at 7812.5 Hz: the band stays inside +-3906 Hz.
        {kDemodAM, "7097.5", "7102.5", "2", 1406, "1.406"},
        {kDemodAM, "7097.5", "7102.5", "-2", -1406, "-1.406"},
        {kDemodUSB, "7100", "7102.4", "3", 1506, "1.506"},
        {kDemodUSB, "7100", "7102.4", "-4", -3906, "-3.906"},
        {kDemodLSB, "7097.6", "7100", "-3", -1506, "-1.506"},
    };
    for (const auto& c : cases) {
        DemodSetup setup = DemodSetup::fromFields(fields("0", "10", c.low, c.high, c.pbt), c.mode, kRecording);
        ASSERT_TRUE(setup.ok());
        EXPECT_EQ(setup.pbtHz(), c.pbtHz) << c.pbt;
        EXPECT_EQ(setup.fields().pbt, c.shown) << c.pbt;
        DemodulatorObject demod;
        EXPECT_TRUE(setup.configure(demod)) << c.pbt;
        EXPECT_EQ(demod.getPBT(), c.pbtHz);
    }
}

TEST(DemodSetup, UnknownModeIsRefused)
{
    EXPECT_FALSE(DemodSetup::fromFields(fields("0", "1", "7105", "7115"), 9, kRecording).ok());
    EXPECT_FALSE(DemodSetup::fromFields(fields("0", "1", "7105", "7115"), -1, kRecording).ok());
}

TEST(DemodSetup, ASelectionInNumbersFollowsTheRulesOfTheFields)
{
    const struct {
        Selection selection;
        SelectionFields typed;
    } cases[] = {
        {{20, 10, 7115, 7105, 0}, fields("20", "10", "7115", "7105", "0")},
        {{-30, 100000, 7105, 7115, 7.5}, fields("-30", "100000", "7105", "7115", "7.5")},
        {{0, 10, 7300, 7310, 0}, fields("0", "10", "7300", "7310", "0")},
    };
    for (const auto& c : cases) {
        const DemodSetup numbers = DemodSetup::fromSelection(c.selection, kDemodUSB, kRecording);
        const DemodSetup typed = DemodSetup::fromFields(c.typed, kDemodUSB, kRecording);
        ASSERT_EQ(numbers.ok(), typed.ok()) << numbers.error();
        EXPECT_EQ(numbers.error(), typed.error());
        if (!typed.ok())
            continue;
        const Selection mended = numbers.selection();
        EXPECT_EQ(mended.startSecond, typed.startSecond());
        EXPECT_EQ(mended.endSecond, typed.endSecond());
        EXPECT_EQ(mended.lowKHz, typed.lowKHz());
        EXPECT_EQ(mended.highKHz, typed.highKHz());
        EXPECT_EQ(mended.pbtKHz * 1000.0, typed.pbtHz());
        EXPECT_EQ(numbers.ncoHz(), typed.ncoHz());
        EXPECT_EQ(numbers.filterHz(), typed.filterHz());
    }
}
