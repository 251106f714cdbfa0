#include "recording/IqFileName.h"
#include "recording/RecordingObject.h"
#include "recording/SigmfMetadata.h"
#include "support/RecordingFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <unistd.h>

using fixtures::Encoding;
using testing::Contains;
using testing::HasSubstr;

namespace {

fixtures::WaveFormat format(Encoding e, uint32_t rate = 1000)
{
    fixtures::WaveFormat f;
    f.encoding = e;
    f.sampleRate = rate;
    return f;
}

std::vector<uint8_t> payload(Encoding e, int64_t frames) { return fixtures::iqPayload(format(e), frames); }

std::vector<uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> withPrefix(size_t bytes, std::vector<uint8_t> samples)
{
    samples.insert(samples.begin(), bytes, 0xEE);
    return samples;
}

// How a file's samples must read: the test signal of an encoding.
void expectSignal(RecordingObject& r, Encoding e, int64_t count)
{
    std::vector<ComplexSample> block(static_cast<size_t>(count));
    ASSERT_EQ(r.getData(block.data(), 0.0, count), count);
    for (int64_t k = 0; k < count; ++k) {
        const ComplexSample want = fixtures::expectedSample(e, k);
        ASSERT_EQ(block[k].im, want.im) << "I of sample " << k;
        ASSERT_EQ(block[k].re, want.re) << "Q of sample " << k;
    }
}

struct Opened {
    std::unique_ptr<RecordingObject> recording = std::make_unique<RecordingObject>();
    std::vector<std::string> lines;
};

Opened openIn(const fixtures::TempDir& dir, const std::map<std::string, std::vector<uint8_t>>& files,
              const std::string& name, const RawIqSettings& settings = {})
{
    for (const auto& [fileName, bytes] : files)
        dir.write(fileName, bytes);
    Opened o;
    o.recording->setRecordingFolder(dir.path);
    o.recording->setRawIqSettings(settings);
    o.recording->setRecordingFile(name, o.lines);
    return o;
}

const char* const kCapture = R"({"core:sample_start": 0, "core:frequency": 433920000, "core:datetime": "2023-10-15T12:34:56.250Z"})";
constexpr int64_t kCaptureStart = 1697373296;

} // namespace

