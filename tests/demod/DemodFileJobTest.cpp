#include "DemodTestSupport.h"

#include "demod/DemodFileJob.h"
#include "support/AllocationCounter.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <numeric>
#include <sys/resource.h>

using namespace demodtest;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | uint32_t(b.at(at + 3)) << 24;
}
uint16_t u16At(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }

size_t entriesIn(const fs::path& folder)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

// A configured AM set-up of a station at 7110 kHz in a recording of `rate` S/s.
struct AmJob {
    explicit AmJob(int32_t rate, int32_t seconds, int32_t start, int32_t end, int32_t recordedSeconds = -1)
        : setup(DemodSetup::fromFields(selection(start, end, 7105, 7115), kDemodAM, recordingAt(rate, seconds)))
        , feeder(source(amStation(10000, 4000, 1000, 0.5), rate, recordedSeconds < 0 ? seconds : recordedSeconds),
                 rate)
    {
        setup.configure(demod);
    }
    DemodSetup setup;
    DemodulatorObject demod;
    DemodSecondFeeder feeder;
};

} // namespace

TEST(DemodFileJob, WritesAWholeWavFileThroughATemporaryName)
{
    fixtures::TempDir dir;
    const fs::path folder = fs::path(dir.path) / "Documents";
    fs::create_directory(folder);
    AmJob am(96000, 5, 1, 4);
    std::vector<int32_t> marks;
    DemodFileJob job(am.demod, am.feeder, 1, 4, folder.string(), DemodFileJob::kFixedFileName);
    job.setProgress([&](int32_t next) {
        marks.push_back(next);
        EXPECT_EQ(entriesIn(folder), 1u); // only the temporary file while running
        EXPECT_FALSE(fs::exists(folder / DemodFileJob::kFixedFileName));
    });
    const DemodFileJob::Result result = job.run();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.path, (folder / "DemodOutput.wav").string());
    EXPECT_EQ(marks, (std::vector<int32_t>{2, 3, 4}));
    EXPECT_EQ(entriesIn(folder), 1u);
    // Readable as any new file is, not private like the temporary it was.
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(result.path).permissions()), 0666 & ~mask);

    const std::vector<uint8_t> wav = readFile(result.path);
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(u32At(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32At(wav, 16), 16u);
    EXPECT_EQ(u16At(wav, 20), 1);
    EXPECT_EQ(u16At(wav, 22), 1);
    EXPECT_EQ(u32At(wav, 24), 44100u);
    EXPECT_EQ(u32At(wav, 28), 88200u);
    EXPECT_EQ(u16At(wav, 32), 2);
    EXPECT_EQ(u16At(wav, 34), 16);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(u32At(wav, 40), wav.size() - 44);
    EXPECT_EQ(static_cast<int64_t>(wav.size() - 44), 2 * result.audioSamples);
    EXPECT_EQ(result.audioSamples, 3 * 44100);

    std::vector<int16_t> audio;
    for (size_t i = 44; i + 1 < wav.size(); i += 2)
        audio.push_back(static_cast<int16_t>(u16At(wav, i)));
    EXPECT_GT(toneShare(audio, 44100.0, 1000.0, 44100, 22050), 0.95);
}

TEST(DemodFileJob, ReplacesAnExistingFileAndAlwaysDoesAtLeastOneSecond)
{
    fixtures::TempDir dir;
    dir.write("DemodOutput.wav", std::vector<uint8_t>(100000, 7));
    AmJob am(48000, 3, 2, 1);
    DemodFileJob job(am.demod, am.feeder, 2, 1, dir.path, DemodFileJob::kFixedFileName);
    const DemodFileJob::Result result = job.run();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.audioSamples, 44100);
    EXPECT_EQ(fs::file_size(result.path), 44 + 2 * static_cast<uint64_t>(result.audioSamples));
    EXPECT_EQ(entriesIn(dir.path), 1u);
}

// A mistyped folder is refused rather than created.
TEST(DemodFileJob, AFolderThatDoesNotExistIsReportedAndLeavesNothing)
{
    fixtures::TempDir dir;
    const std::string blocker = dir.write("Documents", {1, 2, 3});
    for (const std::string& folder : {dir.path + "/missing/sub", blocker, blocker + "/sub"}) {
        AmJob am(48000, 2, 0, 2);
        DemodFileJob job(am.demod, am.feeder, 0, 2, folder, DemodFileJob::kFixedFileName);
        const DemodFileJob::Result result = job.run();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, folder == blocker ? "\"" + folder + "\" is a file, not a folder."
                                                    : "The folder \"" + folder + "\" does not exist.");
    }
    EXPECT_EQ(entriesIn(dir.path), 1u);
}

