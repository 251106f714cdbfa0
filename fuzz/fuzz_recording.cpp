// Feeds arbitrary bytes to the layout recognisers and the sample reader, as a
// recording under a plain name, under an SDRSharp name given as a full path,
// under an SDRSharp name shorter than its pattern, as SigMF metadata (with a
// fixed data file), as a .au file, as a raw capture named by its tool, and as
// a raw file opened with settings the user gave.
#include "../tests/support/RecordingFixtures.h"
#include "common/SystemLog.h"
#include "recording/IqFileName.h"
#include "recording/RecordingObject.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

const char* const kNames[] = {"input.wav",
                              "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav",
                              "SDRSharp_2014",
                              "20171127T104156Z_77500_HB9RYZ_iq.wav",
                              "fuzz.sigmf-meta",
                              "Delhi.828.1.12k.iq.au",
                              "g001_433.92M_250k.cu8",
                              "baseband_14074000Hz_12-34-56_15-10-2023.wav",
                              "input.bin"};

// One file per process, reachable under every name through hard links.
struct FuzzFiles {
    fixtures::TempDir dir;
    FuzzFiles()
    {
        dir.write(kNames[0], {});
        for (size_t i = 1; i < std::size(kNames); ++i)
            std::filesystem::create_hard_link(dir.path + "/" + kNames[0], dir.path + "/" + kNames[i]);
        fixtures::WaveFormat f;
        dir.write("fuzz.sigmf-data", fixtures::iqPayload(f, 300));
    }
    void store(const uint8_t* data, size_t size) const
    {
        const int fd = ::open((dir.path + "/" + kNames[0]).c_str(), O_WRONLY | O_TRUNC);
        if (fd < 0)
            std::abort();
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
        ::close(fd);
    }
};

// One small valid file of every layout and of the main widths.
void writeSeeds(const std::string& folder)
{
    auto f = [](fixtures::Encoding e, bool extensible = false) {
        fixtures::WaveFormat w;
        w.encoding = e;
        w.sampleRate = 16;
        w.extensible = extensible;
        return w;
    };
    using fixtures::Encoding;
    const std::pair<const char*, fixtures::Recording> seeds[] = {
        {"sdrradio16", fixtures::sdrRadio(f(Encoding::Int16), 40, fixtures::sdrRadioText(16, 16, 7100000, 1700000000))},
        {"sdrradio24", fixtures::sdrRadio(f(Encoding::Int24), 40, fixtures::sdrRadioText(24, 16, 7100000, 1700000000))},
        {"sdrsharp16", fixtures::sdrSharp(f(Encoding::Int16), 40)},
        {"sdrsharp8", fixtures::sdrSharp(f(Encoding::UInt8), 40)},
        {"sdrsharpfloat", fixtures::sdrSharp(f(Encoding::Float32, true), 40)},
        {"studio1", fixtures::sdrSdrStudio1(f(Encoding::Int32), 40, 10000000, 1600000000)},
        {"studio2", fixtures::sdrSdrStudio2(f(Encoding::Int24), 40, 3500000, {}, {})},
        {"perseus16", fixtures::perseus(f(Encoding::Int16), 40, {.samplingRateIdx = 9})},
        {"perseus24", fixtures::perseus(f(Encoding::Int24), 40, {})},
        {"spectravue", fixtures::spectraVue(f(Encoding::Int16), 40, {})},
        // Many data chunks with others between them, also splitting samples.
        {"kiwi16", fixtures::kiwiFile(f(Encoding::Int16), 40, 32)},
        {"kiwisplit24", fixtures::kiwiFile(f(Encoding::Int24), 40, 10)},
        {"kiwi8", fixtures::kiwiFile(f(Encoding::UInt8), 40, 2)},
        {"rf64", fixtures::rf64File(f(Encoding::Int16), 40)},
    };
    for (const auto& [name, file] : seeds) {
        fixtures::TempDir::writeTo(folder + "/" + name, file.bytes);
    }
    // The other containers and their parameter checks.
    const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    const std::pair<const char*, std::vector<uint8_t>> others[] = {
        {"sigmf_ci16", text(fixtures::sigmfMeta("ci16_le", "16", R"({"core:sample_start": 0, "core:frequency": 7.1e6,
            "core:datetime": "2023-10-15T12:34:56Z", "core:header_bytes": 8})"))},
        {"sigmf_cf32", text(fixtures::sigmfMeta("cf32_le", "16.5", ""))},
        {"sigmf_cu8", text(fixtures::sigmfMeta("cu8", "1e3", "{}"))},
        {"au16", fixtures::auFile(3, 2, 16, fixtures::bigEndian16Payload(40))},
        {"au8", fixtures::auFile(2, 3, 16, fixtures::int8Payload(40))},
        {"raw", fixtures::iqPayload(f(Encoding::UInt8), 40)},
    };
    for (const auto& [name, bytes] : others)
        fixtures::TempDir::writeTo(folder + "/" + name, bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetSystemLogEnabled(false);
    if (const char* seeds = std::getenv("KORVEL_WRITE_SEEDS"))
        writeSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzFiles files;
    static RecordingObject recording;
    static std::vector<ComplexSample> block(512);
    files.store(data, size);

    std::vector<std::string> lines;
    recording.setRecordingFolder(files.dir.path);
    for (size_t i = 0; i < std::size(kNames); ++i) {
        const std::string name = i == 1 ? files.dir.path + "/" + kNames[i] : std::string(kNames[i]);
        RawIqSettings given;
        if (name == "input.bin") {
            given.sampleRate = 16;
            given.format = IqFileName::formatNamed("cs16");
        }
        recording.setRawIqSettings(given);
        recording.setRecordingFile(name, lines);
        if (!recording.isValidRecordingFile()) {
            if (lines.empty()) // a refusal always says why
                std::abort();
            continue;
        }
        if (recording.parameters().mSampleRate <= 0 || recording.parameters().mNumSeconds < 0)
            std::abort();
        const int64_t first = recording.getData(block.data(), 0.0, static_cast<int64_t>(block.size()));
        if (first != std::min<int64_t>(recording.sampleCount(), static_cast<int64_t>(block.size())) &&
            recording.readError().empty())
            std::abort();
        const double last = recording.parameters().mNumSeconds;
        for (double t : {0.0, 0.37, last - 1.0, last, last + 1.0, 1e12}) {
            const int64_t got = recording.getData(block.data(), t, static_cast<int64_t>(block.size()));
            if (got < 0 || got > static_cast<int64_t>(block.size()))
                std::abort();
            for (int64_t k = 0; k < got; ++k) {
                if (!std::isfinite(block[k].im) || !std::isfinite(block[k].re))
                    std::abort();
            }
        }
        for (int32_t offset : {0, recording.parameters().mNumSeconds, INT32_MAX, INT32_MIN}) {
            if (recording.TimestampFromOffset(offset).empty() || recording.FileTimestampFromOffset(offset).empty())
                std::abort();
            recording.UnixTimestampFromOffset(offset);
        }
    }
    return 0;
}