// Each format other than RIFF/WAVE, and RF64: its parameters, and its samples
// read as the test signal of the encoding they are stored in.
TEST(ForeignFormats, EachFormatDerivesItsParametersAndReadsItsSamples)
{
    struct Case {
        const char* what;
        std::map<std::string, std::vector<uint8_t>> files;
        std::string open;
        const char* layout;
        int32_t rate;
        double centerFreq;
        std::optional<int64_t> start;
        int32_t bits;
        Encoding reads; // the values the samples must read as
        int64_t samples;
    };
    const int64_t n = 3000;
    const std::vector<Case> cases = {
        {"SigMF cf32_le", {{"a.sigmf-meta", text(fixtures::sigmfMeta("cf32_le", "1000", kCapture))},
                           {"a.sigmf-data", payload(Encoding::Float32, n)}},
         "a.sigmf-meta", "SigMF", 1000, 433920000, kCaptureStart, 32, Encoding::Float32, n},
        {"SigMF ci16_le opened by its data file",
         {{"b.sigmf-meta", text(fixtures::sigmfMeta("ci16_le", "1000.0", kCapture))},
          {"b.sigmf-data", payload(Encoding::Int16, n)}},
         "b.sigmf-data", "SigMF", 1000, 433920000, kCaptureStart, 16, Encoding::Int16, n},
        {"SigMF ci32_le", {{"c.sigmf-meta", text(fixtures::sigmfMeta("ci32_le", "1e3", kCapture))},
                           {"c.sigmf-data", payload(Encoding::Int32, n)}},
         "c.sigmf-meta", "SigMF", 1000, 433920000, kCaptureStart, 32, Encoding::Int32, n},
        {"SigMF cu8 without capture", {{"d.sigmf-meta", text(fixtures::sigmfMeta("cu8", "1000", ""))},
                                       {"d.sigmf-data", payload(Encoding::UInt8, n)}},
         "d.sigmf-meta", "SigMF", 1000, 0, std::nullopt, 8, Encoding::UInt8, n},
        {"SigMF ci8 after header bytes",
         {{"e.sigmf-meta", text(fixtures::sigmfMeta("ci8", "1000",
                                                    R"({"core:sample_start": 0, "core:header_bytes": 17, "core:frequency": 1e6})"))},
          {"e.sigmf-data", withPrefix(17, fixtures::int8Payload(n))}},
         "e.sigmf-meta", "SigMF", 1000, 1e6, std::nullopt, 8, Encoding::UInt8, n},
        {"rtl_433 cu8", {{"g001_433.92M_1k.cu8", payload(Encoding::UInt8, n)}}, "g001_433.92M_1k.cu8", "Raw I/Q",
         1000, 433920000, std::nullopt, 8, Encoding::UInt8, n},
        {"rtl_433 cs8", {{"x_868.3M_1k.cs8", fixtures::int8Payload(n)}}, "x_868.3M_1k.cs8", "Raw I/Q", 1000,
         868300000, std::nullopt, 8, Encoding::UInt8, n},
        {"rtl_433 cs16", {{"x_100M_1k.cs16", payload(Encoding::Int16, n)}}, "x_100M_1k.cs16", "Raw I/Q", 1000, 1e8,
         std::nullopt, 16, Encoding::Int16, n},
        {"rtl_433 cf32", {{"x_1.5G_1k.cf32", payload(Encoding::Float32, n)}}, "x_1.5G_1k.cf32", "Raw I/Q", 1000,
         1.5e9, std::nullopt, 32, Encoding::Float32, n},
        {"gqrx", {{"gqrx_20231015_123456_433920000_1000_fc.raw", payload(Encoding::Float32, n)}},
         "gqrx_20231015_123456_433920000_1000_fc.raw", "Raw I/Q", 1000, 433920000, kCaptureStart, 32,
         Encoding::Float32, n},
        {"AU 16-bit big-endian", {{"Delhi.828.1.1k.iq.au", fixtures::auFile(3, 2, 1000, fixtures::bigEndian16Payload(n))}},
         "Delhi.828.1.1k.iq.au", "AU", 1000, 828000, std::nullopt, 16, Encoding::Int16, n},
        {"SDR++ plain WAV", {{"baseband_14074000Hz_12-34-56_15-10-2023.wav",
                              fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format(Encoding::Int16), 16)}},
                                                 payload(Encoding::Int16, n)).bytes}},
         "baseband_14074000Hz_12-34-56_15-10-2023.wav", "WAV", 1000, 14074000, kCaptureStart, 16,
         Encoding::Int16, n},
        {"RF64 with a chunk after the samples", {{"big.wav", fixtures::rf64File(format(Encoding::Int24), n).bytes}},
         "big.wav", "RF64", 1000, 0, std::nullopt, 24, Encoding::Int24, n},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openIn(dir, c.files, c.open);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile()) << (o.lines.empty() ? "" : o.lines.back());
        EXPECT_EQ(r.layoutName(), c.layout);
        EXPECT_EQ(r.parameters().mSampleRate, c.rate);
        EXPECT_EQ(r.parameters().mBandwidth, c.rate);
        EXPECT_EQ(r.parameters().mCenterFreq, c.centerFreq);
        EXPECT_EQ(r.parameters().mBitsPerSample, c.bits);
        EXPECT_EQ(r.parameters().mNumSeconds, c.samples / c.rate);
        EXPECT_EQ(r.sampleCount(), c.samples);
        EXPECT_EQ(r.startTimeKnown(), c.start.has_value());
        if (c.start) {
            EXPECT_EQ(r.parameters().mStartTimestamp, *c.start);
        }
        expectSignal(r, c.reads, c.samples);
        std::vector<ComplexSample> tail(10);
        EXPECT_EQ(r.getData(tail.data(), 2.995, 10), 5) << "the last samples, and nothing after them";
    }
}

// A SigMF recording shows once in the file list: by its metadata.
TEST(ForeignFormats, TheFileListShowsASigmfRecordingOnce)
{
    fixtures::TempDir dir;
    dir.write("a.sigmf-meta", text(fixtures::sigmfMeta("ci16_le", "1000", kCapture)));
    dir.write("a.sigmf-data", payload(Encoding::Int16, 100));
    dir.write("g001_433.92M_250k.cu8", payload(Encoding::UInt8, 100));
    dir.write("unnamed.cu8", payload(Encoding::UInt8, 100));
    EXPECT_TRUE(RecordingObject::isRecordingFile(dir.path + "/a.sigmf-meta"));
    EXPECT_FALSE(RecordingObject::isRecordingFile(dir.path + "/a.sigmf-data"));
    EXPECT_TRUE(RecordingObject::isRecordingFile(dir.path + "/g001_433.92M_250k.cu8"));
    EXPECT_FALSE(RecordingObject::isRecordingFile(dir.path + "/unnamed.cu8"));
}

