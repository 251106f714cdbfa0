// Drawing the whole-recording waterfall of a one-hour recording at 2,000,000
// samples per second (8192-point FFT): 3600 reads and transforms. The recording
// is a sparse stand-in (a header and 28.8 GB of holes, which read as zeros
// without disk I/O), made in the temp folder unless KORVEL_WATERFALL_FILE names one.
#include "recording/RecordingObject.h"
#include "waterfall/WaterfallGenerator.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kRate = 2000000;
constexpr uint64_t kSeconds = 3600;

void put32(uint8_t* p, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<uint8_t>(v >> (8 * k));
}

// A 16-bit stereo WAV header whose size fields say "unknown" (0xFFFFFFFF), as
// recorders write past 4 GiB, followed by one hour of holes.
std::string makeSparseHour()
{
    const std::string path = (std::filesystem::temp_directory_path() / "korvel-bench-hour.wav").string();
    uint8_t h[44] = {};
    std::copy_n("RIFF", 4, h);
    put32(h + 4, 0xFFFFFFFFu);
    std::copy_n("WAVEfmt ", 8, h + 8);
    put32(h + 16, 16);
    h[20] = 1;
    h[22] = 2;
    put32(h + 24, kRate);
    put32(h + 28, kRate * 4);
    h[32] = 4;
    h[34] = 16;
    std::copy_n("data", 4, h + 36);
    put32(h + 40, 0xFFFFFFFFu);
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || write(fd, h, sizeof h) != static_cast<ssize_t>(sizeof h) ||
        ftruncate(fd, static_cast<off_t>(sizeof h + kSeconds * kRate * 4)) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
    return path;
}

void BM_WholeRecordingWaterfall(benchmark::State& state)
{
    const char* given = std::getenv("KORVEL_WATERFALL_FILE");
    const std::string path = given ? given : makeSparseHour();
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(path, lines);
    if (!recording.isValidRecordingFile()) {
        state.SkipWithError("recording refused");
        return;
    }
    const int fftSize = static_cast<int>(state.range(0));
    std::vector<int> row(WaterfallGenerator::kColumns + 1);
    WaterfallGenerator generator(recording, fftSize, -80.0, -110.0);
    for (auto _ : state) {
        for (int s = 0; s < generator.lineCount(); ++s)
            generator.computeLine(s, row.data());
        benchmark::DoNotOptimize(row.data());
    }
    state.counters["lines"] = recording.parameters().mNumSeconds;
    if (!given)
        std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_WholeRecordingWaterfall)->Arg(8192)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
