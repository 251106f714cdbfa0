// Throughput of DGPS beacon decoding: the bank of channel decoders on five
// seconds of a recording (noise and four MSK beacons), as the batch scan
// feeds it. x_real_time is seconds of recording decoded per second.
//   BM_DecoderBank/250000: 250 kS/s around 300 kHz, 41 channels, 82 decoders
//   BM_DecoderBank/2000000: 2 MS/s around 300 kHz, the same 82 decoders
//   BM_PlainDetector: the plain full-rate detector of the tests on one
//   channel at 250 kS/s; a bank of 82 of them runs 82 times slower.
#include "dgps/ReferenceDgpsDetector.h"

#include "dgps/DgpsDecoderBank.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/MskModulator.h"
#include "common/SystemLog.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr double kCentre = 300000.0;

std::vector<ComplexSample> fiveSeconds(int rate)
{
    std::mt19937_64 rng(11);
    std::normal_distribution<double> noise(0.0, 200.0);
    std::vector<ComplexSample> block(static_cast<size_t>(rate) * 5);
    for (ComplexSample& s : block)
        s = {noise(rng), noise(rng)};
    std::vector<uint8_t> bits(1000);
    for (uint8_t& b : bits)
        b = rng() & 1;
    for (double kHz : {287.0, 300.0, 311.0, 322.0}) {
        const MskModulator beacon(1000.0 * kHz - kCentre, kHz == 300.0 ? 200 : 100, rate, 100.0, bits, 0);
        beacon.add(0, static_cast<int>(block.size()), block.data());
    }
    return block;
}

void BM_DecoderBank(benchmark::State& state)
{
    SetSystemLogEnabled(false);
    const int rate = static_cast<int>(state.range(0));
    const std::vector<ComplexSample> block = fiveSeconds(rate);
    DgpsStationTable table;
    table.readStationText("300.0;200;1;2;2;A;x;L;1*0'0N;1*0'0E\n");
    DgpsDecoderBank bank;
    bank.setDemodObjects(rate, kCentre, rate, &table, true);
    for (auto _ : state)
        bank.ProcessData(block.data(), static_cast<int>(block.size()));
    state.counters["decoders"] = bank.numDemodObj();
    state.counters["x_real_time"] =
        benchmark::Counter(5.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecoderBank)->Arg(250000)->Arg(2000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainDetector(benchmark::State& state)
{
    SetSystemLogEnabled(false);
    const int rate = 250000;
    const std::vector<ComplexSample> block = fiveSeconds(rate);
    ReferenceDgpsDetector detector(287.0, 100, kCentre, rate, {2});
    for (auto _ : state)
        detector.ProcessData(block.data(), static_cast<int>(block.size()));
    state.counters["x_real_time"] =
        benchmark::Counter(5.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainDetector)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace

BENCHMARK_MAIN();
