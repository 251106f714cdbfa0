// getData throughput from the page cache, in bytes of file input per second.
#include "../tests/support/RecordingFixtures.h"
#include "common/SystemLog.h"
#include "recording/RecordingObject.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kRate = 1000000;
constexpr uint64_t kFileDataBytes = 64ull << 20;

// chunkBytes 0: one data chunk; otherwise KiwiSDR-style chunks of that many bytes.
void BM_GetData(benchmark::State& state, fixtures::Encoding encoding, uint32_t chunkBytes)
{
    fixtures::WaveFormat format;
    format.encoding = encoding;
    format.sampleRate = kRate;
    const int64_t frames = static_cast<int64_t>(kFileDataBytes / format.bytesPerFrame());
    fixtures::TempDir dir;
    dir.write("bench.wav", chunkBytes == 0 ? fixtures::sdrSdrStudio2(format, frames, 1, {}, {}).bytes
                                           : fixtures::kiwiFile(format, frames, chunkBytes).bytes);

    SetSystemLogEnabled(false);
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFolder(dir.path);
    recording.setRecordingFile("bench.wav", lines);
    const int64_t blockSamples = state.range(0);
    std::vector<ComplexSample> block(static_cast<size_t>(blockSamples));
    for (int64_t at = 0; at + blockSamples <= frames; at += blockSamples) // into the page cache
        recording.getData(block.data(), static_cast<double>(at) / kRate, blockSamples);

    const int64_t positions = frames / blockSamples;
    int64_t next = 0;
    int64_t samplesRead = 0;
    for (auto _ : state) {
        const double atSecond = static_cast<double>(next * blockSamples) / kRate;
        samplesRead += recording.getData(block.data(), atSecond, blockSamples);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
        next = (next + 1) % positions;
    }
    state.SetBytesProcessed(samplesRead * recording.sampleFormat().bytesPerSample());
}

} // namespace

// Blocks of 65536 samples (a display transform's worth) and of one second at 1 MS/s.
BENCHMARK_CAPTURE(BM_GetData, int16, fixtures::Encoding::Int16, 0)->Arg(65536)->Arg(1000000)->UseRealTime();
BENCHMARK_CAPTURE(BM_GetData, int24, fixtures::Encoding::Int24, 0)->Arg(65536)->Arg(1000000)->UseRealTime();
BENCHMARK_CAPTURE(BM_GetData, float32, fixtures::Encoding::Float32, 0)->Arg(65536)->Arg(1000000)->UseRealTime();
// 2048-byte data chunks, each after a small chunk of its own, as KiwiSDR writes them.
BENCHMARK_CAPTURE(BM_GetData, int16_kiwi_chunks, fixtures::Encoding::Int16, 2048)->Arg(65536)->Arg(1000000)->UseRealTime();

BENCHMARK_MAIN();
