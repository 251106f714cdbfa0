// The medium-wave carrier analysis: four recordings of 237 s at 250 kS/s
// around 1600 kHz (50 channels), measured with the window's transform sizes,
// as the window's analysis thread and korvel-cli carrier run it.
//   BM_CarrierAnalysis/N: the whole analysis (948 rows) with N-point spectra;
//     seconds_per_analysis is the wall time of one.
//   BM_CarrierMemory: peak resident memory (MB) of an analysis set up for
//     1000 rows with 8388608-point spectra, after its first seconds.
#include "support/RecordingFixtures.h"

#include "carrier/CarrierRun.h"
#include "common/SystemLog.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <thread>

namespace {

constexpr uint32_t kRate = 250000;
constexpr int64_t kCenter = 1600000;
constexpr int kSeconds = 237;

// One second of noise and a carrier on every channel a few hertz off,
// repeated for the whole recording.
std::vector<int16_t> oneSecond()
{
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::vector<double> i(kRate), q(kRate);
    for (uint32_t k = 0; k < kRate; ++k) {
        i[k] = noise(rng);
        q[k] = noise(rng);
    }
    for (int kHz = 1476; kHz <= 1720; kHz += 9) {
        const double hz = kHz * 1000.0 - kCenter + (kHz % 7) - 3.0;
        for (uint32_t k = 0; k < kRate; ++k) {
            const double phase = 2.0 * M_PI * hz * k / kRate;
            i[k] += 300.0 * std::cos(phase);
            q[k] += 300.0 * std::sin(phase);
        }
    }
    std::vector<int16_t> samples(2 * kRate);
    for (uint32_t k = 0; k < kRate; ++k) {
        samples[2 * k] = static_cast<int16_t>(std::lround(i[k]));
        samples[2 * k + 1] = static_cast<int16_t>(std::lround(q[k]));
    }
    return samples;
}

std::string writeRecording(const std::string& folder, int index, const std::vector<int16_t>& second)
{
    fixtures::WaveFormat format;
    format.sampleRate = kRate;
    fixtures::Bytes auxi;
    auxi.zeros(6).utf16(fixtures::sdrRadioText(16, kRate, kCenter, 1765023610 + 600 * index));
    fixtures::Recording header = fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 18)}, {"auxi", auxi}}, {});
    const uint64_t dataBytes = static_cast<uint64_t>(kSeconds) * kRate * 4;
    fixtures::patchU32(header.bytes, header.dataOffset - 4, static_cast<uint32_t>(dataBytes));
    fixtures::patchU32(header.bytes, 4, static_cast<uint32_t>(header.bytes.size() - 8 + dataBytes));
    const std::string path = folder + "/r" + std::to_string(index) + ".wav";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(header.bytes.data()), static_cast<std::streamsize>(header.bytes.size()));
    for (int s = 0; s < kSeconds; ++s)
        out.write(reinterpret_cast<const char*>(second.data()), static_cast<std::streamsize>(second.size() * 2));
    return path;
}

// The recordings, written once for every benchmark of the program.
struct Recordings {
    fixtures::TempDir dir;
    std::vector<std::string> paths;
    Recordings()
    {
        const std::vector<int16_t> second = oneSecond();
        for (int i = 0; i < 5; ++i)
            paths.push_back(writeRecording(dir.path, i, second));
    }
};

const Recordings& recordings()
{
    static const Recordings shared;
    return shared;
}

void BM_CarrierAnalysis(benchmark::State& state)
{
    SetSystemLogEnabled(false);
    const std::vector<std::string> four(recordings().paths.begin(), recordings().paths.begin() + 4);
    int rows = 0;
    for (auto _ : state) {
        CarrierRun run;
        std::string error;
        if (!run.prepare(four, static_cast<int>(state.range(0)), 100.0, error) || !run.run().empty()) {
            state.SkipWithError("the analysis failed");
            return;
        }
        rows = run.analysis().dbBufCount();
    }
    state.counters["rows"] = rows;
    state.counters["seconds_per_analysis"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CarrierAnalysis)->Arg(131072)->Arg(65536)->Arg(1048576)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

void BM_CarrierMemory(benchmark::State& state)
{
    SetSystemLogEnabled(false);
    double peakMb = 0.0;
    for (auto _ : state) {
        CarrierRun run;
        std::string error;
        if (!run.prepare(recordings().paths, 8388608, 100.0, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::thread worker([&] { run.run(); });
        while (run.fileNumber() < 1 || run.second() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        run.stop();
        worker.join();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        peakMb = usage.ru_maxrss / 1024.0;
    }
    state.counters["peak_MB"] = peakMb;
}
BENCHMARK(BM_CarrierMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
