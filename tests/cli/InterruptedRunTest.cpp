#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Hours of silence at 250,000 S/s as a sparse file: runs over it last long
// enough to be interrupted.
std::string writeLongSilentRecording(const fixtures::TempDir& dir)
{
    fixtures::WaveFormat format;
    format.sampleRate = 250000;
    fixtures::Recording head = fixtures::sdrSharp(format, 0);
    fixtures::patchU32(head.bytes, 4, 0xFFFFFFFF);
    fixtures::patchU32(head.bytes, head.dataOffset - 4, 0xFFFFFFFF);
    const std::string path = dir.path + "/SDRSharp_20140102_030405Z_300000Hz_IQ.wav";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(head.dataOffset + 4ull * format.sampleRate * 7200)), 0);
    EXPECT_EQ(::pwrite(fd, head.bytes.data(), head.bytes.size(), 0), static_cast<ssize_t>(head.bytes.size()));
    ::close(fd);
    return path;
}

bool hasHiddenFile(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().front() == '.')
            return true;
    return false;
}

std::string contentOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

// A run stopped by Ctrl-C, a kill or a closed terminal removes its unfinished
// file, keeps the old output and says so by its status.
TEST(InterruptedRun, SignalsRemoveTheUnfinishedFileAndKeepTheOldOutput)
{
    struct Case {
        const char* command;
        const char* output;
        int signal;
        int status;
    };
    const Case cases[] = {
        {"demod", "out.wav", SIGINT, 130},
        {"demod", "out.wav", SIGTERM, 143},
        {"waterfall", "out.png", SIGHUP, 129},
    };
    fixtures::TempDir input;
    const std::string recording = writeLongSilentRecording(input);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " and signal " + std::to_string(c.signal));
        fixtures::TempDir dir;
        const fs::path output = fs::path(dir.path) / c.output;
        std::ofstream(output) << "the old output";
        std::vector<std::string> args = {c.command, recording, "-o", output.string()};
        if (std::string(c.command) == "demod")
            args.insert(args.end(), {"--mode", "AM", "--start", "0", "--end", "7200", "--lo", "295", "--hi", "305"});
        else
            // Levels given: no first pass over the rows, so writing starts at once.
            args.insert(args.end(), {"--fft-size", "65536", "--min-db", "-120", "--max-db", "-60"});

        CliProcess process = startCli(args);
        ASSERT_GT(process.pid, 0);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!hasHiddenFile(dir.path) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(hasHiddenFile(dir.path)) << "the run never started writing";
        ::kill(process.pid, c.signal);
        const CliResult result = finishCli(process);

        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_FALSE(hasHiddenFile(dir.path));
        EXPECT_EQ(contentOf(output), "the old output");
    }
}
