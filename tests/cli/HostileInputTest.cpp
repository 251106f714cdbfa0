#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

const std::vector<std::string> kSelection = {"--start", "0", "--end", "1", "--lo", "7099", "--hi", "7101"};

} // namespace

// An output that would replace a file the run reads is refused, under its own
// name, through a link, and for either file of a SigMF pair; the input stays.
TEST(HostileInput, AnOutputThatIsAnInputIsRefused)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    const std::string wav =
        dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(format, 96000).bytes);
    const std::string meta =
        dir.write("x.sigmf-meta", bytesOf(fixtures::sigmfMeta("ci16_le", "48000", "{\"core:frequency\": 7.1e6}")));
    const std::string data = dir.write("x.sigmf-data", fixtures::iqPayload(format, 96000));
    const std::string link = dir.path + "/link.wav";
    ASSERT_EQ(::symlink(wav.c_str(), link.c_str()), 0);
    struct Case {
        std::vector<std::string> args;
        std::string input; // must stay as it was
    };
    const auto with = [](std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const std::vector<Case> cases = {
        {{"waterfall", wav, "-o", wav}, wav},
        {{"waterfall", meta, "-o", data}, data},
        {with({"demod", wav, "--mode", "AM", "-o", wav}, kSelection), wav},
        {with({"demod", wav, "--mode", "AM", "-o", link}, kSelection), wav},
        {with({"demod", meta, "--mode", "AM", "-o", meta}, kSelection), meta},
        {with({"extract", meta, "-o", dir.path + "/x"}, kSelection), data},
        {with({"extract", meta, "-o", meta}, kSelection), meta},
        {with({"extract", wav, "--as", "cf32", "-o", link}, kSelection), wav},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " -o " + c.args[c.args[0] == "waterfall" ? 3 : 5]);
        const std::string before = contentOf(c.input), metaBefore = contentOf(meta);
        const CliResult r = runCli(c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find("is a file of this recording; nothing was written"), std::string::npos) << r.err;
        EXPECT_EQ(contentOf(c.input), before);
        EXPECT_EQ(contentOf(meta), metaBefore);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 4);
}

// Readers of the user's files refuse a pipe at once instead of waiting for a
// writer, and a device instead of reading it without end.
TEST(HostileInput, ReadersOfUserFilesRefuseWhatIsNoFile)
{
    fixtures::TempDir dir;
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fixtures::WaveFormat format;
    const std::string wav = dir.write("SDRSharp_20140102_030405Z_300000Hz_IQ.wav", fixtures::sdrSharp(format, 4800).bytes);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        const std::vector<std::vector<std::string>> runs = {
            {"carrier", "--load", path, "--png", dir.path + "/c.png", "--channel", "0"},
            {"dgps", "--import-almanac", path},
            {"dgps", wav, "--stations", path},
        };
        for (const auto& args : runs) {
            SCOPED_TRACE(args[1] + " " + path);
            const CliResult r = runCli(args);
            EXPECT_NE(r.status, 0);
            EXPECT_NE(r.err.find("not a file"), std::string::npos) << r.err;
        }
    }
}

// A copy cut short reads as far as it goes and says what is missing.
TEST(HostileInput, ACopyCutShortIsReadAndNamedTruncated)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    format.sampleRate = 1000;
    fixtures::Recording file = fixtures::rf64File(format, 3500);
    file.bytes.resize(file.dataOffset + 14000);
    fixtures::patchU32(file.bytes, 28, 140000); // ds64: ten times the samples there are
    const std::string rf64 = dir.write("cut.wav", file.bytes);
    const CliResult info = runCli({"info", rf64, "--json"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("\"seconds\": 3,"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"truncated\": true, \"missing_bytes\": 126000"), std::string::npos) << info.out;
    const CliResult picture = runCli({"waterfall", rf64, "-o", dir.path + "/cut.png"});
    EXPECT_EQ(picture.status, 0) << picture.err;
}

// A selection past the recording's last sample: the file stops there and says
// so, whatever rate the header claims; one that starts past it is refused.
TEST(HostileInput, ASelectionPastTheLastSampleIsClipped)
{
    fixtures::TempDir dir;
    struct Case {
        uint32_t rate;
        int64_t frames;
        std::string start, end;
        int64_t audioSamples; // -1: refused
        std::string message;
    };
    const std::vector<Case> cases = {
        {25000000, 20000, "0", "1", 35, "The recording ends at 0.0008 s, inside the selection; the file stops there."},
        {25000000, 20000, "0", "0", 35, "The recording ends at 0.0008 s, inside the selection; the file stops there."},
        {48000, 120000, "0", "9", 110250, "The recording ends at 2.5 s, inside the selection; the file stops there."},
        {25000000, 20000, "3", "4", -1, "the selection starts at second 3, after the recording's end at 0.0008 s; nothing was written"},
        {48000, 96000, "2", "5", -1, "the selection starts at second 2, after the recording's end at 2 s; nothing was written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " S/s, " + c.start + "-" + c.end);
        fixtures::WaveFormat format;
        format.sampleRate = c.rate;
        const std::string wav =
            dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(format, c.frames).bytes);
        const CliResult r = runCli({"demod", wav, "--mode", "AM", "--start", c.start, "--end", c.end, "--lo", "7099",
                                    "--hi", "7101", "-o", dir.path + "/out.wav", "--json"});
        EXPECT_EQ(r.err, "korvel-cli: " + wav + ": " + c.message + "\n");
        if (c.audioSamples < 0) {
            EXPECT_NE(r.status, 0);
            EXPECT_FALSE(fs::exists(dir.path + "/out.wav"));
            continue;
        }
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("\"audio_samples\": " + std::to_string(c.audioSamples) + "}"), std::string::npos) << r.out;
        fs::remove(dir.path + "/out.wav");
    }
}

// A header's slow rate does not turn a picture into a row a second that each
// analyse a transform of mostly the next rows' samples: a row holds a transform.
TEST(HostileInput, AWaterfallOfASlowRateFollowsTheSamples)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    const std::string meta =
        dir.write("slow.sigmf-meta", bytesOf(fixtures::sigmfMeta("ci16_le", "1", "{\"core:frequency\": 7.1e6}")));
    dir.write("slow.sigmf-data", fixtures::iqPayload(format, 100000));
    const CliResult r = runCli({"waterfall", meta, "-o", dir.path + "/slow.png", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"rows\": 12, \"seconds_per_row\": 8334"), std::string::npos) << r.out;
}
