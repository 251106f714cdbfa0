#include "common/NumberText.h"
#include "common/Settings.h"

#include <gtest/gtest.h>

TEST(NumberText, ReadsNumbersWithTheirUnits)
{
    struct Case {
        const char* text;
        Quantity quantity;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"12.5", Quantity::Plain, 12.5},
        {"  +7 \t", Quantity::Plain, 7.0},
        {"-3e2", Quantity::Plain, -300.0},
        {"1.", Quantity::Plain, 1.0},
        {"250k", Quantity::Frequency, 250000.0},
        {"2.048M", Quantity::Frequency, 2048000.0},
        {"2.048 MHz", Quantity::Frequency, 2048000.0},
        {"14074000Hz", Quantity::Frequency, 14074000.0},
        {"1.5e-3G", Quantity::Frequency, 1.5e6},
        {"300 kHz", Quantity::Frequency, 300000.0},
        {"1Msps", Quantity::Frequency, 1e6},
        {"90 s", Quantity::Seconds, 90.0},
        {"2min", Quantity::Seconds, 120.0},
        {"250ms", Quantity::Seconds, 0.25},
        {"-90dB", Quantity::Decibels, -90.0},
        {"12,5", Quantity::Plain, std::nullopt},    // C conventions only
        {"0x10", Quantity::Plain, std::nullopt},    // no hex
        {"inf", Quantity::Plain, std::nullopt},
        {"nan", Quantity::Plain, std::nullopt},
        {"1e400", Quantity::Plain, std::nullopt},
        {"1e999999999999999999k", Quantity::Frequency, std::nullopt},
        {"", Quantity::Plain, std::nullopt},
        {"+", Quantity::Plain, std::nullopt},
        {"+-1", Quantity::Plain, std::nullopt},
        {"5k", Quantity::Plain, std::nullopt},      // a unit where none belongs
        {"5 dB", Quantity::Frequency, std::nullopt}, // the wrong unit
        {"5 s x", Quantity::Seconds, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NumberText::parse(c.text, c.quantity), c.value);
    }
}

// The inputs the DGPS window and `korvel-cli dgps` both take: one check each.
TEST(Settings, DgpsInputsAcceptTheirRangeOnly)
{
    struct Case {
        const NumberSetting& setting;
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {Settings::kLatitude, "-90", -90.0},
        {Settings::kLatitude, "90.0001", std::nullopt},
        {Settings::kLatitude, "51.5", 51.5},
        {Settings::kLongitude, "-180", -180.0},
        {Settings::kLongitude, "180.5", std::nullopt},
        {Settings::kLongitude, "east", std::nullopt},
        {Settings::kUdpPort, "1", 1.0},
        {Settings::kUdpPort, "65535", 65535.0},
        {Settings::kUdpPort, "0", std::nullopt},
        {Settings::kUdpPort, "65536", std::nullopt},
        {Settings::kUdpPort, "5000.5", std::nullopt},
        {Settings::kLiveSampleRate, "1000", 1000.0},
        {Settings::kLiveSampleRate, "250k", 250000.0},
        {Settings::kLiveSampleRate, "999", std::nullopt},
        {Settings::kLiveSampleRate, "100.1M", std::nullopt},
        {Settings::kLiveCenterKHz, "300", 300.0},
        {Settings::kLiveCenterKHz, "-1", std::nullopt},
        {Settings::kLiveCenterHz, "300k", 300000.0},
        {Settings::kLiveCenterHz, "1e13", std::nullopt},
        {Settings::kLiveCenterHz, "-1k", std::nullopt},
        {Settings::kLiveSeconds, "0", 0.0},
        {Settings::kLiveSeconds, "-1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.setting.key) + " " + c.text);
        EXPECT_EQ(c.setting.read(c.text), c.value);
    }
    EXPECT_EQ(Settings::kUdpPort.stored(std::nullopt), 50000.0);
    EXPECT_EQ(Settings::kLatitude.stored(91.0), 0.0);
    EXPECT_EQ(Settings::kLatitude.stored(-12.0), -12.0);
}
