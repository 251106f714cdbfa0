// The waterfall window's drawing: 1000 columns of a 65536-point transform from
// a 192,000 S/s recording at 50 lines per second (20 s of noise written to the
// temp folder), and an open window on 2 MS/s and 10 MS/s recordings (sparse
// stand-ins: a header and holes that read as zeros), whose picture memory is
// reported as the counter picture_MB.
#include "waterfall/WaterfallWindowSession.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <random>
#include <string>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

void put32(uint8_t* p, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<uint8_t>(v >> (8 * k));
}

// A 16-bit recording of `seconds` at `rate`, noise when `noise`, else holes.
std::string makeRecording(uint32_t rate, uint32_t seconds, bool noise)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("SDRSharp_20261205_163935Z_7100000Hz_IQ-" + std::to_string(rate) + ".wav"))
                                 .string();
    const uint64_t bytes = uint64_t{rate} * seconds * 4;
    uint8_t h[44] = {};
    std::copy_n("RIFF", 4, h);
    put32(h + 4, static_cast<uint32_t>(36 + bytes));
    std::copy_n("WAVEfmt ", 8, h + 8);
    put32(h + 16, 16);
    h[20] = 1;
    h[22] = 2;
    put32(h + 24, rate);
    put32(h + 28, rate * 4);
    h[32] = 4;
    h[34] = 16;
    std::copy_n("data", 4, h + 36);
    put32(h + 40, static_cast<uint32_t>(bytes));
    const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    bool ok = fd >= 0 && write(fd, h, sizeof h) == static_cast<ssize_t>(sizeof h);
    if (ok && noise) {
        std::minstd_rand random(7);
        std::normal_distribution<double> gauss(0.0, 300.0);
        std::vector<int16_t> second(2 * size_t{rate});
        for (uint32_t s = 0; s < seconds && ok; ++s) {
            for (int16_t& v : second)
                v = static_cast<int16_t>(gauss(random));
            const auto size = static_cast<ssize_t>(second.size() * sizeof(int16_t));
            ok = write(fd, second.data(), static_cast<size_t>(size)) == size;
        }
    } else if (ok) {
        ok = ftruncate(fd, static_cast<off_t>(sizeof h + bytes)) == 0;
    }
    if (!ok) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
    return path;
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void drawAndWait(benchmark::State& state, WaterfallWindowSession& session, const WaterfallWindowFields& fields,
                 int width)
{
    const WaterfallWindowLayout::Outcome outcome = session.draw(fields, width);
    if (!outcome.layout) {
        state.SkipWithError(outcome.problem.c_str());
        return;
    }
    while (session.isDrawing())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (session.columnsDone() != width)
        state.SkipWithError("drawing stopped early");
}

void BM_WindowColumns192k(benchmark::State& state)
{
    const std::string path = makeRecording(192000, 20, true);
    WaterfallWindowSession session;
    std::string problem;
    if (!session.open(path, problem)) {
        state.SkipWithError(problem.c_str());
        return;
    }
    WaterfallWindowFields fields; // 65536 points, 50 lines per second
    // CPU time of the whole process (the drawing runs on the session's thread),
    // which a busy machine's wall time does not show.
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state)
        drawAndWait(state, session, fields, 1000);
    state.counters["cpu_s"] = (processCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
    state.counters["columns"] = 1000;
    state.counters["picture_MB"] = static_cast<double>(session.layout()->pictureBytes()) / (1 << 20);
    std::filesystem::remove(path);
}

void BM_OpenWindow(benchmark::State& state)
{
    const auto rate = static_cast<uint32_t>(state.range(0));
    const std::string path = makeRecording(rate, 30, false);
    for (auto _ : state) {
        WaterfallWindowSession session;
        std::string problem;
        if (!session.open(path, problem)) {
            state.SkipWithError(problem.c_str());
            break;
        }
        drawAndWait(state, session, WaterfallWindowFields{}, 1000);
        state.counters["rows"] = session.layout()->height;
        state.counters["picture_MB"] = static_cast<double>(session.layout()->pictureBytes()) / (1 << 20);
    }
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_WindowColumns192k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OpenWindow)->Arg(2000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

BENCHMARK_MAIN();
