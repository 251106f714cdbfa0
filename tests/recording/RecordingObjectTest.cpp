#include "recording/RecordingObject.h"
#include "support/AllocationCounter.h"
#include "support/RecordingFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using fixtures::Encoding;
using fixtures::WaveFormat;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

namespace {

struct Opened {
    std::unique_ptr<RecordingObject> recording = std::make_unique<RecordingObject>();
    std::vector<std::string> lines;
};

Opened openFile(const fixtures::TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes)
{
    dir.write(name, bytes);
    Opened o;
    o.recording->setRecordingFolder(dir.path);
    o.recording->setRecordingFile(name, o.lines);
    return o;
}

// Reads `count` samples from sample index `first` and checks each against the fixture signal.
void expectSignal(RecordingObject& r, Encoding e, double atSecond, int64_t first, int64_t count)
{
    std::vector<ComplexSample> block(static_cast<size_t>(count));
    ASSERT_EQ(r.getData(block.data(), atSecond, count), count);
    for (int64_t k = 0; k < count; ++k) {
        const ComplexSample want = fixtures::expectedSample(e, first + k);
        ASSERT_EQ(block[k].im, want.im) << "I of sample " << first + k;
        ASSERT_EQ(block[k].re, want.re) << "Q of sample " << first + k;
    }
}

WaveFormat format(Encoding e, uint32_t rate, uint16_t channels = 2, bool extensible = false)
{
    WaveFormat f;
    f.encoding = e;
    f.sampleRate = rate;
    f.channels = channels;
    f.extensible = extensible;
    return f;
}

} // namespace