// A write that fails part way (here the file size limit, as a full disk would)
// is reported, and the file that was there before stays as it was.
TEST(DemodFileJob, AFailedWriteKeepsThePreviousFileAndLeavesNoPart)
{
    fixtures::TempDir dir;
    const std::vector<uint8_t> previous(1000, 42);
    dir.write("DemodOutput.wav", previous);
    AmJob am(48000, 5, 0, 5);
    DemodFileJob job(am.demod, am.feeder, 0, 5, dir.path, DemodFileJob::kFixedFileName);

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 150000;
    setrlimit(RLIMIT_FSIZE, &small);
    const DemodFileJob::Result result = job.run();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("Cannot write"), std::string::npos) << result.message;
    EXPECT_EQ(entriesIn(dir.path), 1u);
    EXPECT_EQ(readFile(fs::path(dir.path) / "DemodOutput.wav"), previous);
}

TEST(DemodFileJob, CancelLeavesNoFile)
{
    fixtures::TempDir dir;
    AmJob am(48000, 5, 0, 5);
    DemodFileJob job(am.demod, am.feeder, 0, 5, dir.path, "out.wav");
    job.setProgress([&](int32_t next) {
        if (next == 2)
            job.cancel();
    });
    const DemodFileJob::Result result = job.run();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(entriesIn(dir.path), 0u);
}

uint64_t u64At(const std::vector<uint8_t>& b, size_t at) { return u32At(b, at) | uint64_t{u32At(b, at + 4)} << 32; }

// The RIFF lengths are 32 bits (the limit is lowered here): a selection
// longer than they can say is written whole as RF64, with its sizes in the
// "ds64" chunk; one that fits them keeps the plain 44-byte header.
TEST(DemodFileJob, ASelectionPastTheRiffLimitIsWrittenAsRf64)
{
    const uint64_t data = 10 * 44100 * 2;
    for (const bool past : {true, false}) {
        SCOPED_TRACE(past ? "past the limit" : "within it");
        fixtures::TempDir dir;
        AmJob am(48000, 10, 0, 10);
        DemodFileJob job(am.demod, am.feeder, 0, 10, dir.path, "out.wav");
        job.setRiffDataLimit(past ? 250000 : data);
        const DemodFileJob::Result result = job.run();
        ASSERT_TRUE(result.ok && result.complete) << result.message;
        EXPECT_EQ(result.audioSamples, 10 * 44100);
        const std::vector<uint8_t> wav = readFile(result.path);
        if (!past) {
            ASSERT_EQ(wav.size(), 44 + data);
            EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
            EXPECT_EQ(u32At(wav, 40), data);
            continue;
        }
        ASSERT_EQ(wav.size(), 80 + data);
        EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RF64");
        EXPECT_EQ(u32At(wav, 4), 0xFFFFFFFFu);
        EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEds64");
        EXPECT_EQ(u32At(wav, 16), 28u);
        EXPECT_EQ(u64At(wav, 20), wav.size() - 8);
        EXPECT_EQ(u64At(wav, 28), data);
        EXPECT_EQ(u64At(wav, 36), data / 2);
        EXPECT_EQ(std::string(wav.begin() + 48, wav.begin() + 52), "fmt ");
        EXPECT_EQ(u32At(wav, 60), 44100u);
        EXPECT_EQ(u16At(wav, 70), 16u);
        EXPECT_EQ(std::string(wav.begin() + 72, wav.begin() + 76), "data");
        EXPECT_EQ(u32At(wav, 76), 0xFFFFFFFFu);
    }
}

// A run that the skip buttons stretch past the limit of a RIFF file stops
// there, and what was written is a valid file.
TEST(DemodFileJob, ARunStretchedPastTheRiffLimitStopsWithAMessage)
{
    fixtures::TempDir dir;
    AmJob am(48000, 10, 0, 10);
    DemodFileJob job(am.demod, am.feeder, 0, 2, dir.path, "out.wav");
    job.setRiffDataLimit(250000);
    job.setProgress([&](int32_t next) {
        if (next == 1)
            job.moveBy(-1);
    });
    const DemodFileJob::Result result = job.run();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_FALSE(result.complete);
    EXPECT_NE(result.message.find("4 GiB"), std::string::npos);
    const std::vector<uint8_t> wav = readFile(result.path);
    EXPECT_LE(wav.size() - 44, 250000u);
    EXPECT_EQ(u32At(wav, 40), wav.size() - 44);
}

