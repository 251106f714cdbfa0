// The engine's own double-precision transform beside FFTW's, and the display transform.
#include "common/SystemLog.h"
#include "dsp/ComplexFft.h"
#include "dsp/FftObject.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<ComplexSample> Noise(int n)
{
    std::mt19937 rng(1);
    std::normal_distribution<double> dist(0.0, 3000.0);
    std::vector<ComplexSample> x(n);
    for (auto& s : x)
        s = {dist(rng), dist(rng)};
    return x;
}

// Both transforms run in place on a fresh copy of the same block each iteration; the
// copy is timed on its own below.
void OwnFwdFFT(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    SetSystemLogEnabled(false);
    ComplexFft fft(n);
    const auto input = Noise(n);
    std::vector<ComplexSample> data(n);
    for (auto _ : state) {
        std::memcpy(data.data(), input.data(), n * sizeof(ComplexSample));
        fft.FwdFFT(data.data());
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void FftwDoubleForward(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto input = Noise(n);
    fftw_complex* data = fftw_alloc_complex(n);
    fftw_plan plan = fftw_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        for (int k = 0; k < n; ++k) {
            data[k][0] = input[k].im;
            data[k][1] = input[k].re;
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(data);
    }
    state.SetItemsProcessed(state.iterations() * n);
    fftw_destroy_plan(plan);
    fftw_free(data);
}

void BlockCopyOnly(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto input = Noise(n);
    std::vector<ComplexSample> data(n);
    for (auto _ : state) {
        std::memcpy(data.data(), input.data(), n * sizeof(ComplexSample));
        benchmark::DoNotOptimize(data.data());
    }
}

void DisplayTransform(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    SetSystemLogEnabled(false);
    FftObject fft;
    fft.SetFFTParamsSize(n, false, 0.0, 2e6);
    const auto input = Noise(n);
    for (auto _ : state) {
        fft.PutInDisplayFFT(n, input.data());
        benchmark::DoNotOptimize(fft.fftAveBuf());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// One waterfall line: transform and a 1024-column screen line over the full span.
void DisplayLine(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    SetSystemLogEnabled(false);
    FftObject fft;
    fft.SetFFTParamsSize(n, false, 0.0, 2e6);
    const auto input = Noise(n);
    std::vector<int> out(1025);
    std::vector<double> dB(1025);
    for (auto _ : state) {
        fft.PutInDisplayFFT(n, input.data());
        fft.GetScreenIntegerFFTDataMaxHeight(1023, 1024, -80, -110, -1000000, 1000000, out.data(), dB.data());
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(OwnFwdFFT)->Arg(2048)->Arg(32768);
BENCHMARK(FftwDoubleForward)->Arg(2048)->Arg(32768);
BENCHMARK(BlockCopyOnly)->Arg(2048)->Arg(32768);
BENCHMARK(DisplayTransform)->Arg(8192)->Arg(65536);
BENCHMARK(DisplayLine)->Arg(8192)->Arg(65536);

BENCHMARK_MAIN();
