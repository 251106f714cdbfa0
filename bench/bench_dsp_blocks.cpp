// Throughput of the pipeline's blocks at the rates the pipeline runs them. The
// "realtime" counter is seconds of signal processed per second.
#include "common/SystemLog.h"
#include "dsp/AGCObject.h"
#include "dsp/FastFirObject.h"
#include "dsp/FirObject.h"
#include "dsp/FractionalResamplerObject.h"
#include "dsp/SMeter.h"
#include "dsp/SampleVector.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

// One second of signal at `rate`, handed over in 10 ms blocks as the pipeline does.
struct Signal {
    explicit Signal(int rate) : rate(rate), block(std::max(rate / 100, 1)), samples(rate)
    {
        std::mt19937 rng(1);
        std::normal_distribution<double> noise(0.0, 300.0);
        for (int t = 0; t < rate; ++t) {
            const double a = 2.0 * std::numbers::pi * 1000.0 * t / rate;
            samples[t] = {8000.0 * std::sin(a) + noise(rng), 8000.0 * std::cos(a) + noise(rng)};
        }
    }
    template <class Process> void ForEachBlock(Process process) const
    {
        for (int at = 0; at < rate; at += block)
            process(std::min(block, rate - at), samples.data() + at);
    }
    void Report(benchmark::State& state) const
    {
        state.SetItemsProcessed(state.iterations() * rate);
        state.counters["realtime"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
    }

    int rate;
    int block;
    std::vector<ComplexSample> samples;
};

void FastFir(benchmark::State& state)
{
    const Signal signal(static_cast<int>(state.range(0)));
    SetSystemLogEnabled(false);
    auto fir = std::make_unique<FastFirObject>();
    fir->SetupParametersFLoCut(-5000, 5000, 0, signal.rate);
    std::vector<ComplexSample> out(signal.block + FastFirObject::kBlock);
    for (auto _ : state)
        signal.ForEachBlock([&](int n, const ComplexSample* in) {
            benchmark::DoNotOptimize(fir->ProcessDataInLength(n, in, out.data()));
        });
    signal.Report(state);
}

// The audio low-pass, filtered in place as the demodulator does. Arguments: the rate,
// the number of taps (18 after AM at 24 kS/s, 65 in WFM at 62.5 kS/s), and the build
// of the loops (1 wide where available, 0 portable).
void FirLowPass(benchmark::State& state)
{
    SetWideVectorsEnabled(state.range(2) != 0);
    const Signal signal(static_cast<int>(state.range(0)));
    const int taps = static_cast<int>(state.range(1));
    std::vector<double> input(signal.rate);
    for (int t = 0; t < signal.rate; ++t)
        input[t] = signal.samples[t].re;
    FirObject fir;
    const double width = signal.rate * 42.0 / (14.357078426905355 * (taps - 0.5));
    if (fir.InitLPFilterScale(1.0, 50.0, 2000.0, 2000.0 + width, signal.rate) != taps)
        state.SkipWithError("unexpected tap count");
    std::vector<double> block(signal.block);
    for (auto _ : state)
        for (int at = 0; at < signal.rate; at += signal.block) {
            const int n = std::min(signal.block, signal.rate - at);
            std::copy_n(input.data() + at, n, block.data());
            fir.ProcessFilterReal(n, block.data(), block.data());
            benchmark::DoNotOptimize(block.data());
        }
    signal.Report(state);
    SetWideVectorsEnabled(true);
}

void Resampler(benchmark::State& state)
{
    const Signal signal(static_cast<int>(state.range(0)));
    std::vector<double> input(signal.rate);
    for (int t = 0; t < signal.rate; ++t)
        input[t] = signal.samples[t].re;
    FractionalResamplerObject resampler(100000);
    const double ratio = signal.rate * 2.2675736961451248e-05;
    std::vector<int16_t> out(static_cast<size_t>(signal.block / ratio) + 2);
    for (auto _ : state)
        for (int at = 0; at < signal.rate; at += signal.block) {
            const int n = std::min(signal.block, signal.rate - at);
            benchmark::DoNotOptimize(resampler.ResampleShortLength(n, ratio, input.data() + at, out.data(), 1.0));
        }
    signal.Report(state);
}

void Agc(benchmark::State& state)
{
    const Signal signal(static_cast<int>(state.range(0)));
    auto agc = std::make_unique<AGCObject>();
    agc->SetParameters(AgcSettings{}, signal.rate);
    std::vector<ComplexSample> out(signal.block);
    for (auto _ : state)
        signal.ForEachBlock([&](int n, const ComplexSample* in) {
            agc->ProcessComplexData(n, in, out.data());
            benchmark::DoNotOptimize(out.data());
        });
    signal.Report(state);
}

// A steady carrier: the window's peak leaves the window on every sample.
void AgcSteady(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    const std::vector<ComplexSample> steady(rate, ComplexSample{0.0, 8000.0});
    auto agc = std::make_unique<AGCObject>();
    agc->SetParameters(AgcSettings{}, rate);
    std::vector<ComplexSample> out(steady.size());
    for (auto _ : state) {
        agc->ProcessComplexData(rate, steady.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * rate);
}

void SMeterLevel(benchmark::State& state)
{
    const Signal signal(static_cast<int>(state.range(0)));
    SMeter meter;
    for (auto _ : state)
        signal.ForEachBlock([&](int n, const ComplexSample* in) {
            meter.ProcessDataLength(n, in, signal.rate);
            benchmark::DoNotOptimize(meter.GetPeak());
        });
    signal.Report(state);
}

} // namespace

BENCHMARK(FastFir)->Arg(31250)->Arg(250000)->Unit(benchmark::kMillisecond);
BENCHMARK(FirLowPass)->ArgsProduct({{24000}, {18}, {1, 0}})->ArgsProduct({{62500}, {65}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(Resampler)->Arg(24000)->Arg(31250)->Arg(62500)->Unit(benchmark::kMillisecond);
BENCHMARK(Agc)->Arg(31250)->Unit(benchmark::kMillisecond);
BENCHMARK(AgcSteady)->Arg(31250)->Arg(250000)->Unit(benchmark::kMillisecond);
BENCHMARK(SMeterLevel)->Arg(31250)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