// A selection that runs past the recording's last sample stops there: the
// work follows the samples present, not the seconds asked for or the rate a
// header claims (it used to demodulate whole seconds of zeros); one that lies
// wholly past the end is refused before any.
TEST(DemodFileJob, ASelectionPastTheEndStopsAtTheLastSample)
{
    struct Case {
        const char* what;
        int32_t rate;
        int64_t samples; // in the recording
        bool countKnown; // as a recording's is; else the feeder finds the end
        int32_t start, end;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"2 s, seconds 0-4", 48000, 96000, true, 0, 4, true},
        {"2 s, seconds 0-4, end found by reading", 48000, 96000, false, 0, 4, true},
        {"2.5 s, second 2", 48000, 120000, true, 2, 3, true},
        {"1000 samples claiming 5.2 MS/s", 5200000, 1000, true, 0, 0, true},
        {"2 s, seconds 3-4", 48000, 96000, true, 3, 4, false},
        {"2 s, second 2", 48000, 96000, true, 2, 2, false},
    };
    const Signal station = amStation(10000, 4000, 1000, 0.5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DemodSetup setup =
            DemodSetup::fromFields(selection(c.start, c.end, 7105, 7115), kDemodAM, recordingAt(c.rate, c.end + 1));
        DemodulatorObject demod;
        ASSERT_TRUE(setup.configure(demod));
        DemodSecondFeeder feeder(
            [&](ComplexSample* block, int64_t first, int64_t samples) -> int64_t {
                const int64_t n = std::clamp<int64_t>(c.samples - first, 0, samples);
                for (int64_t i = 0; i < n; ++i)
                    block[i] = station(first + i, c.rate);
                return n;
            },
            c.rate, c.countKnown ? c.samples : DemodSecondFeeder::kUnknownCount);
        fixtures::TempDir dir;
        DemodFileJob job(demod, feeder, c.start, c.end, dir.path, "out.wav");
        const DemodFileJob::Result result = job.run();
        if (!c.ok) {
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.message, "The selection holds no samples of the recording; nothing was written.");
            EXPECT_EQ(feeder.demodulated(), 0);
            EXPECT_EQ(entriesIn(dir.path), 0u);
            continue;
        }
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(result.complete);
        EXPECT_TRUE(result.clipped);
        EXPECT_NE(result.message.find("The recording ends at"), std::string::npos) << result.message;
        const int64_t present = c.samples - int64_t{c.start} * c.rate;
        EXPECT_EQ(result.audioSamples, std::llround(static_cast<double>(present) * 44100 / c.rate));
        // The second before the selection, the samples present, and the
        // silence that pushes the pipeline's last audio out: a fraction of a second.
        const int64_t before = c.start > 0 ? c.rate : 0;
        EXPECT_LE(feeder.demodulated(), before + present + c.rate / 4);
        const std::vector<uint8_t> wav = readFile(result.path);
        std::vector<int16_t> audio;
        for (size_t i = 44; i + 1 < wav.size(); i += 2)
            audio.push_back(static_cast<int16_t>(u16At(wav, i)));
        ASSERT_EQ(static_cast<int64_t>(audio.size()), result.audioSamples);
        if (present >= c.rate / 2) {
            EXPECT_GT(rms(audio, audio.size() - 4410, 4410), 1000.0);
        }
    }
}

