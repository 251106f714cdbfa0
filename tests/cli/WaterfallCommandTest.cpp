#include "CliRun.h"
#include "PngSize.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

// A capture shorter than a second is one line; a WAV file without samples is
// refused; an unknown start time is said to be unknown.
TEST(WaterfallCommand, ShortCapturesDrawOneLineWithMeasuredLevels)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    format.encoding = fixtures::Encoding::UInt8;
    format.sampleRate = 250000;
    const std::string capture = dir.write(
        "capture.wav", fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, fixtures::iqPayload(format, 50000)).bytes);
    const std::string png = dir.path + "/c.png";
    const CliResult drawn = runCli({"waterfall", capture, "-o", png, "--auto-levels"});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_NE(drawn.err.find("waterfall: levels "), std::string::npos) << drawn.err;
    EXPECT_EQ(pngSize(png).height, 1u);

    const CliResult json = runCli({"info", capture, "--json"});
    EXPECT_NE(json.out.find("\"bits_per_sample\": 8,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"seconds\": 0,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"start_unix\": null, \"start_utc\": null,"), std::string::npos) << json.out;
    EXPECT_NE(runCli({"info", capture}).out.find("start:           unknown\n"), std::string::npos);

    const std::string empty = dir.write(
        "empty.wav", fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, {}).bytes);
    const CliResult refused = runCli({"waterfall", empty, "-o", png});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "korvel-cli: " + empty + ": the recording holds no samples, nothing to draw\n");
}

// 1,200,000 seconds (a 4.8 MB file at 1 S/s) are more rows than libpng
// writes, and one transform spans 1024 of them: the picture has fewer rows,
// each at least a transform long, and says so. (The PNG's own row limit is
// WaterfallRowPlan's, tested there.)
TEST(WaterfallCommand, RecordingOfMoreSecondsThanAPngHoldsIsDrawnAtFewerRows)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    format.sampleRate = 1;
    constexpr uint32_t kSeconds = 1200000;
    fixtures::Recording file = fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, {});
    fixtures::patchU32(file.bytes, 4, static_cast<uint32_t>(file.bytes.size() - 8 + kSeconds * 4));
    fixtures::patchU32(file.bytes, file.dataOffset - 4, kSeconds * 4);
    const std::string recording = dir.write("slow.wav", file.bytes);
    std::filesystem::resize_file(recording, file.bytes.size() + kSeconds * 4);

    const std::string png = dir.path + "/slow.png";
    const CliResult drawn = runCli({"waterfall", recording, "-o", png, "--fft-size", "1024"});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_NE(drawn.err.find("waterfall: 1200000 s drawn at 1025 s per row (1171 rows)"), std::string::npos)
        << drawn.err;
    EXPECT_EQ(pngSize(png).height, 1171u);
}

// A burst from 0.70 to 0.75 s into second 1 of a silent recording: the plain
// rows never see it (their levels stay at the floor), --peak-hold rows do,
// in a picture of the same rows.
TEST(WaterfallCommand, PeakHoldShowsABurstLateInASecond)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    format.sampleRate = 48000;
    fixtures::Bytes samples;
    for (int k = 0; k < 3 * 48000; ++k) {
        const bool on = k >= 48000 + 33600 && k < 48000 + 36000;
        const double phase = 2.0 * 3.141592653589793 * 12000.0 * k / 48000.0;
        samples.i16(on ? int16_t(std::lround(8000.0 * std::cos(phase))) : 0);
        samples.i16(on ? int16_t(std::lround(8000.0 * std::sin(phase))) : 0);
    }
    const std::string recording = dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav",
                                            fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, samples.v).bytes);
    auto strongestDb = [&](std::vector<std::string> extra) {
        const std::string png = dir.path + "/w.png";
        std::vector<std::string> args{"waterfall", recording, "-o", png, "--auto-levels", "--fft-size", "2048"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliResult drawn = runCli(args);
        EXPECT_EQ(drawn.status, 0) << drawn.err;
        EXPECT_EQ(pngSize(png).height, 3u);
        int low = 0, high = 0;
        EXPECT_EQ(std::sscanf(drawn.err.c_str(), "waterfall: levels %d to %d dB", &low, &high), 2) << drawn.err;
        return high;
    };
    EXPECT_LT(strongestDb({}), -150);
    EXPECT_GT(strongestDb({"--peak-hold"}), -30);
}

// Without --min-db or --max-db the levels are measured from the recording;
// either fixes them, and --auto-levels measures them all the same.
TEST(WaterfallCommand, LevelsAreMeasuredUnlessGiven)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    format.sampleRate = 8000;
    const std::string capture = dir.write(
        "capture.wav", fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, fixtures::iqPayload(format, 16000)).bytes);
    const std::string png = dir.path + "/c.png";
    struct Case {
        std::vector<std::string> options;
        bool measured;
    };
    for (const Case& c : {Case{{}, true}, Case{{"--min-db", "-120"}, false}, Case{{"--max-db", "-60"}, false},
                          Case{{"--min-db", "-120", "--max-db", "-60", "--auto-levels"}, true},
                          Case{{"--fft-size", "2048"}, true}}) {
        std::vector<std::string> args{"waterfall", capture, "-o", png};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult drawn = runCli(args);
        ASSERT_EQ(drawn.status, 0) << drawn.err;
        EXPECT_EQ(drawn.err.find("waterfall: levels ") != std::string::npos, c.measured)
            << testing::PrintToString(c.options) << drawn.err;
    }
}
