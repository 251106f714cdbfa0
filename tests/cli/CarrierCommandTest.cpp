#include "CliRun.h"
#include "PngSize.h"
#include "carrier/CarrierTestRecordings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace carriertest;

TEST(CarrierCommand, AnalysesRecordingsThenPicturesAChannel)
{
    fixtures::TempDir dir;
    const std::string later = dir.write("later.wav", recording(1.0, kStart + 600, {{3.0, 0.0}}).bytes);
    const std::string first = dir.write("first.wav", recording(1.0, kStart, {{3.0, 0.0}}).bytes);
    const std::string twin = dir.write("twin.wav", recording(1.0, kStart, {}).bytes);
    const std::string bin = dir.path + "/out.bin";
    const std::string png = dir.path + "/out.png";
    const CliResult made = runCli({"carrier", later, first, twin, "-o", bin, "--fft-size", std::to_string(kFftSize),
                                   "--half-span", "25", "--png", png, "--channel", "1"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("carrier: twin.wav: left out, it starts at the same time as first.wav"), std::string::npos)
        << made.err;
    EXPECT_NE(made.err.find("carrier: later.wav: 1 s long; rows 238 to 473, after its end, hold no levels"),
              std::string::npos)
        << made.err;
    EXPECT_EQ(std::filesystem::file_size(bin), 4020u + 2u * 237u * 2u * 8192u);
    EXPECT_EQ(pngSize(png).height, 2u * 237u + 50u);

    const std::string again = dir.path + "/again.png";
    const CliResult loaded = runCli({"carrier", "--load", bin, "--png", again, "--channel", "0", "--grey"});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(pngSize(again).height, 2u * 237u + 50u);
}

TEST(CarrierCommand, BadInputIsRefusedWithStatusTwo)
{
    fixtures::TempDir dir;
    const std::string rec = dir.write("a.wav", recording(1.0, kStart, {}).bytes);
    const std::string corrupt = dir.write("corrupt.bin", std::vector<uint8_t>(4020, 0));
    const std::string bin = dir.path + "/out.bin";
    const std::string png = dir.path + "/out.png";
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"carrier"}, "give recordings and -o OUT.bin"},
        {{"carrier", rec}, "give recordings and -o OUT.bin"},
        {{"carrier", rec, "-o", bin, "--fft-size", "1000"}, "power of two"},
        {{"carrier", rec, "-o", bin, "--half-span", "x"}, "--half-span needs a number"},
        {{"carrier", rec, "-o", bin, "--png", png}, "--png needs --channel"},
        {{"carrier", rec, "-o", bin, "--png", png, "--channel", "2"}, "--channel must be 0 to 1"},
        {{"carrier", rec, "-o", bin, "--png", png, "--channel", "-1"}, "--channel takes a channel number"},
        {{"carrier", rec, dir.path + "/missing.wav", "-o", bin}, "missing.wav: left out, Can't open file: No such file"},
        {{"carrier", rec, dir.path + "/missing.wav", "-o", bin}, "missing.wav: cannot be used (the reason is given above)"},
        {{"carrier", rec, "-o", bin, "--bogus"}, "unknown option \"--bogus\""},
        {{"carrier", "--load", corrupt, "--png", png, "--channel", "0"}, "not a carrier analysis file"},
        {{"carrier", "--load", corrupt}, "--load needs --png"},
        {{"carrier", "--load", corrupt, "-o", bin}, "--load takes no recordings"},
    };
    for (const Case& c : cases) {
        const CliResult result = runCli(c.args);
        EXPECT_EQ(result.status, 2) << c.expected;
        EXPECT_NE(result.err.find(std::string("korvel-cli: ")), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(bin));
    EXPECT_FALSE(std::filesystem::exists(png));
}