// A recording of 2.48 s: a selection to its last whole second takes in the
// 0.48 s after it, with the audio running to the recording's end.
TEST(DemodFileJob, TheRecordingsLastPartSecondIsKept)
{
    constexpr int32_t kRate = 48000;
    const int64_t total = kRate * 248 / 100;
    const Signal station = amStation(10000, 4000, 1000, 0.5);
    DemodSecondFeeder feeder(
        [&](ComplexSample* block, int64_t first, int64_t samples) -> int64_t {
            const int64_t n = std::clamp<int64_t>(total - first, 0, samples);
            for (int64_t i = 0; i < n; ++i)
                block[i] = station(first + i, kRate);
            return n;
        },
        kRate);
    for (int32_t start : {0, 1}) {
        SCOPED_TRACE(start);
        DemodSetup setup = DemodSetup::fromFields(selection(start, 2, 7105, 7115), kDemodAM, recordingAt(kRate, 2));
        DemodulatorObject demod;
        setup.configure(demod);
        fixtures::TempDir dir;
        DemodFileJob job(demod, feeder, start, 2, dir.path, "out.wav");
        const DemodFileJob::Result result = job.run();
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.audioSamples, (2 - start) * 44100 + 21168);
        const std::vector<uint8_t> wav = readFile(result.path);
        std::vector<int16_t> audio;
        for (size_t i = 44; i + 1 < wav.size(); i += 2)
            audio.push_back(static_cast<int16_t>(u16At(wav, i)));
        ASSERT_EQ(static_cast<int64_t>(audio.size()), result.audioSamples);
        const double steady = rms(audio, (1 - start) * 44100 + 4410, 4410);
        EXPECT_GT(rms(audio, audio.size() - 2205, 1764), 0.5 * steady);
    }
}

// One second of such a recording is more than the fixed blocks held; no
// block of the run, its measurement of the lead included, follows the rate.
TEST(DemodFileJob, RecordingsFasterThanFiveMegasamplesPerSecondWork)
{
    fixtures::TempDir dir;
    AmJob am(5200000, 1, 0, 1);
    DemodFileJob job(am.demod, am.feeder, 0, 1, dir.path, "fast.wav");
    AllocationCounter counter;
    const DemodFileJob::Result result = job.run();
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_NEAR(static_cast<double>(result.audioSamples), 44100.0, 6000.0);
    // A second at this rate is 83 MB of complex samples.
    EXPECT_LT(counter.Largest(), 4u << 20);
}