// Headers that would mislead the reader are refused with what is wrong.
TEST(ForeignFormats, HostileHeadersAreRefusedWithAReason)
{
    struct Case {
        const char* what;
        std::map<std::string, std::vector<uint8_t>> files;
        std::string open;
        std::string message;
    };
    const auto meta = [](const std::string& json) {
        return std::map<std::string, std::vector<uint8_t>>{{"m.sigmf-meta", text(json)},
                                                           {"m.sigmf-data", payload(Encoding::Int16, 100)}};
    };
    const auto deep = [](int depth) { return std::string(depth, '[') + "1" + std::string(depth, ']'); };
    const std::vector<Case> cases = {
        {"SigMF not JSON", meta("{\"global\": {"), "m.sigmf-meta", "not a JSON object"},
        {"SigMF without global", meta("{\"captures\": []}"), "m.sigmf-meta", "no \"global\" object"},
        {"SigMF without datatype", meta("{\"global\": {\"core:sample_rate\": 1000}}"), "m.sigmf-meta",
         "no core:datatype"},
        {"SigMF real samples", meta(fixtures::sigmfMeta("rf32_le", "1000", "")), "m.sigmf-meta",
         "\"rf32_le\" holds real samples, not I/Q"},
        {"SigMF unread type", meta(fixtures::sigmfMeta("cu16_le", "1000", "")), "m.sigmf-meta",
         "\"cu16_le\" is not read"},
        {"SigMF rate as text", meta(fixtures::sigmfMeta("ci16_le", "\"1000\"", "")), "m.sigmf-meta",
         "no valid core:sample_rate (\"1000\")"},
        {"SigMF negative rate", meta(fixtures::sigmfMeta("ci16_le", "-48000", "")), "m.sigmf-meta",
         "no valid core:sample_rate (-48000)"},
        {"SigMF rate beyond any receiver", meta(fixtures::sigmfMeta("ci16_le", "1e300", "")), "m.sigmf-meta",
         "sample rate 1e+300 S/s"},
        {"SigMF rate below one", meta(fixtures::sigmfMeta("ci16_le", "0.4", "")), "m.sigmf-meta",
         "sample rate 0.4 S/s"},
        {"SigMF rate nested 50000 deep", meta(fixtures::sigmfMeta("ci16_le", deep(50000), "")), "m.sigmf-meta",
         "nests arrays or objects more than 64 deep"},
        {"SigMF channels nested 20000 deep",
         meta("{\"global\": {\"core:datatype\": \"ci16_le\", \"core:num_channels\": " + deep(20000) + "}}"),
         "m.sigmf-meta", "more than 64 deep"},
        {"SigMF rate as an array", meta(fixtures::sigmfMeta("ci16_le", deep(10), "")), "m.sigmf-meta",
         "no valid core:sample_rate (an array)"},
        {"SigMF brackets inside a string do not count",
         meta(fixtures::sigmfMeta("ci16_le", "1000", "{\"core:header_bytes\": \"" + std::string(100, '[') + "\"}")),
         "m.sigmf-meta", "core:header_bytes is not a byte count (\"[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[...)"},
        {"SigMF datatype of 5 MB", meta(fixtures::sigmfMeta(std::string(5 << 20, 'c'), "1000", "")), "m.sigmf-meta",
         "SigMF data type \"cccccccccccccccccccccccccccccccccccccccc...\" is not read"},
        {"SigMF no channels",
         meta("{\"global\": {\"core:datatype\": \"ci16_le\", \"core:sample_rate\": 1000, \"core:num_channels\": 0}}"),
         "m.sigmf-meta", "core:num_channels is not a channel count (0)"},
        {"SigMF negative channels",
         meta("{\"global\": {\"core:datatype\": \"ci16_le\", \"core:sample_rate\": 1000, \"core:num_channels\": -1}}"),
         "m.sigmf-meta", "core:num_channels is not a channel count (-1)"},
        {"SigMF channels as a fraction",
         meta("{\"global\": {\"core:datatype\": \"ci16_le\", \"core:sample_rate\": 1000, \"core:num_channels\": 1.0}}"),
         "m.sigmf-meta", "core:num_channels is not a channel count (1.0)"},
        {"SigMF two channels",
         meta("{\"global\": {\"core:datatype\": \"ci16_le\", \"core:sample_rate\": 1000, \"core:num_channels\": 2}}"),
         "m.sigmf-meta", "several channels"},
        {"SigMF negative header bytes",
         meta(fixtures::sigmfMeta("ci16_le", "1000", "{\"core:header_bytes\": -4}")), "m.sigmf-meta",
         "core:header_bytes is not a byte count (-4)"},
        {"SigMF without data file", {{"n.sigmf-meta", text(fixtures::sigmfMeta("ci16_le", "1000", ""))}},
         "n.sigmf-meta", "Can't open file: n.sigmf-data: No such file or directory"},
        {"AU mono", {{"x.au", fixtures::auFile(3, 1, 1000, payload(Encoding::Int16, 10))}}, "x.au",
         "not an I/Q recording (a .au file of 1 channel)"},
        {"AU mu-law", {{"x.au", fixtures::auFile(1, 2, 1000, payload(Encoding::Int16, 10))}}, "x.au",
         "sample encoding 1 is not read"},
        {"AU samples beyond the end", {{"x.au", cut(fixtures::auFile(3, 2, 1000, {}, 100000), 1000)}}, "x.au",
         "puts the samples at byte 100024 of a file of 1000 bytes"},
        {"AU header cut short", {{"x.au", {'.', 's', 'n', 'd', 0, 0}}}, "x.au", "the .au header is cut short"},
        {"AU rate 0", {{"x.au", fixtures::auFile(3, 2, 0, payload(Encoding::Int16, 10))}}, "x.au", "sample rate 0"},
        {"raw cu8 with a name that says nothing", {{"capture.cu8", payload(Encoding::UInt8, 10)}}, "capture.cu8",
         "raw I/Q samples without a sample rate in the file's name"},
        {"unknown bytes", {{"modes1.bin", payload(Encoding::UInt8, 10)}}, "modes1.bin",
         "not a WAV file (no RIFF/WAVE, SigMF or .au header)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openIn(dir, c.files, c.open);
        EXPECT_FALSE(o.recording->isValidRecordingFile());
        ASSERT_FALSE(o.lines.empty());
        EXPECT_THAT(o.lines.back(), HasSubstr(c.message));
        EXPECT_EQ(o.recording->needsRawIqSettings(), c.open == "capture.cu8" || c.open == "modes1.bin");
    }
}

// A file whose name says nothing opens with what the user gives; what is
// given takes the place of what a name says.
TEST(ForeignFormats, RawSettingsOpenAFileWhoseNameSaysNothing)
{
    fixtures::TempDir dir;
    RawIqSettings given;
    given.sampleRate = 1000;
    given.centerFreq = 1090e6;
    given.format = IqFileName::formatNamed("cs16");
    Opened o = openIn(dir, {{"modes1.bin", payload(Encoding::Int16, 2000)}}, "modes1.bin", given);
    ASSERT_TRUE(o.recording->isValidRecordingFile()) << o.lines.back();
    EXPECT_EQ(o.recording->parameters().mCenterFreq, 1090e6);
    EXPECT_EQ(o.recording->parameters().mNumSeconds, 2);
    expectSignal(*o.recording, Encoding::Int16, 2000);

    given.centerFreq.reset();
    given.format.reset();
    // A rate without a format: the refusal says what is missing.
    Opened noFormat = openIn(dir, {{"modes1.bin", payload(Encoding::Int16, 2000)}}, "modes1.bin", given);
    ASSERT_FALSE(noFormat.recording->isValidRecordingFile());
    EXPECT_THAT(noFormat.lines.back(), HasSubstr("raw I/Q samples of a format neither given nor in the file's name"));

    Opened named = openIn(dir, {{"g_433.92M_250k.cu8", payload(Encoding::UInt8, 2000)}}, "g_433.92M_250k.cu8", given);
    ASSERT_TRUE(named.recording->isValidRecordingFile());
    EXPECT_EQ(named.recording->parameters().mSampleRate, 1000);
    EXPECT_EQ(named.recording->parameters().mCenterFreq, 433920000);
    expectSignal(*named.recording, Encoding::UInt8, 2000);

    // A header always says more than the user can: a WAVE file ignores them.
    Opened wave = openIn(dir, {{"w.wav", fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format(Encoding::Int16, 4000), 16)}},
                                                            payload(Encoding::Int16, 100)).bytes}},
                         "w.wav", given);
    EXPECT_EQ(wave.recording->parameters().mSampleRate, 4000);
}

