// Throughput of the decimation stages, the FIR and the whole downconverter at the
// rates the playback pipeline runs them. Items are input samples, so items/s over
// the stream's rate is the factor over real time.
#include "dsp/DownconverterObject.h"
#include "dsp/FilterObject.h"
#include "dsp/FirObject.h"
#include "dsp/HalfBandCoefficients.h"
#include "dsp/SampleVector.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kPipelineBlock = 19968; // about 10 ms at 2 MS/s, a multiple of 256

std::vector<ComplexSample> Noise(int n)
{
    std::mt19937 generator(7);
    std::normal_distribution<double> normal(0.0, 3000.0);
    std::vector<ComplexSample> samples(n);
    for (ComplexSample& s : samples) {
        s.im = normal(generator);
        s.re = normal(generator);
    }
    return samples;
}

// A stage fed the number of samples that reach it in one pipeline block.
void RunStage(benchmark::State& state, FilterObject& stage, int blockLength)
{
    const std::vector<ComplexSample> source = Noise(blockLength);
    std::vector<ComplexSample> work(blockLength);
    for (auto _ : state) {
        work = source;
        benchmark::DoNotOptimize(stage.ApplyFilterLength(blockLength, work.data(), work.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * blockLength);
}

void BM_Cic_2MSps(benchmark::State& state)
{
    FilterObject stage(FilterKind::Cic3);
    RunStage(state, stage, kPipelineBlock);
}

void BM_HalfBand11Tap_2MSps(benchmark::State& state)
{
    FilterObject stage(FilterKind::HalfBand11Tap);
    RunStage(state, stage, kPipelineBlock);
}

// A half-band set at the input rate where the 10 kHz chain runs it (15 taps at
// 250 kS/s, 23 at 125 kS/s, 51 at 62.5 kS/s), and every set at 2 MS/s.
void BM_HalfBand(benchmark::State& state)
{
    const int taps = static_cast<int>(state.range(0));
    const int blockLength = static_cast<int>(state.range(1));
    FilterObject stage(FilterKind::HalfBand, taps, HalfBandCoefficients::TapsOfLength(taps));
    RunStage(state, stage, blockLength);
}

void BM_HalfBandReal_2MSps(benchmark::State& state)
{
    FilterObject stage(FilterKind::HalfBand, 47, HalfBandCoefficients::Taps47.data());
    std::vector<double> source(kPipelineBlock);
    for (int i = 0; i < kPipelineBlock; ++i)
        source[i] = std::sin(0.01 * i) * 1000.0;
    std::vector<double> work(kPipelineBlock);
    for (auto _ : state) {
        work = source;
        benchmark::DoNotOptimize(stage.CHalfBandDecimateBy2LengthReal(kPipelineBlock, work.data(), work.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPipelineBlock);
}

// The audio low-pass after a 10 kHz chain: 312 samples per block at 31,250 S/s.
void BM_Fir_31250Sps(benchmark::State& state)
{
    FirObject fir;
    fir.InitLPFilterScale(1.0, 50.0, 5000.0, 9000.0, 31250.0);
    constexpr int block = 312;
    std::vector<double> work(block);
    for (int i = 0; i < block; ++i)
        work[i] = std::sin(0.1 * i) * 1000.0;
    for (auto _ : state) {
        fir.ProcessFilterReal(block, work.data(), work.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * block);
    state.counters["taps"] = fir.numTaps();
}

// One second of a 2 MS/s recording in pipeline blocks: through the 10 kHz chain, the
// 100 kHz chain, and the oscillator alone (a bandwidth that needs no stage). The
// second argument picks the build of the loops: 1 wide (AVX2) where available, 0 portable.
void BM_Downconverter_2MSps(benchmark::State& state)
{
    SetWideVectorsEnabled(state.range(1) != 0);
    DownconverterObject downconverter;
    downconverter.setDataRate(2000000.0, static_cast<double>(state.range(0)));
    downconverter.SetFrequency(123456.0);
    constexpr int blocks = 100;
    const std::vector<ComplexSample> source = Noise(kPipelineBlock * blocks);
    std::vector<ComplexSample> output(kPipelineBlock);
    for (auto _ : state) {
        for (int b = 0; b < blocks; ++b)
            benchmark::DoNotOptimize(
                downconverter.ProcessDataLength(kPipelineBlock, source.data() + b * kPipelineBlock, output.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * blocks * kPipelineBlock);
    SetWideVectorsEnabled(true);
}

} // namespace

BENCHMARK(BM_Cic_2MSps);
BENCHMARK(BM_HalfBand11Tap_2MSps);
BENCHMARK(BM_HalfBand)
    ->Args({15, kPipelineBlock / 8})
    ->Args({23, kPipelineBlock / 16})
    ->Args({51, kPipelineBlock / 32})
    ->Args({15, kPipelineBlock})
    ->Args({27, kPipelineBlock})
    ->Args({51, kPipelineBlock});
BENCHMARK(BM_HalfBandReal_2MSps);
BENCHMARK(BM_Fir_31250Sps);
BENCHMARK(BM_Downconverter_2MSps)
    ->ArgsProduct({{10000, 100000, 1000000}, {1, 0}})
    ->ArgNames({"bandwidth", "wide"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