TEST(DemodFileJob, TimestampedNames)
{
    const std::string stamp = "01-Jan-2014 00.00.00";
    EXPECT_EQ(DemodFileJob::timestampedFileName(kDemodUSB, 7074.0, 7077.0, stamp), "7074.0 USB 01-Jan-2014 00.00.00.wav");
    EXPECT_EQ(DemodFileJob::timestampedFileName(kDemodLSB, 7074.0, 7077.0, stamp), "7077.0 LSB 01-Jan-2014 00.00.00.wav");
    EXPECT_EQ(DemodFileJob::timestampedFileName(kDemodAM, 990.0, 1000.0, stamp), " 995.0 AM 01-Jan-2014 00.00.00.wav");
    // Modes that share a frequency rule still get names of their own.
    const struct {
        int mode;
        const char* name;
    } cases[] = {
        {kDemodAM, "7110.0 AM 01-Jan-2014 00.00.00.wav"},   {kDemodSAM, "7110.0 SAM 01-Jan-2014 00.00.00.wav"},
        {kDemodFM, "7110.0 FM 01-Jan-2014 00.00.00.wav"},   {kDemodWFM, "7110.0 WFM 01-Jan-2014 00.00.00.wav"},
        {kDemodCWU, "7110.0 CWU 01-Jan-2014 00.00.00.wav"}, {kDemodCWL, "7110.0 CWL 01-Jan-2014 00.00.00.wav"},
        {kDemodNone, "7110.0 None 01-Jan-2014 00.00.00.wav"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DemodFileJob::timestampedFileName(c.mode, 7105.0, 7115.0, stamp), c.name);
}

// The file holds exactly the selection: 44100 samples a second, the audio of
// each instant at that instant (a tone keyed on and off at half seconds, in
// several modes, rates and starts; in FM and WFM the tone modulates a steady
// carrier).
TEST(DemodFileJob, TheFileHoldsTheSelectionInStep)
{
    struct Case {
        const char* what;
        int mode;
        int32_t rate;
        int32_t start, end;
        double lowKHz, highKHz;
    };
    const std::vector<Case> cases = {
        {"USB at 48 kS/s from 0", kDemodUSB, 48000, 0, 4, 7100.0, 7102.5},
        {"USB at 12001 S/s from 1", kDemodUSB, 12001, 1, 4, 7100.0, 7102.5},
        {"CWU at 250 kS/s from 1", kDemodCWU, 250000, 1, 3, 7100.5, 7102.5},
        {"LSB at 96 kS/s from 0", kDemodLSB, 96000, 0, 3, 7098.0, 7100.0},
        {"FM at 48 kS/s from 1", kDemodFM, 48000, 1, 4, 7095.0, 7105.0},
        {"WFM at 250 kS/s from 0", kDemodWFM, 250000, 0, 3, 7000.0, 7200.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A tone 1 kHz from the band's edge, on from 1.5 s to 2.5 s.
        const double toneHz = (c.mode == kDemodLSB ? c.highKHz * 1000.0 - 1000.0 : c.lowKHz * 1000.0 + 1000.0) - kCenterHz;
        const Signal tone = carrier(toneHz, 8000.0);
        const bool fm = c.mode == kDemodFM || c.mode == kDemodWFM;
        const double middleHz = 500.0 * (c.lowKHz + c.highKHz) - kCenterHz;
        const double deviationHz = c.mode == kDemodWFM ? 50000.0 : 3000.0;
        const Signal keyed = [=](int64_t k, double rate) {
            const double t = static_cast<double>(k) / rate;
            const bool on = t >= 1.5 && t < 2.5;
            if (!fm)
                return on ? tone(k, rate) : ComplexSample{};
            const double cycles = middleHz * t - std::floor(middleHz * t);
            const double modulation = on ? deviationHz / 1000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * t) : 0.0;
            const double phase = 2.0 * std::numbers::pi * cycles + modulation;
            return ComplexSample{8000.0 * std::cos(phase), 8000.0 * std::sin(phase)};
        };
        DemodSetup setup = DemodSetup::fromFields(selection(c.start, c.end, c.lowKHz, c.highKHz), c.mode,
                                                  recordingAt(c.rate, 5));
        ASSERT_TRUE(setup.ok()) << setup.error();
        DemodulatorObject demod;
        setup.configure(demod);
        DemodSecondFeeder feeder(source(keyed, c.rate, 5), c.rate);
        fixtures::TempDir dir;
        DemodFileJob job(demod, feeder, c.start, c.end, dir.path, "out.wav");
        const DemodFileJob::Result result = job.run();
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.audioSamples, int64_t{c.end - c.start} * 44100);

        const std::vector<uint8_t> wav = readFile(result.path);
        std::vector<double> envelope;
        for (size_t i = 44; i + 1 < wav.size(); i += 2)
            envelope.push_back(std::abs(static_cast<int16_t>(u16At(wav, i))));
        // Where a 2 ms moving average first rises above and falls below half the keyed level.
        const size_t w = 88;
        std::vector<double> smooth(envelope.size() - w);
        for (size_t i = 0; i < smooth.size(); ++i)
            smooth[i] = std::accumulate(envelope.begin() + i, envelope.begin() + i + w, 0.0) / w;
        const double keyedLevel = smooth[static_cast<size_t>((2.0 - c.start) * 44100)];
        ASSERT_GT(keyedLevel, 1000.0);
        // The steady tone's edges, found from its middle: the AGC levels the
        // band-pass's faint pre-echo of a hard-keyed onset out of digital silence.
        const auto middle = smooth.begin() + static_cast<std::ptrdiff_t>((2.0 - c.start) * 44100);
        const auto on = std::find_if(std::make_reverse_iterator(middle), smooth.rend(),
                                     [&](double v) { return v <= keyedLevel / 2; })
                            .base();
        const auto off = std::find_if(middle, smooth.end(), [&](double v) { return v < keyedLevel / 2; });
        const double onAt = static_cast<double>(on - smooth.begin() + w / 2) / 44100.0 + c.start;
        const double offAt = static_cast<double>(off - smooth.begin() + w / 2) / 44100.0 + c.start;
        EXPECT_NEAR(onAt, 1.5, 0.002);
        EXPECT_NEAR(offAt, 2.5, 0.002);
    }
}

// Past the end of the recording there is nothing to write.
TEST(DemodFileJob, ASelectionWithoutSamplesIsRefused)
{
    fixtures::TempDir dir;
    AmJob am(48000, 6, 4, 6, 3);
    DemodFileJob job(am.demod, am.feeder, 4, 6, dir.path, "out.wav");
    const DemodFileJob::Result result = job.run();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "The selection holds no samples of the recording; nothing was written.");
    EXPECT_EQ(entriesIn(dir.path), 0u);
}