TEST(ForeignFormats, FileNamesSayWhatTheirConventionsHold)
{
    struct Case {
        std::string name;
        std::string convention;
        int64_t rate;
        std::optional<double> centerFreq;
        std::optional<int64_t> start;
    };
    const std::vector<Case> cases = {
        {"g001_433.92M_250k.cu8", "rtl_433", 250000, 433920000, std::nullopt},
        {"my_capture_2.4G_2.048M.cs16", "rtl_433", 2048000, 2.4e9, std::nullopt},
        {"g001_433.92M.cu8", "", 0, std::nullopt, std::nullopt},
        {"g001_433.92M_999999999999999G.cu8", "", 0, 433920000, std::nullopt},
        {"gqrx_20231015_123456_433920000_2000000_fc.raw", "gqrx", 2000000, 433920000, kCaptureStart},
        {"gqrx_2023101_123456_433920000_2000000_fc.raw", "", 0, std::nullopt, std::nullopt},
        {"baseband_14074000Hz_12-34-56_15-10-2023.wav", "SDR++", 0, 14074000, kCaptureStart},
        {"baseband_14074000Hz_12-34_15-10-2023.wav", "", 0, std::nullopt, std::nullopt},
        {"Delhi.828.1.12k.iq.au", "KiwiSDR", 0, 828000, std::nullopt},
        {"sound.au", "", 0, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const IqFileName n = IqFileName::parse(c.name);
        EXPECT_EQ(n.convention, c.convention);
        EXPECT_EQ(n.sampleRate, c.rate);
        EXPECT_EQ(n.centerFreq, c.centerFreq);
        EXPECT_EQ(n.start, c.start);
    }
    EXPECT_EQ(SigmfMetadata::parseDateTime("2023-10-15T14:34:56+02:00"), kCaptureStart);
    EXPECT_EQ(SigmfMetadata::parseDateTime("2023-10-15 12:34:56Z"), std::nullopt);
    EXPECT_EQ(SigmfMetadata::parseDateTime("2023-13-15T12:34:56Z"), std::nullopt);
}

#ifdef KORVEL_TEST_DATA
// The real captures read exactly as their plain-WAV re-wraps of the same samples.
TEST(ForeignFormats, RealCapturesReadAsTheirWaveCopies)
{
    const std::string folder = std::string(KORVEL_TEST_DATA) + "/real-recordings";
    if (!std::filesystem::exists(folder + "/g001_433.92M_250k.cu8"))
        GTEST_SKIP() << "no shared test data";
    const std::pair<const char*, const char*> pairs[] = {
        {"g001_433.92M_250k.cu8", "converted/g001_433.92M_250k_u8.wav"},
        {"Delhi.828.1.12k.iq.au", "converted/Delhi.828.1.12k.iq.wav"},
    };
    for (const auto& [original, copy] : pairs) {
        SCOPED_TRACE(original);
        RecordingObject a, b;
        std::vector<std::string> lines;
        a.setRecordingFile(folder + "/" + original, lines);
        ASSERT_TRUE(a.isValidRecordingFile()) << lines.back();
        b.setRecordingFile(folder + "/" + copy, lines);
        ASSERT_TRUE(b.isValidRecordingFile());
        EXPECT_EQ(a.parameters().mSampleRate, b.parameters().mSampleRate);
        ASSERT_EQ(a.sampleCount(), b.sampleCount());
        std::vector<ComplexSample> x(static_cast<size_t>(a.sampleCount())), y(x.size());
        ASSERT_EQ(a.getData(x.data(), 0.0, a.sampleCount()), a.sampleCount());
        ASSERT_EQ(b.getData(y.data(), 0.0, b.sampleCount()), b.sampleCount());
        for (size_t k = 0; k < x.size(); ++k) {
            ASSERT_EQ(x[k].im, y[k].im) << k;
            ASSERT_EQ(x[k].re, y[k].re) << k;
        }
    }
}
#endif
