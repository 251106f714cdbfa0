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

// Recordings of the other containers, of the same 64 MiB of samples.
enum class Foreign { SigmfInt16, RawUInt8, RawInt8, AuBigEndian16, RawFloat32 };

void BM_GetDataForeign(benchmark::State& state, Foreign kind)
{
    fixtures::WaveFormat format;
    format.encoding = kind == Foreign::RawUInt8 || kind == Foreign::RawInt8 ? fixtures::Encoding::UInt8
                      : kind == Foreign::RawFloat32                         ? fixtures::Encoding::Float32
                                                                            : fixtures::Encoding::Int16;
    const int64_t frames = static_cast<int64_t>(kFileDataBytes / format.bytesPerFrame());
    fixtures::TempDir dir;
    std::string name;
    switch (kind) {
    case Foreign::SigmfInt16: {
        const std::string meta = fixtures::sigmfMeta("ci16_le", std::to_string(kRate), "");
        dir.write("bench.sigmf-meta", std::vector<uint8_t>(meta.begin(), meta.end()));
        dir.write("bench.sigmf-data", fixtures::iqPayload(format, frames));
        name = "bench.sigmf-meta";
        break;
    }
    case Foreign::RawUInt8: name = "bench_100M_1M.cu8"; dir.write(name, fixtures::iqPayload(format, frames)); break;
    case Foreign::RawInt8: name = "bench_100M_1M.cs8"; dir.write(name, fixtures::int8Payload(frames)); break;
    case Foreign::RawFloat32: name = "bench_100M_1M.cf32"; dir.write(name, fixtures::iqPayload(format, frames)); break;
    case Foreign::AuBigEndian16:
        name = "bench.100.iq.au";
        dir.write(name, fixtures::auFile(3, 2, kRate, fixtures::bigEndian16Payload(frames)));
        break;
    }

    SetSystemLogEnabled(false);
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFolder(dir.path);
    recording.setRecordingFile(name, lines);
    if (!recording.isValidRecordingFile()) {
        state.SkipWithError("the recording did not open");
        return;
    }
    const int64_t blockSamples = state.range(0);
    std::vector<ComplexSample> block(static_cast<size_t>(blockSamples));
    for (int64_t at = 0; at + blockSamples <= frames; at += blockSamples)
        recording.getData(block.data(), static_cast<double>(at) / kRate, blockSamples);

    const int64_t positions = frames / blockSamples;
    int64_t next = 0;
    int64_t samplesRead = 0;
    for (auto _ : state) {
        samplesRead += recording.getData(block.data(), static_cast<double>(next * blockSamples) / kRate, blockSamples);
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

// SigMF, raw captures and .au files, read as fast as the WAVE layouts.
BENCHMARK_CAPTURE(BM_GetDataForeign, sigmf_ci16, Foreign::SigmfInt16)->Arg(65536)->Arg(1000000)->UseRealTime();
BENCHMARK_CAPTURE(BM_GetDataForeign, raw_cu8, Foreign::RawUInt8)->Arg(65536)->Arg(1000000)->UseRealTime();
BENCHMARK_CAPTURE(BM_GetDataForeign, raw_cs8, Foreign::RawInt8)->Arg(65536)->Arg(1000000)->UseRealTime();
BENCHMARK_CAPTURE(BM_GetDataForeign, raw_cf32, Foreign::RawFloat32)->Arg(65536)->Arg(1000000)->UseRealTime();
BENCHMARK_CAPTURE(BM_GetDataForeign, au_int16_big_endian, Foreign::AuBigEndian16)->Arg(65536)->Arg(1000000)->UseRealTime();

BENCHMARK_MAIN();
