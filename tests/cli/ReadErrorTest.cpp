#include "CliRun.h"
#include "support/ReadFault.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

// A read error part way stops the run: status 2, the reason and the byte, no
// output written and the old output kept.
TEST(CliReadErrors, ARunThatCannotReadItsRecordingStopsWithTheReason)
{
    const std::string name = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";
    fixtures::WaveFormat format;
    format.sampleRate = 48000;
    fixtures::TempDir dir;
    const std::string recording = dir.write(name, fixtures::sdrSharp(format, 20 * 48000).bytes);
    const uint64_t secondTen = 44 + 10ull * 48000 * 4;

    const std::vector<std::vector<std::string>> runs = {
        {"waterfall", recording, "-o", dir.path + "/out.png"},
        {"demod", recording, "--mode", "AM", "--start", "0", "--end", "20", "--lo", "7095", "--hi", "7105", "-o",
         dir.path + "/out.png"},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[0]);
        std::ofstream(dir.path + "/out.png") << "old";
        setenv("LD_PRELOAD", KORVEL_READ_FAULTS, 1);
        const ReadFault fault(name, secondTen);
        const CliResult r = runCli(args);
        unsetenv("LD_PRELOAD");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "korvel-cli: " + recording + ": read error at byte " + std::to_string(secondTen) +
                             ": Input/output error\n");
        std::ifstream old(dir.path + "/out.png");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
    }
}

// Every read failing, or reading nothing of a file that is not empty, is a
// read failure, not a file of another kind.
TEST(CliReadErrors, ACarrierRunWhoseReadsAllFailGivesTheReadFailure)
{
    const std::string name = "SDRSharp_20140102_030405Z_1000000Hz_IQ.wav";
    fixtures::WaveFormat format;
    format.sampleRate = 16000;
    fixtures::TempDir dir;
    const std::string recording = dir.write(name, fixtures::sdrSharp(format, 2 * 16000).bytes);
    const struct {
        const char* kind;
        std::string reason;
    } cases[] = {
        {"eio", "read error at byte 0: Input/output error"},
        {"short", "read error at byte 0: the file has become shorter than when it was opened"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        setenv("LD_PRELOAD", KORVEL_READ_FAULTS, 1);
        const ReadFault fault(name, 0, c.kind);
        const CliResult r = runCli({"carrier", recording, "-o", dir.path + "/out.bin", "--fft-size", "16384"});
        unsetenv("LD_PRELOAD");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(name + ": left out, Can't read file: " + c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("not a"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir.path + "/out.bin"));
    }
}
