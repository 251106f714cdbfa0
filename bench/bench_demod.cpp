// Throughput of the whole demodulator pipeline on one second of a 2 MS/s
// recording (an AM station 150 kHz off the centre, in noise), writing 44100 Hz
// audio as demodulation to a file does. The x_real_time counter is seconds of
// recording demodulated per second.
#include "common/SystemLog.h"
#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 2000000;
constexpr double kCenterHz = 1000000.0;

std::vector<ComplexSample> oneSecondOfAmStation()
{
    std::mt19937 generator(5);
    std::normal_distribution<double> noise(0.0, 100.0);
    std::vector<ComplexSample> samples(kRate);
    for (int k = 0; k < kRate; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double envelope = 3000.0 * (1.0 + 0.5 * std::cos(2.0 * std::numbers::pi * 1000.0 * t));
        const double phase = 2.0 * std::numbers::pi * std::fmod(150000.0 * t, 1.0);
        samples[k] = {envelope * std::cos(phase) + noise(generator), envelope * std::sin(phase) + noise(generator)};
    }
    return samples;
}

// mode, low and high kHz of the selection
void BM_DemodulateOneSecond(benchmark::State& state, int mode, double lowKHz, double highKHz)
{
    SetSystemLogEnabled(false);
    const std::vector<ComplexSample> second = oneSecondOfAmStation();
    DemodulatorObject demod;
    const SelectionFields fields{"0", "1", std::to_string(lowKHz), std::to_string(highKHz), "0"};
    RecordingParameters recording;
    recording.mSampleRate = kRate;
    recording.mCenterFreq = kCenterHz;
    recording.mNumSeconds = 1;
    DemodSetup setup = DemodSetup::fromFields(fields, mode, recording);
    setup.configure(demod);
    std::vector<int16_t> audio(static_cast<size_t>(demod.maxOutputSamples(kRate)));
    for (auto _ : state)
        benchmark::DoNotOptimize(demod.ProcessData(second.data(), kRate, audio.data()));
    state.SetItemsProcessed(state.iterations() * kRate);
    state.counters["x_real_time"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(BM_DemodulateOneSecond, AM_2MSps, kDemodAM, 1145.0, 1155.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DemodulateOneSecond, SAM_2MSps, kDemodSAM, 1145.0, 1155.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DemodulateOneSecond, USB_2MSps, kDemodUSB, 1150.0, 1153.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DemodulateOneSecond, WFM_2MSps, kDemodWFM, 1060.0, 1240.0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
