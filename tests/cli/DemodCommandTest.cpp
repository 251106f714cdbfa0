#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace fs = std::filesystem;

namespace {

// 3 s at 48000 S/s around 7074 kHz, starting 1 Jan 2014 00:00:00 UTC, with a
// carrier at 7075.0 kHz: 1 kHz in USB tuned to 7074.
std::string writeUsbRecording(const fixtures::TempDir& dir)
{
    const int rate = 48000, seconds = 3;
    fixtures::Bytes samples;
    for (int64_t k = 0; k < int64_t(rate) * seconds; ++k) {
        const double phase = 2.0 * std::numbers::pi * std::fmod(1000.0 * double(k) / rate, 1.0);
        samples.i16(static_cast<int16_t>(std::lround(3000.0 * std::cos(phase))));
        samples.i16(static_cast<int16_t>(std::lround(3000.0 * std::sin(phase))));
    }
    fixtures::WaveFormat format;
    format.sampleRate = rate;
    return dir.write("SDRSharp_20140101_000000Z_7074000Hz_IQ.wav",
                     fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, samples.v).bytes);
}

uint32_t dataLength(const fs::path& wav)
{
    std::ifstream in(wav, std::ios::binary);
    unsigned char h[44] = {};
    in.read(reinterpret_cast<char*>(h), 44);
    return h[40] | h[41] << 8 | h[42] << 16 | uint32_t(h[43]) << 24;
}

} // namespace

TEST(CliDemod, WritesTheTimestampedFileOfTheSelection)
{
    fixtures::TempDir dir;
    const std::string recording = writeUsbRecording(dir);
    const fs::path out = fs::path(dir.path) / "wavs";
    fs::create_directory(out);
    CliResult r = runCli({"demod", recording, "--mode", "usb", "--start", "0", "--end", "2", "--lo", "7074",
                          "--hi", "7077", "--timestamped", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path expected = out / "7074.0 USB 01-Jan-2014 00.00.00.wav";
    EXPECT_EQ(r.out, expected.string() + "\n");
    ASSERT_TRUE(fs::exists(expected));
    // Short by what the band-pass holds at the end and at the start (0.13 s each
    // at this narrow band's pipeline rate).
    EXPECT_NEAR(dataLength(expected), 2 * 2 * 44100.0, 2 * 14000.0);
    EXPECT_EQ(fs::file_size(expected), 44u + dataLength(expected));
    EXPECT_EQ(r.err, "");
}

TEST(CliDemod, WritesToTheGivenFileAndReportsALimitedShift)
{
    fixtures::TempDir dir;
    const std::string recording = writeUsbRecording(dir);
    const fs::path out = fs::path(dir.path) / "one.wav";
    CliResult r = runCli({"demod", recording, "--mode", "AM", "--start", "1", "--end", "2", "--lo", "7070",
                          "--hi", "7080", "--pbt", "9", "-o", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("limited to 5 kHz"), std::string::npos) << r.err;
    EXPECT_NEAR(dataLength(out), 2 * 44100.0, 8000.0);
}

TEST(CliDemod, ReversedTimesAreSwappedLikeTheFrequencies)
{
    fixtures::TempDir dir;
    const std::string recording = writeUsbRecording(dir);
    const fs::path out = fs::path(dir.path) / "reversed.wav";
    CliResult r = runCli({"demod", recording, "--mode", "usb", "--start", "3", "--end", "1", "--lo", "7077",
                          "--hi", "7074", "-o", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    // Two seconds, short by what the band-pass holds at either end.
    EXPECT_NEAR(dataLength(out), 2 * 2 * 44100.0, 2 * 14000.0);
}

TEST(CliDemod, ASelectionOutsideTheRecordingsBandIsRefusedNamingTheBand)
{
    fixtures::TempDir dir;
    const std::string recording = writeUsbRecording(dir);
    CliResult r = runCli({"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "4995", "--hi",
                          "5005", "-o", dir.path + "/x.wav"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "korvel-cli: " + recording + ": The selection 4995.000 - 5005.000 kHz is outside the recording's band "
                     "7050.000 - 7098.000 kHz.\n");
}

TEST(CliDemod, RefusesBadInvocationsWithOneLineAndStatusTwo)
{
    fixtures::TempDir dir;
    const std::string recording = writeUsbRecording(dir);
    const std::string out = dir.path + "/x.wav";
    const std::vector<std::vector<std::string>> cases = {
        {"demod", recording, "--mode", "DSB", "--start", "0", "--end", "1", "--lo", "7074", "--hi", "7077", "-o", out},
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--hi", "7077", "-o", out},
        {"demod", recording, "--mode", "AM", "--start", "x", "--end", "1", "--lo", "7074", "--hi", "7077", "-o", out},
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7074", "--hi", "7077"},
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7074", "--hi", "7077", "-o", out,
         "--timestamped", dir.path},
        {"demod", dir.path + "/missing.wav", "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7074", "--hi",
         "7077", "-o", out},
        // outside the recording's band, 7050 - 7098 kHz
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7000", "--hi", "7200", "-o", out},
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7074", "--hi", "7077", "-o",
         recording + "/x.wav"},
        // a mistyped folder is not created
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7074", "--hi", "7077", "-o",
         dir.path + "/missing/x.wav"},
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "1", "--lo", "7074", "--hi", "7077",
         "--timestamped", dir.path + "/missing"},
    };
    for (const auto& args : cases) {
        CliResult r = runCli(args);
        EXPECT_EQ(r.status, 2) << args[3];
        EXPECT_EQ(r.err.rfind("korvel-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir.path + "/missing"));
}

// The receiver options reach the demodulator: with the AGC off at -20 dB the
// tone comes out 20 dB under the recording's 3000; wrong values are refused.
TEST(CliDemod, ReceiverOptions)
{
    fixtures::TempDir dir;
    const std::string recording = writeUsbRecording(dir);
    const fs::path out = fs::path(dir.path) / "quiet.wav";
    CliResult r = runCli({"demod", recording, "--mode", "usb", "--start", "0", "--end", "2", "--lo", "7074",
                          "--hi", "7077", "--agc", "off", "--gain", "-20", "-o", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream in(out, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int peak = 0;
    for (size_t i = 44 + 2 * 22050; i + 1 < bytes.size() - 2 * 22050; i += 2)
        peak = std::max(peak, std::abs(static_cast<int>(static_cast<int16_t>(
                                  static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8))));
    EXPECT_NEAR(peak, 300, 12); // within 0.35 dB

    struct Case {
        std::vector<std::string> options;
        const char* message;
    };
    for (const Case& c : {Case{{"--agc", "slowest"}, "unknown AGC \"slowest\""},
                          Case{{"--max-gain", "-3"}, "--max-gain \"-3\" is not a number of dB from 0 to 120"},
                          Case{{"--squelch", "x"}, "--squelch \"x\" is not a number"},
                          Case{{"--deemphasis", "60"}, "--deemphasis \"60\" is none of 50, 75 and off"}}) {
        std::vector<std::string> args = {"demod", recording, "--mode", "usb", "--start", "0", "--end", "2",
                                         "--lo",  "7074",    "--hi",   "7077", "-o", out.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult bad = runCli(args);
        EXPECT_NE(bad.status, 0);
        EXPECT_NE(bad.err.find(c.message), std::string::npos) << bad.err;
    }
}