// Every layout with its derived parameters, information lines, first sample
// byte, and the samples at the start and one second in.
TEST(RecordingLayouts, EachLayoutDerivesItsParametersAndReadsItsSamples)
{
    struct Case {
        const char* what;
        std::string name;
        fixtures::Recording file;
        Encoding encoding;
        const char* layout;
        int32_t rate;
        double bandwidth, centerFreq;
        int32_t bits, seconds;
        int64_t start, end;
        uint64_t dataOffset;
        std::vector<std::string> lines;
    };
    const fixtures::SystemTime studioStart{2024, 3, 6, 9, 12, 34, 56, 0};
    const fixtures::SystemTime studioStop{2024, 3, 6, 9, 13, 0, 0, 0};
    fixtures::PerseusFields perseus;
    const std::vector<Case> cases = {
        {"SdrRadio 16 bit", "radio.wav",
         fixtures::sdrRadio(format(Encoding::Int16, 1000), 3500, fixtures::sdrRadioText(16, 1000, 7100000, 1700000000)),
         Encoding::Int16, "SdrRadio", 1000, 1000, 7100000, 16, 3, 1700000000, 1700000003, 0, {}},
        {"SdrRadio 24 bit, centre above 2^31 Hz", "radio24.wav",
         fixtures::sdrRadio(format(Encoding::Int24, 1000), 3500, fixtures::sdrRadioText(24, 1000, 2400000000, 1700000000)),
         Encoding::Int24, "SdrRadio", 1000, 1000, 2400000000.0, 24, 3, 1700000000, 1700000003, 0, {}},
        {"SDRSharp", "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(format(Encoding::Int16, 1000), 3500),
         Encoding::Int16, "SDRSharp", 1000, 1000, 7100000, 16, 3, 1388631845, 1388631848, 44, {"SDRSharp File"}},
        {"SdrSdrStudio1 rcvr", "studio1.wav", fixtures::sdrSdrStudio1(format(Encoding::Int16, 1000), 3500, 10000000, 1600000000),
         Encoding::Int16, "SdrSdrStudio1", 1000, 1000, 10000000, 16, 3, 1600000000, 1600000003, 90, {}},
        {"SdrSdrStudio1 auxi, 32 bits reported as 24", "studio1-32.wav",
         fixtures::sdrSdrStudio1(format(Encoding::Int32, 1000), 3500, 10000000, 1600000000, "auxi"),
         Encoding::Int32, "SdrSdrStudio1", 1000, 1000, 10000000, 24, 3, 1600000000, 1600000003, 90, {}},
        {"SdrSdrStudio2 24 bit", "studio2.wav",
         fixtures::sdrSdrStudio2(format(Encoding::Int24, 1000), 3500, 3500000, studioStart, studioStop),
         Encoding::Int24, "SdrSdrStudio2", 1000, 1000, 3500000, 24, 3, 1709987696, 1709989200, 216, {}},
        {"SdrSdrStudio2 16 bit rcvr", "studio2-16.wav",
         fixtures::sdrSdrStudio2(format(Encoding::Int16, 1000), 3500, 3500000, studioStart, studioStop, "rcvr"),
         Encoding::Int16, "SdrSdrStudio2", 1000, 1000, 3500000, 16, 3, 1709987696, 1709989200, 216, {}},
        {"Perseus 24 bit", "perseus.wav", fixtures::perseus(format(Encoding::Int24, 125000), 130000, perseus),
         Encoding::Int24, "Perseus", 125000, 100000, 7100000, 24, 1, 1700000000, 1700000001, 86, {}},
        {"SpectraVue", "spectravue.wav", fixtures::spectraVue(format(Encoding::Int16, 1000), 3500, {}),
         Encoding::Int16, "SpectraVue", 1000, 150000, 1000000, 16, 3, 1575158398, 1575158408, 118, {"Read Spectravue file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openFile(dir, c.name, c.file.bytes);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile());
        EXPECT_EQ(r.layoutName(), c.layout);
        EXPECT_EQ(r.parameters().mSampleRate, c.rate);
        EXPECT_EQ(r.parameters().mBandwidth, c.bandwidth);
        EXPECT_EQ(r.parameters().mCenterFreq, c.centerFreq);
        EXPECT_EQ(r.parameters().mBitsPerSample, c.bits);
        EXPECT_EQ(r.parameters().mNumSeconds, c.seconds);
        EXPECT_EQ(r.parameters().mStartTimestamp, c.start);
        EXPECT_EQ(r.endTimestamp(), c.end);
        EXPECT_EQ(r.dataOffset(), c.file.dataOffset);
        if (c.dataOffset != 0) {
            EXPECT_EQ(r.dataOffset(), c.dataOffset);
        }
        EXPECT_EQ(r.path(), dir.path + "/" + c.name);
        if (std::string(c.layout) != "Perseus") {
            EXPECT_EQ(o.lines, c.lines);
        }
        expectSignal(r, c.encoding, 0.0, 0, 5);
        expectSignal(r, c.encoding, 1.0, c.rate, 5);
    }
}

TEST(RecordingLayouts, PerseusListsItsHeaderAndTakesRateAndBandwidthFromTheIndex)
{
    fixtures::PerseusFields p;
    p.centerFrequencyHz = 6070000;
    p.samplingRateIdx = 2;
    p.timeStart = 1700000000; // 14 Nov 2023 22:13:20
    WaveFormat f = format(Encoding::Int16, 192000);
    fixtures::TempDir dir;
    const int64_t frames = 500000 * 2 + 10;
    Opened o = openFile(dir, "p.wav", fixtures::perseus(f, frames, p).bytes);
    RecordingObject& r = *o.recording;
    ASSERT_TRUE(r.isValidRecordingFile());
    EXPECT_EQ(r.parameters().mSampleRate, 500000);
    EXPECT_EQ(r.parameters().mBandwidth, 400000);
    EXPECT_EQ(r.parameters().mNumSeconds, 2);
    EXPECT_EQ(r.endTimestamp(), 1700000000 + (frames * 4) / (192000 * 4));
    EXPECT_THAT(o.lines, ElementsAreArray(std::vector<std::string>{
                             "Read Perseus file", "Channels: 2", "samples_per_sec: 192000",
                             "avg_bytes_per_sec: 768000", "bits_per_sample: 16", "nCenterFrequencyHz: 6070000",
                             "nSamplingRateIdx: 2", "timeStart: 1700000000", "11 14 123  22 13 20", "wAttenId: 2",
                             "bAdcPresel: 1", "bAdcPreamp: 0", "bAdcDither: -1", "data: data",
                             "data_len: " + std::to_string(frames * 4), "recSeconds: 5",
                             "waveheader samples_per_sec: 192000", "Bandwidth: 400000", "mBitsPerSample: 16",
                             "mSampleRate: 500000", "mBandwidth: 400000", "mCenterFreq: 6070000"}));
    // The 16-bit samples start at byte 86, not at the fixed 118.
    expectSignal(r, Encoding::Int16, 2.0, 1000000, 10);
}

TEST(RecordingLayouts, PerseusIndexOutsideTheTableKeepsTheFileRateAndNoBandwidth)
{
    fixtures::PerseusFields p;
    p.samplingRateIdx = 7;
    fixtures::TempDir dir;
    Opened o = openFile(dir, "p.wav", fixtures::perseus(format(Encoding::Int24, 1000), 2500, p).bytes);
    EXPECT_EQ(o.recording->parameters().mSampleRate, 1000);
    EXPECT_EQ(o.recording->parameters().mBandwidth, 0);
    EXPECT_EQ(o.recording->parameters().mNumSeconds, 2);
}

TEST(RecordingLayouts, PerseusOfAnotherWidthCountsSecondsFromItsData)
{
    fixtures::PerseusFields p;
    p.samplingRateIdx = 9;
    fixtures::TempDir dir;
    Opened o = openFile(dir, "p.wav", fixtures::perseus(format(Encoding::Int32, 1000), 2500, p).bytes);
    EXPECT_EQ(o.recording->parameters().mBitsPerSample, 32);
    EXPECT_EQ(o.recording->parameters().mNumSeconds, 2);
    expectSignal(*o.recording, Encoding::Int32, 2.0, 2000, 500);
}

// Every sample encoding, read through the format chunk of an SDRSharp file,
// which the layout takes to be 16-bit whatever it says.
TEST(RecordingSamples, EveryDeclaredFormatReadsIAndQAtTheRightIndex)
{
    struct Case {
        const char* what;
        WaveFormat f;
    };
    const std::vector<Case> cases = {
        {"8-bit unsigned", format(Encoding::UInt8, 1000)},
        {"16-bit", format(Encoding::Int16, 1000)},
        {"24-bit", format(Encoding::Int24, 1000)},
        {"32-bit integer", format(Encoding::Int32, 1000)},
        {"32-bit float", format(Encoding::Float32, 1000)},
        {"extensible 24-bit", format(Encoding::Int24, 1000, 2, true)},
        {"extensible float", format(Encoding::Float32, 1000, 2, true)},
        {"four channels, first two are I and Q", format(Encoding::Int16, 1000, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        const std::string name = "SDRSharp_20200101_000000Z_1000Hz_IQ.wav";
        Opened o = openFile(dir, name, fixtures::sdrSharp(c.f, 2500).bytes);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile());
        EXPECT_EQ(r.parameters().mBitsPerSample, c.f.bitsPerValue());
        EXPECT_EQ(r.parameters().mNumSeconds, 2);
        expectSignal(r, c.f.encoding, 0.0, 0, 2500);
        expectSignal(r, c.f.encoding, 1.5, 1500, 1000);
    }
}

TEST(RecordingSamples, ValuesScaleToSixteenBitUnits)
{
    struct Case {
        SampleFormat::Encoding encoding;
        std::vector<uint8_t> value;
        double expected;
    };
    const std::vector<Case> cases = {
        {SampleFormat::Encoding::Int16, {0x00, 0x80}, -32768.0},
        {SampleFormat::Encoding::Int16, {0xFF, 0x7F}, 32767.0},
        {SampleFormat::Encoding::Int24, {0xFF, 0xFF, 0xFF}, -0.00390625},
        {SampleFormat::Encoding::Int24, {0x00, 0x00, 0x80}, -32768.0},
        {SampleFormat::Encoding::Int24, {0xFF, 0xFF, 0x7F}, 32767.99609375},
        {SampleFormat::Encoding::Int32, {0x00, 0x00, 0x00, 0x80}, -32768.0},
        {SampleFormat::Encoding::Int32, {0x00, 0x80, 0x00, 0x00}, 0.5},
        {SampleFormat::Encoding::UInt8, {0x00}, -32768.0},
        {SampleFormat::Encoding::UInt8, {0xFF}, 32512.0},
        {SampleFormat::Encoding::UInt8, {0x80}, 0.0},
        {SampleFormat::Encoding::Float32, {0x00, 0x00, 0x80, 0xBF}, -32768.0},  // -1.0
        {SampleFormat::Encoding::Float32, {0x00, 0x00, 0xC0, 0x7F}, 0.0},       // NaN
        {SampleFormat::Encoding::Float32, {0x00, 0x00, 0x80, 0x7F}, 0.0},       // +infinity
        {SampleFormat::Encoding::Float32, {0x00, 0x00, 0x80, 0xFF}, 0.0},       // -infinity
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "encoding " << static_cast<int>(c.encoding) << ", first byte "
                                        << int(c.value[0]));
        const SampleFormat f(c.encoding, 2);
        std::vector<uint8_t> pair = c.value;
        pair.insert(pair.end(), c.value.begin(), c.value.end());
        ComplexSample out{1.0, 1.0};
        f.convert(pair.data(), 1, &out);
        EXPECT_EQ(out.im, c.expected);
        EXPECT_EQ(out.re, c.expected);
    }
}

TEST(RecordingSamples, SixteenBitBlocksConvertWholeAtAnyLength)
{
    // Pairs are converted two at a time: every length, odd ones included, and a
    // start at an odd byte address.
    std::vector<uint8_t> bytes(1 + 4 * 9);
    for (size_t i = 1; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(37 * i + 11);
    const SampleFormat f(SampleFormat::Encoding::Int16, 2);
    for (int count = 1; count <= 9; ++count) {
        std::vector<ComplexSample> out(count + 1, ComplexSample{7.0, 7.0});
        f.convert(bytes.data() + 1, count, out.data());
        for (int k = 0; k < count; ++k) {
            const uint8_t* p = bytes.data() + 1 + 4 * k;
            EXPECT_EQ(out[k].im, static_cast<int16_t>(p[0] | p[1] << 8)) << count << " " << k;
            EXPECT_EQ(out[k].re, static_cast<int16_t>(p[2] | p[3] << 8)) << count << " " << k;
        }
        EXPECT_EQ(out[count].im, 7.0) << count;
    }
}

TEST(RecordingSamples, ALargeBlockReadsThroughEveryInternalChunk)
{
    fixtures::TempDir dir;
    const int64_t frames = 300000; // several of the reader's internal chunks
    Opened o = openFile(dir, "r.wav",
                        fixtures::sdrRadio(format(Encoding::Int24, 100000), frames,
                                           fixtures::sdrRadioText(24, 100000, 1, 1)).bytes);
    expectSignal(*o.recording, Encoding::Int24, 0.0, 0, frames);
    expectSignal(*o.recording, Encoding::Int24, 0.12345, 12345, frames - 12345);
}

TEST(RecordingSamples, TheEndOfTheDataFillsOnlyTheSamplesThatExist)
{
    fixtures::TempDir dir;
    fixtures::Recording file = fixtures::sdrSdrStudio1(format(Encoding::Int16, 1000), 2100, 1, 1);
    // A chunk after the samples must not be read as samples.
    fixtures::Bytes trailer;
    trailer.id("LIST").u32(8).id("INFO").u32(0x7F7F7F7F);
    file.bytes.insert(file.bytes.end(), trailer.v.begin(), trailer.v.end());
    Opened o = openFile(dir, "s.wav", file.bytes);
    RecordingObject& r = *o.recording;
    EXPECT_EQ(r.parameters().mNumSeconds, 2);

    std::vector<ComplexSample> block(1000, ComplexSample{-7.0, -9.0});
    EXPECT_EQ(r.getData(block.data(), 2.0, 1000), 100);
    EXPECT_EQ(block[99].im, fixtures::expectedSample(Encoding::Int16, 2099).im);
    EXPECT_EQ(block[100].im, -7.0);
    EXPECT_EQ(block[999].re, -9.0);

    struct Case {
        double atSecond;
        int64_t samples;
    };
    for (Case c : {Case{2.1, 10}, Case{5.0, 10}, Case{-1.0, 10}, Case{std::nan(""), 10}, Case{1e300, 10},
                   Case{0.0, 0}, Case{0.0, -5}}) {
        SCOPED_TRACE(c.atSecond);
        EXPECT_EQ(r.getData(block.data(), c.atSecond, c.samples), 0);
        EXPECT_EQ(block[0].im, fixtures::expectedSample(Encoding::Int16, 2000).im);
    }
}

TEST(RecordingSamples, TheFirstIndexIsTheTruncatedRateTimesSeconds)
{
    fixtures::TempDir dir;
    Opened o = openFile(dir, "p.wav", fixtures::perseus(format(Encoding::Int24, 125000), 70000, {}).bytes);
    expectSignal(*o.recording, Encoding::Int24, 0.5, 62500, 3);
    expectSignal(*o.recording, Encoding::Int24, 0.50000799, 62500, 3);
}

// Without a "data" chunk the samples are taken from the fixed offsets.
TEST(RecordingSamples, WithoutADataChunkTheFixedOffsetsApply)
{
    fixtures::TempDir dir;
    fixtures::Recording spectra = fixtures::spectraVue(format(Encoding::Int16, 1000), 1500, {});
    std::memcpy(&spectra.bytes[110], "DATA", 4);
    Opened a = openFile(dir, "a.wav", spectra.bytes);
    EXPECT_EQ(a.recording->dataOffset(), 118u);
    expectSignal(*a.recording, Encoding::Int16, 1.0, 1000, 500);

    fixtures::Recording perseus = fixtures::perseus(format(Encoding::Int24, 1000), 1500, {.samplingRateIdx = 9});
    std::memcpy(&perseus.bytes[78], "DATA", 4);
    Opened b = openFile(dir, "b.wav", perseus.bytes);
    EXPECT_EQ(b.recording->dataOffset(), 86u);
    expectSignal(*b.recording, Encoding::Int24, 1.0, 1000, 500);
}

TEST(RecordingSizes, LengthsThatCannotDescribeTheDataCountSecondsToTheEndOfTheFile)
{
    struct Case {
        const char* what;
        size_t fieldOffset;
        uint32_t value;
        int32_t seconds;
    };
    // SpectraVue, 16-bit at 1000/s, 3.5 s of samples: RIFF length at 4, data length at 114.
    const std::vector<Case> cases = {
        {"RIFF length 0xFFFFFFFF", 4, 0xFFFFFFFF, 3},
        {"data length 0xFFFFFFFF", 114, 0xFFFFFFFF, 3},
        {"data length past the end", 114, 99999999, 3},
        {"RIFF length past the end", 4, 99999999, 3},
        {"data length shorter than the samples", 114, 2 * 4000 + 4, 2},
        // A recorder stopped by a crash leaves the RIFF length short or 0: the
        // data chunk, which fits the file, is the measure.
        {"RIFF length shorter than the samples", 4, 1 * 4000 + 100, 3},
        {"RIFF length 0", 4, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::Recording file = fixtures::spectraVue(format(Encoding::Int16, 1000), 3500, {});
        fixtures::patchU32(file.bytes, c.fieldOffset, c.value);
        fixtures::TempDir dir;
        Opened o = openFile(dir, "f.wav", file.bytes);
        EXPECT_EQ(o.recording->parameters().mNumSeconds, c.seconds);
    }
}

// A header claiming more samples than the file holds (a copy cut short) or
// 0 bytes before samples (a crashed recorder): what is there is read, the
// information says so, and time and memory follow the bytes present.
TEST(RecordingSizes, TheSamplesPresentAreReadWhateverTheHeaderClaims)
{
    // 16-bit at 1000/s, 3.5 s of samples (14000 bytes).
    const auto rf64 = [](uint64_t dataBytes) {
        fixtures::Recording file = fixtures::rf64File(format(Encoding::Int16, 1000), 3500);
        file.bytes.resize(file.dataOffset + 14000); // without its closing chunk
        fixtures::patchU32(file.bytes, 28, static_cast<uint32_t>(dataBytes));
        fixtures::patchU32(file.bytes, 32, static_cast<uint32_t>(dataBytes >> 32));
        return file.bytes;
    };
    const auto spectraVue = [](uint32_t dataBytes) {
        fixtures::Recording file = fixtures::spectraVue(format(Encoding::Int16, 1000), 3500, {});
        fixtures::patchU32(file.bytes, 114, dataBytes);
        return file.bytes;
    };
    const auto kiwi = [](std::vector<int> zeroed) {
        // 35 data chunks of 400 bytes, each after a "kiwi" chunk of 10.
        fixtures::Recording file = fixtures::kiwiFile(format(Encoding::Int16, 1000), 3500, 400);
        for (int k : zeroed)
            fixtures::patchU32(file.bytes, file.dataOffset - 4 + static_cast<size_t>(k) * 426, 0);
        return file.bytes;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint64_t missing;
        std::string line; // an information line saying what was found
    };
    const Case cases[] = {
        {"RF64 whole", rf64(14000), 0, ""},
        {"RF64 ten times the samples", rf64(140000), 126000, "Truncated: 126000 bytes"},
        {"RF64 1e12 times the samples", rf64(14000ull << 40), (14000ull << 40) - 14000, "Truncated"},
        {"RF64 size wrapping the chunk walk", rf64(~0ull - 3), ~0ull - 3 - 14000, "Truncated"},
        {"RIFF ten times the samples", spectraVue(140000), 126000, "Truncated: 126000 bytes"},
        {"RIFF length unknown", spectraVue(0xFFFFFFFF), 0, ""},
        {"RIFF data 0 bytes, samples after", spectraVue(0), 0, "1 data chunk states 0 bytes"},
        {"KiwiSDR one chunk of 0 bytes", kiwi({2}), 0, "1 data chunk states 0 bytes"},
        {"KiwiSDR first chunk of 0 bytes", kiwi({0}), 0, "1 data chunk states 0 bytes"},
        {"KiwiSDR two chunks and the last of 0 bytes", kiwi({2, 34}), 0, "2 data chunks state 0 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openFile(dir, "f.wav", c.bytes);
        ASSERT_TRUE(o.recording->isValidRecordingFile()) << (o.lines.empty() ? "" : o.lines.back());
        EXPECT_EQ(o.recording->parameters().mNumSeconds, 3);
        EXPECT_EQ(o.recording->sampleCount(), 3500);
        EXPECT_EQ(o.recording->missingBytes(), c.missing);
        const bool said = std::any_of(o.lines.begin(), o.lines.end(),
                                      [&](const std::string& l) { return !c.line.empty() && l.find(c.line) == 0; });
        EXPECT_EQ(said, !c.line.empty());
        expectSignal(*o.recording, Encoding::Int16, 3.0, 3000, 500);
    }
}

// Header numbers that cannot describe a recording are refused with a reason.
TEST(RecordingRefusals, UnusableHeaderNumbersAreRefusedWithAReason)
{
    struct Case {
        const char* what;
        std::string name;
        std::vector<uint8_t> bytes;
        std::vector<std::string> lines;
    };
    auto patched = [](fixtures::Recording r, size_t offset, uint32_t value) {
        fixtures::patchU32(r.bytes, offset, value);
        return r.bytes;
    };
    auto patched16 = [](fixtures::Recording r, size_t offset, uint16_t value) {
        fixtures::patchU16(r.bytes, offset, value);
        return r.bytes;
    };
    const WaveFormat f16 = format(Encoding::Int16, 1000);
    const std::vector<Case> cases = {
        {"SpectraVue rate 0", "a.wav", patched(fixtures::spectraVue(f16, 100, {}), 24, 0),
         {"Read Spectravue file", "Unsupported recording: sample rate 0"}},
        {"SpectraVue rate beyond 32 bits signed", "a.wav", patched(fixtures::spectraVue(f16, 100, {}), 24, 0x80000000),
         {"Read Spectravue file", "Unsupported recording: sample rate 2147483648"}},
        // One second of it would not fit in memory for playback.
        {"SpectraVue rate beyond any receiver", "a.wav", patched(fixtures::spectraVue(f16, 100, {}), 24, 0x7FFFFFFF),
         {"Read Spectravue file", "Unsupported recording: sample rate 2147483647"}},
        {"SDRSharp rate 0", "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", patched(fixtures::sdrSharp(f16, 100), 24, 0),
         {"SDRSharp File", "Unsupported recording: sample rate 0"}},
        {"SdrRadio rate 0", "a.wav", fixtures::sdrRadio(f16, 100, fixtures::sdrRadioText(16, 0, 1, 1)).bytes,
         {"Unsupported recording: sample rate 0"}},
        {"SdrRadio negative rate", "a.wav", fixtures::sdrRadio(f16, 100, fixtures::sdrRadioText(16, -48000, 1, 1)).bytes,
         {"Unsupported recording: sample rate -48000"}},
        {"SdrSdrStudio1 rate 0", "a.wav", patched(fixtures::sdrSdrStudio1(f16, 100, 1, 1), 24, 0),
         {"Unsupported recording: sample rate 0"}},
        {"SdrSdrStudio2 width 0", "a.wav", patched16(fixtures::sdrSdrStudio2(f16, 100, 1, {}, {}), 34, 0),
         {"Unsupported recording: 0 bits per sample"}},
        {"empty file", "a.wav", {}, {"Unsupported recording: the file is empty"}},
        {"27 bytes", "a.wav", std::vector<uint8_t>(27, 'x'),
         {"Unsupported recording: the file is too short to be a recording (27 bytes)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openFile(dir, c.name, c.bytes);
        RecordingObject& r = *o.recording;
        EXPECT_FALSE(r.isValidRecordingFile());
        EXPECT_EQ(r.layoutName(), "");
        EXPECT_EQ(o.lines, c.lines);
        ComplexSample s{5.0, 5.0};
        EXPECT_EQ(r.getData(&s, 0.0, 1), 0);
        EXPECT_EQ(r.TimestampFromOffset(0), "");
    }
    fixtures::TempDir dir;
    Opened perseus = openFile(dir, "p.wav",
                              patched(fixtures::perseus(f16, 100, {.samplingRateIdx = -1}), 24, 0));
    EXPECT_FALSE(perseus.recording->isValidRecordingFile());
    EXPECT_EQ(perseus.lines.front(), "Read Perseus file");
    EXPECT_EQ(perseus.lines.back(), "Unsupported recording: sample rate 0");
}

// Damaged headers never read outside what was read, and fall to the next layout.
TEST(RecordingRefusals, DamagedHeadersAreReadSafely)
{
    struct Case {
        const char* what;
        std::string name;
        std::vector<uint8_t> bytes;
        const char* layout;
        std::optional<double> centerFreq; // unset where the fallback reads whatever the bytes say
        std::optional<int64_t> start;
    };
    const WaveFormat f16 = format(Encoding::Int16, 1000);
    fixtures::Recording negativeAuxi = fixtures::sdrRadio(f16, 100, fixtures::sdrRadioText(16, 1000, 5, 5));
    fixtures::patchU32(negativeAuxi.bytes, 42, static_cast<uint32_t>(-40));
    fixtures::Recording zeroByteRate = fixtures::perseus(f16, 100, {});
    fixtures::patchU32(zeroByteRate.bytes, 28, 0);
    const std::vector<Case> cases = {
        {"SdrRadio with a negative auxi length", "a.wav", negativeAuxi.bytes, "WAV", {}, {}},
        {"SdrRadio key at the very end of the text", "a.wav",
         fixtures::sdrRadio(f16, 100, "BitsPerSample=\"16\" BytesPerSecond=\"4000\" RadioCenterFreq=\"9\" "
                                      "SampleRate=\"1000\" UTCSeconds=").bytes,
         "SdrRadio", 9, 0},
        {"SdrRadio unquoted value loses its first digit", "a.wav",
         fixtures::sdrRadio(f16, 100, "BitsPerSample=\"16\" BytesPerSecond=\"4000\" RadioCenterFreq=17100000 "
                                      "SampleRate=\"1000\" UTCSeconds=\"60\"").bytes,
         "SdrRadio", 7100000, 60},
        {"SdrRadio without UTCSeconds is read as a plain WAV", "a.wav",
         fixtures::sdrRadio(f16, 100, "BitsPerSample=\"16\" BytesPerSecond=\"4000\" RadioCenterFreq=\"9\" "
                                      "SampleRate=\"1000\"").bytes,
         "WAV", {}, {}},
        {"SDRSharp name shorter than its pattern", "SDRSharp_2014", fixtures::sdrSharp(f16, 100).bytes, "SDRSharp", 0,
         1385769600},
        {"SDRSharp name of the prefix alone", "SDRSharp_", fixtures::sdrSharp(f16, 100).bytes, "SDRSharp", 0,
         -62169984000},
        {"Perseus byte rate 0", "a.wav", zeroByteRate.bytes, "Perseus", 7100000, 1700000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openFile(dir, c.name, c.bytes);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile());
        EXPECT_EQ(r.layoutName(), c.layout);
        if (c.centerFreq) {
            EXPECT_EQ(r.parameters().mCenterFreq, *c.centerFreq);
        }
        if (c.start) {
            EXPECT_EQ(r.parameters().mStartTimestamp, *c.start);
        }
    }
}

// Files cut short inside their header, in every layout: no read goes past the
// bytes that exist, and what is taken reads only complete samples.
TEST(RecordingRefusals, TruncatedFilesOfEveryLayoutAreReadSafely)
{
    const WaveFormat f24 = format(Encoding::Int24, 1000);
    const std::vector<std::pair<std::string, fixtures::Recording>> files = {
        {"r.wav", fixtures::sdrRadio(f24, 10, fixtures::sdrRadioText(24, 1000, 1, 1))},
        {"SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(f24, 10)},
        {"s1.wav", fixtures::sdrSdrStudio1(f24, 10, 1, 1)},
        {"s2.wav", fixtures::sdrSdrStudio2(f24, 10, 1, {}, {})},
        {"p.wav", fixtures::perseus(f24, 10, {})},
        {"v.wav", fixtures::spectraVue(f24, 10, {})},
    };
    for (const auto& [name, file] : files) {
        for (size_t size = 0; size <= file.bytes.size(); size += 7) {
            SCOPED_TRACE(name + " cut to " + std::to_string(size));
            fixtures::TempDir dir;
            Opened o = openFile(dir, name, {file.bytes.begin(), file.bytes.begin() + size});
            std::vector<ComplexSample> block(20);
            const int64_t got = o.recording->getData(block.data(), 0.0, 20);
            if (o.recording->isValidRecordingFile()) {
                EXPECT_LE(got, static_cast<int64_t>((size - std::min<size_t>(size, o.recording->dataOffset())) / 6));
            } else {
                EXPECT_EQ(got, 0);
            }
        }
    }
}

TEST(RecordingOpening, NamesResolveAgainstTheFolderAndSDRSharpIsKnownByItsOwnName)
{
    fixtures::TempDir dir;
    const std::string name = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";
    const std::string full = dir.write(name, fixtures::sdrSharp(format(Encoding::Int16, 1000), 100).bytes);

    RecordingObject r;
    std::vector<std::string> lines;
    r.setRecordingFolder("/nonexistent-folder");
    r.setRecordingFile(full, lines);
    EXPECT_EQ(r.path(), full);
    EXPECT_EQ(r.layoutName(), "SDRSharp");
    EXPECT_EQ(r.parameters().mCenterFreq, 7100000);

    r.setRecordingFile(name, lines);
    EXPECT_FALSE(r.isValidRecordingFile());
    EXPECT_EQ(r.path(), "/nonexistent-folder/" + name);
    EXPECT_THAT(lines, ElementsAre("Can't open file: No such file or directory"));

    r.setRecordingFolder(dir.path);
    r.setRecordingFile(name, lines);
    EXPECT_TRUE(r.isValidRecordingFile());
    EXPECT_THAT(lines, ElementsAre("SDRSharp File"));
}

TEST(RecordingLayouts, APlainWaveFileTakesItsBandFromTheRateNotFromItsSamples)
{
    // Not named like an SDRSharp recording, so it falls through to the last layout,
    // whose receiver fields would be read from the first samples.
    fixtures::TempDir dir;
    const std::string full = dir.write("iq.wav", fixtures::sdrSharp(format(Encoding::Int16, 48000), 96000).bytes);
    RecordingObject r;
    std::vector<std::string> lines;
    r.setRecordingFile(full, lines);
    ASSERT_TRUE(r.isValidRecordingFile());
    EXPECT_EQ(r.layoutName(), "WAV");
    EXPECT_EQ(r.parameters().mBandwidth, 48000.0);
    EXPECT_EQ(r.parameters().mCenterFreq, 0.0);
    EXPECT_EQ(r.parameters().mStartTimestamp, 0);
    EXPECT_EQ(r.parameters().mNumSeconds, 2);
    EXPECT_THAT(lines, ElementsAre("Read WAV file", "No receiver information: centre frequency and start time unknown"));
}

TEST(RecordingOpening, AFileThatCannotBeOpenedKeepsThePreviousParametersButNoRecording)
{
    fixtures::TempDir dir;
    Opened o = openFile(dir, "a.wav", fixtures::sdrSdrStudio1(format(Encoding::Int16, 1000), 3000, 777, 1234).bytes);
    RecordingObject& r = *o.recording;
    const std::string link = dir.path + "/dangling.wav";
    ASSERT_EQ(::symlink((dir.path + "/gone.wav").c_str(), link.c_str()), 0);
    const std::string fifo = dir.path + "/fifo.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Each says what the path is, so the user can tell the cases apart.
    const std::pair<std::string, std::string> cases[] = {
        {dir.path + "/missing.wav", "Can't open file: No such file or directory"},
        {dir.path, "Can't open file: it is a folder"},
        {link, "Can't open file: it is a link to a missing file"},
        {fifo, "Can't open file: it is a pipe (FIFO), not a file"},
    };
    for (const auto& [bad, line] : cases) {
        SCOPED_TRACE(bad);
        r.setRecordingFile(bad, o.lines);
        EXPECT_FALSE(r.isValidRecordingFile());
        EXPECT_THAT(o.lines, ElementsAre(line));
        EXPECT_EQ(r.parameters().mSampleRate, 1000);
        EXPECT_EQ(r.parameters().mCenterFreq, 777);
        EXPECT_EQ(r.parameters().mNumSeconds, 3);
        ComplexSample s;
        EXPECT_EQ(r.getData(&s, 0.0, 1), 0);
        EXPECT_EQ(r.UnixTimestampFromOffset(5), 0);
    }
}

// open() gives the failure as an error of the kind a caller acts on, with
// the line the user reads.
TEST(RecordingOpening, OpenReturnsTheFailureAsItsError)
{
    fixtures::TempDir dir;
    dir.write("mono.wav", fixtures::kiwiFile(format(Encoding::Int16, 1000, 1), 2000, 1 << 20).bytes);
    dir.write("good.wav", fixtures::kiwiFile(format(Encoding::Int16, 1000), 2000, 1 << 20).bytes);
    struct Case {
        const char* name;
        std::optional<ErrorKind> kind;
        const char* line;
    };
    const Case cases[] = {
        {"missing.wav", ErrorKind::NotFound, "Can't open file: No such file or directory"},
        {"", ErrorKind::Io, "Can't open file: it is a folder"},
        {"mono.wav", ErrorKind::Unsupported, "Unsupported recording: not an I/Q recording (1 channel)"},
        {"good.wav", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingObject r;
        r.setRecordingFolder(dir.path);
        std::vector<std::string> lines;
        const Status opened = r.open(c.name, lines);
        EXPECT_EQ(opened.has_value(), r.isValidRecordingFile());
        if (!c.kind) {
            EXPECT_TRUE(opened);
            continue;
        }
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().kind(), *c.kind);
        EXPECT_EQ(opened.error().message(), c.line);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.line);
    }
}

TEST(RecordingOpening, ASecondOpenReplacesEveryParameter)
{
    fixtures::TempDir dir;
    RecordingObject r;
    std::vector<std::string> lines;
    r.setRecordingFolder(dir.path);
    dir.write("a.wav", fixtures::sdrSdrStudio2(format(Encoding::Int24, 2000), 6000, 5000000, {}, {}).bytes);
    dir.write("b.wav", fixtures::spectraVue(format(Encoding::Int16, 1000), 1000, {}).bytes);
    r.setRecordingFile("a.wav", lines);
    r.setRecordingFile("b.wav", lines);
    EXPECT_EQ(r.layoutName(), "SpectraVue");
    EXPECT_EQ(r.parameters().mSampleRate, 1000);
    EXPECT_EQ(r.parameters().mBandwidth, 150000);
    EXPECT_EQ(r.parameters().mCenterFreq, 1000000);
    EXPECT_EQ(r.parameters().mBitsPerSample, 16);
    EXPECT_EQ(r.parameters().mNumSeconds, 1);
    EXPECT_EQ(r.parameters().mStartTimestamp, 1575158398);
    EXPECT_EQ(r.dataOffset(), 118u);
    EXPECT_THAT(lines, ElementsAre("Read Spectravue file"));
    expectSignal(r, Encoding::Int16, 0.0, 0, 1000);
}

TEST(RecordingOpening, OpeningInOneObjectLeavesAnotherAlone)
{
    fixtures::TempDir dir;
    Opened a = openFile(dir, "a.wav", fixtures::sdrSdrStudio1(format(Encoding::Int16, 1000), 3000, 1, 1).bytes);
    Opened b = openFile(dir, "b.wav", fixtures::sdrSdrStudio2(format(Encoding::Int24, 48000), 50000, 2, {}, {}).bytes);
    EXPECT_EQ(a.recording->parameters().mSampleRate, 1000);
    expectSignal(*a.recording, Encoding::Int16, 2.0, 2000, 100);
    expectSignal(*b.recording, Encoding::Int24, 1.0, 48000, 100);
}

// The header check that lists a folder takes exactly the files that open,
// and says nothing while it looks.
TEST(RecordingOpening, TheHeaderCheckTakesWhatOpensAndRefusesAudioAndOtherFiles)
{
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        bool recording;
    };
    const WaveFormat f16 = format(Encoding::Int16, 1000);
    const WaveFormat music = format(Encoding::Int16, 44100, 1);
    const std::string notes = "Listened to 7030 kHz at 16:40; more tomorrow.\n";
    const std::vector<Case> cases = {
        {"SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(f16, 1500).bytes, true},
        {"radio.wav", fixtures::sdrRadio(f16, 1500, fixtures::sdrRadioText(16, 1000, 7100000, 1)).bytes, true},
        {"studio1.wav", fixtures::sdrSdrStudio1(f16, 1500, 1, 1).bytes, true},
        {"studio2.wav", fixtures::sdrSdrStudio2(f16, 1500, 1, {}, {}).bytes, true},
        {"perseus.wav", fixtures::perseus(f16, 1500, {}).bytes, true},
        {"spectravue.wav", fixtures::spectraVue(f16, 1500, {}).bytes, true},
        {"iq.wav", fixtures::sdrSharp(f16, 1500).bytes, true},
        {"notes.txt", {notes.begin(), notes.end()}, false},
        {"music.wav",
         fixtures::riffFile({{"fmt ", fixtures::fmtPayload(music, 16)}}, std::vector<uint8_t>(88200)).bytes, false},
        {"SDRSharp_20140102_030405Z_7100000Hz_mono.wav",
         fixtures::sdrSharp(format(Encoding::Int16, 1000, 1), 1500).bytes, false},
        {"empty.wav", {}, false},
    };
    fixtures::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(c.name, c.bytes);
        testing::internal::CaptureStderr();
        const bool listed = RecordingObject::isRecordingFile(path);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(listed, c.recording);
        RecordingObject r;
        std::vector<std::string> lines;
        r.setRecordingFile(path, lines);
        EXPECT_EQ(r.isValidRecordingFile(), c.recording);
    }
    EXPECT_FALSE(RecordingObject::isRecordingFile(dir.path));
    EXPECT_FALSE(RecordingObject::isRecordingFile(dir.path + "/missing.wav"));

    RecordingObject r;
    std::vector<std::string> lines;
    r.setRecordingFile(dir.path + "/music.wav", lines);
    EXPECT_THAT(lines, ElementsAre("Unsupported recording: not an I/Q recording (1 channel)"));
}

TEST(RecordingTimestamps, OffsetsFormatAsUtcWithEnglishMonths)
{
    fixtures::SpectraVueFields epoch;
    epoch.start = {1970, 1, 0, 1, 0, 0, 0, 0};
    fixtures::TempDir dir;
    Opened o = openFile(dir, "e.wav", fixtures::spectraVue(format(Encoding::Int16, 1000), 10, epoch).bytes);
    RecordingObject& r = *o.recording;
    EXPECT_EQ(r.parameters().mStartTimestamp, 0);
    EXPECT_EQ(r.TimestampFromOffset(3661), "01-Jan-1970 01:01:01");
    EXPECT_EQ(r.FileTimestampFromOffset(3661), "01-Jan-1970 01.01.01");
    EXPECT_EQ(r.UnixTimestampFromOffset(3661), 3661);
    EXPECT_EQ(r.TimestampFromOffset(-1), "31-Dec-1969 23:59:59");

    Opened s = openFile(dir, "SDRSharp_20261205_163935Z_1Hz.wav", fixtures::sdrSharp(format(Encoding::Int16, 1000), 10).bytes);
    EXPECT_EQ(s.recording->TimestampFromOffset(0), "05-Dec-2026 16:39:35");
    EXPECT_EQ(s.recording->FileTimestampFromOffset(86400 * 60), "03-Feb-2027 16.39.35");
}

// Samples in a form that cannot be I and Q are refused, naming what the file
// declares, instead of being read as 16- or 24-bit pairs.
TEST(RecordingRefusals, DeclaredFormatsThatAreNotIqAreNamed)
{
    struct Case {
        const char* what;
        uint16_t tag;
        uint16_t channels;
        uint16_t bits;
        const char* line;
    };
    const Case cases[] = {
        {"MP3", 0x0055, 2, 0, "unsupported sample format: format tag 0x0055 (MP3), not PCM or float"},
        {"an unknown codec", 0x1234, 2, 16, "unsupported sample format: format tag 0x1234, not PCM or float"},
        {"12-bit PCM", 0x0001, 2, 12, "unsupported sample format: 12-bit PCM (format tag 0x0001)"},
        {"64-bit float", 0x0003, 2, 64, "unsupported sample format: 64-bit float (format tag 0x0003)"},
        {"no channels", 0x0001, 0, 16, "not an I/Q recording (0 channels)"},
        {"17 channels", 0x0001, 17, 16, "not an I/Q recording (17 channels)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::Recording file = fixtures::sdrSharp(format(Encoding::Int16, 1000), 2000);
        // The "fmt " payload follows the 12-byte RIFF header and its own 8 bytes.
        fixtures::patchU16(file.bytes, 20, c.tag);
        fixtures::patchU16(file.bytes, 22, c.channels);
        fixtures::patchU16(file.bytes, 34, c.bits);
        fixtures::TempDir dir;
        Opened o = openFile(dir, "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", file.bytes);
        EXPECT_FALSE(o.recording->isValidRecordingFile());
        const std::string refusal = std::string("Unsupported recording: ") + c.line;
        // A channel count that cannot be I/Q is refused before any layout is tried.
        if (c.channels == 2)
            EXPECT_THAT(o.lines, ElementsAre("SDRSharp File", refusal));
        else
            EXPECT_THAT(o.lines, ElementsAre(refusal));
    }
}

// Samples spread over many "data" chunks with other chunks between them read
// as one run, also across a chunk boundary inside a sample and across the
// model's internal read size.
TEST(RecordingChunks, EveryDataChunkIsReadInOrderAndOtherChunksAreSkipped)
{
    struct Case {
        const char* what;
        WaveFormat f;
        uint32_t chunkBytes;
        int64_t frames;
    };
    const std::vector<Case> cases = {
        {"KiwiSDR blocks of 512 samples", format(Encoding::Int16, 12001), 2048, 36500},
        {"samples straddling chunks", format(Encoding::Int24, 1000), 1000, 3500},
        {"one sample a chunk, 8-bit", format(Encoding::UInt8, 1000), 2, 2500},
        {"blocks larger than one internal read", format(Encoding::Int16, 100000), 300000, 250000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        const fixtures::Recording file = fixtures::kiwiFile(c.f, c.frames, c.chunkBytes);
        Opened o = openFile(dir, "k.wav", file.bytes);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile());
        EXPECT_EQ(r.dataOffset(), file.dataOffset);
        EXPECT_EQ(r.sampleCount(), c.frames);
        EXPECT_EQ(r.parameters().mNumSeconds, c.frames / c.f.sampleRate);
        expectSignal(r, c.f.encoding, 0.0, 0, c.frames);
        expectSignal(r, c.f.encoding, 1.0, c.f.sampleRate, c.frames - c.f.sampleRate);
        std::vector<ComplexSample> block(static_cast<size_t>(c.frames));
        const AllocationCounter allocations;
        EXPECT_EQ(r.getData(block.data(), 0.0, c.frames), c.frames);
        EXPECT_EQ(r.getData(block.data(), (c.frames - 2.5) / c.f.sampleRate, 10), 3);
        EXPECT_EQ(allocations.Count(), 0u);
    }

    // A copy cut short inside its last chunk keeps what is there.
    fixtures::TempDir dir;
    std::vector<uint8_t> cut = fixtures::kiwiFile(format(Encoding::Int16, 1000), 3000, 2048).bytes;
    cut.resize(cut.size() - 1000);
    Opened o = openFile(dir, "cut.wav", cut);
    ASSERT_TRUE(o.recording->isValidRecordingFile());
    EXPECT_EQ(o.recording->sampleCount(), 3000 - 250);
    expectSignal(*o.recording, Encoding::Int16, 0.0, 0, 2750);
}

// Reading by sample index gives exactly the samples from that index, also
// where it falls inside a second, inside a data chunk or across one's end.
TEST(RecordingSamples, ReadingByIndexStartsAtExactlyThatSample)
{
    struct Case {
        const char* what;
        fixtures::Recording file;
        Encoding encoding;
        int64_t start;
        int64_t count;
        int64_t filled;
    };
    const WaveFormat kiwi = format(Encoding::Int16, 12001);
    const std::vector<Case> cases = {
        {"KiwiSDR, mid-second and across a chunk's end", fixtures::kiwiFile(kiwi, 36500, 2048), Encoding::Int16,
         12001 + 6000 + 511, 700, 700},
        {"KiwiSDR, the last samples", fixtures::kiwiFile(kiwi, 36500, 2048), Encoding::Int16, 36497, 10, 3},
        {"Perseus, 24-bit, one sample before a second", fixtures::perseus(format(Encoding::Int24, 125000), 260000, {}),
         Encoding::Int24, 124999, 5, 5},
        {"plain WAV, a rate whose seconds are inexact", fixtures::kiwiFile(format(Encoding::Int16, 44100), 50000, 1 << 20),
         Encoding::Int16, 44099, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openFile(dir, "k.wav", c.file.bytes);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile());
        std::vector<ComplexSample> block(static_cast<size_t>(c.count));
        const AllocationCounter allocations;
        const Result<int64_t> got = r.read(c.start, c.count, block.data());
        EXPECT_EQ(allocations.Count(), 0u);
        ASSERT_TRUE(got);
        ASSERT_EQ(*got, c.filled);
        for (int64_t k = 0; k < c.filled; ++k) {
            const ComplexSample want = fixtures::expectedSample(c.encoding, c.start + k);
            ASSERT_EQ(block[k].im, want.im) << "I of sample " << c.start + k;
            ASSERT_EQ(block[k].re, want.re) << "Q of sample " << c.start + k;
        }
        for (int64_t start : {int64_t{-1}, r.sampleCount(), INT64_MAX}) {
            const Result<int64_t> none = r.read(start, c.count, block.data());
            ASSERT_TRUE(none);
            EXPECT_EQ(*none, 0);
        }
    }

    RecordingObject closed;
    ComplexSample one{};
    const Result<int64_t> got = closed.read(0, 1, &one);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().kind(), ErrorKind::InvalidArgument);
}

// Only RIFF/WAVE files are recordings; anything else is named, not read as
// whatever its bytes would give.
TEST(RecordingRefusals, AFileThatIsNotWaveIsRefusedSayingWhatItIs)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string line;
    };
    // Raw 8-bit samples whose bytes 24 to 27 read as 48000.
    std::vector<uint8_t> raw(4096, 127);
    fixtures::patchU32(raw, 24, 48000);
    fixtures::Bytes au;
    au.id(".snd").zeros(4092);
    std::vector<uint8_t> avi = fixtures::spectraVue(format(Encoding::Int16, 1000), 100, {}).bytes;
    std::memcpy(&avi[8], "AVI ", 4);
    const std::vector<Case> cases = {
        {"raw samples", raw,
         "Unsupported recording: not a WAV file (no RIFF/WAVE header: raw samples, such as .cu8 or .bin captures, are "
         "not read)"},
        {"Sun audio", au.v, "Unsupported recording: not a WAV file (a Sun/NeXT .au audio file)"},
        {"another RIFF type", avi, "Unsupported recording: not a WAV file (a RIFF file of type \"AVI \")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        Opened o = openFile(dir, "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", c.bytes);
        EXPECT_FALSE(o.recording->isValidRecordingFile());
        EXPECT_THAT(o.lines, ElementsAre(c.line));
        EXPECT_FALSE(RecordingObject::isRecordingFile(dir.path + "/SDRSharp_20140102_030405Z_7100000Hz_IQ.wav"));
    }
}

// Centre frequency and start time from the receiver programs' file names.
TEST(RecordingNames, FrequencyAndStartComeFromTheNamesReceiverProgramsWrite)
{
    struct Case {
        std::string name;
        double centerFreq;
        int64_t start; // -1: unknown
        std::string line;
        std::string fileTimestamp; // of second 3725, as timestamped WAV names use it
    };
    const std::vector<Case> cases = {
        {"SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", 7100000, 1388631845, "SDRSharp File", "02-Jan-2014 04.06.10"},
        {"SDRSharp_20130919_004154Z_14053kHz_IQ.wav", 14053000, 1379551314, "SDRSharp File", "19-Sep-2013 01.43.59"},
        {"SDRSharp_20130919_004154Z_14.0535MHz_IQ.wav", 14053500, 1379551314, "SDRSharp File", "19-Sep-2013 01.43.59"},
        {"SDRSharp_20130919_004154Z_7100_IQ.wav", 7100, 1379551314, "SDRSharp File", "19-Sep-2013 01.43.59"},
        {"20171127T104156Z_77500_HB9RYZ_iq.wav", 77500, 1511779316,
         "KiwiSDR file: centre frequency and start time from its name", "27-Nov-2017 11.44.01"},
        {"20171127T104156Z_77500_iq.wav", 77500, 1511779316,
         "KiwiSDR file: centre frequency and start time from its name", "27-Nov-2017 11.44.01"},
        {"20171127T104156Z_HB9RYZ_iq.wav", 0, -1, "No receiver information: centre frequency and start time unknown",
         "20171127T104156Z_HB9RYZ_iq +01.02.05"},
        {"capture.wav", 0, -1, "No receiver information: centre frequency and start time unknown",
         "capture +01.02.05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fixtures::TempDir dir;
        Opened o = openFile(dir, c.name, fixtures::kiwiFile(format(Encoding::Int16, 1000), 2000, 2048).bytes);
        RecordingObject& r = *o.recording;
        ASSERT_TRUE(r.isValidRecordingFile());
        EXPECT_EQ(r.parameters().mCenterFreq, c.centerFreq);
        EXPECT_EQ(r.startTimeKnown(), c.start >= 0);
        EXPECT_EQ(r.parameters().mStartTimestamp, std::max<int64_t>(c.start, 0));
        EXPECT_EQ(o.lines.back(), c.line);
        // Named as what it is: a KiwiSDR recording by its name, else a plain WAV.
        const std::string layout = c.line.starts_with("KiwiSDR") ? "KiwiSDR WAV"
                                   : c.line.starts_with("SDRSharp") ? "SDRSharp" : "WAV";
        EXPECT_EQ(r.layoutName(), layout);
        if (layout != "SDRSharp") {
            EXPECT_EQ(o.lines.front(), "Read " + layout + " file");
        }
        EXPECT_EQ(r.FileTimestampFromOffset(3725), c.fileTimestamp);
        EXPECT_TRUE(RecordingObject::isRecordingFile(dir.path + "/" + c.name)); // listed in the file list
    }
}
