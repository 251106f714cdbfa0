#include "demod/DemodFileJob.h"

#include "common/AudioOutput.h"
#include "common/ByteFields.h"
#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "common/TemporaryFile.h"
#include "demod/DemodSecondFeeder.h"
#include "demod/DemodulatorObject.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using ByteFields::putU16;
using ByteFields::putU32;

void wavHeader(uint8_t* h, uint64_t dataBytes)
{
    std::memcpy(h, "RIFF", 4);
    putU32(h + 4, static_cast<uint32_t>(dataBytes + 36));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putU32(h + 16, 16);
    putU16(h + 20, 1);
    putU16(h + 22, 1);
    putU32(h + 24, AudioOutput::kOutputRate);
    putU32(h + 28, 2 * AudioOutput::kOutputRate);
    putU16(h + 32, 2);
    putU16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    putU32(h + 40, static_cast<uint32_t>(dataBytes));
}

std::string systemError(int error) { return std::strerror(error); }

} // namespace

std::string DemodFileJob::timestampedFileName(int mode, double lowKHz, double highKHz,
                                              const std::string& fileTimestamp)
{
    double kHz = (lowKHz + highKHz) / 2.0;
    if (mode == kDemodUSB)
        kHz = lowKHz;
    else if (mode == kDemodLSB)
        kHz = highKHz;
    // Each mode has a label of its own, so that writing one selection in two
    // modes gives two files instead of one replacing the other.
    return formatFixed(kHz, 1, 6) + " " + demodModeName(mode) + " " + fileTimestamp + ".wav";
}

DemodFileJob::DemodFileJob(DemodulatorObject& demod, DemodSecondFeeder& feeder, int32_t startSecond,
                           int32_t endSecond, std::string folder, std::string fileName)
    : demod_(demod)
    , feeder_(feeder)
    , endSecond_(endSecond)
    , folder_(std::move(folder))
    , fileName_(std::move(fileName))
    , position_(startSecond)
{
}

DemodFileJob::Result DemodFileJob::run()
{
    Result result;
    const std::filesystem::path folder = folder_.empty() ? std::filesystem::path(".") : std::filesystem::path(folder_);
    // A mistyped folder must not turn into a new tree of folders.
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        result.message = "The folder \"" + folder.string() + "\" does not exist.";
        return result;
    }
    const std::string target = (folder / fileName_).string();
    TemporaryFile file;
    if (!file.open(target, result.message))
        return result;

    uint8_t header[kWavHeaderBytes] = {};
    std::vector<int16_t> audio(static_cast<size_t>(demod_.maxOutputSamples(feeder_.sampleRate())));
    std::vector<uint8_t> bytes(audio.size() * 2);
    uint64_t dataBytes = 0;
    result.complete = true;
    bool writing = file.write(header, sizeof header);
    while (writing) {
        if (cancelled_) {
            result.message = "Demodulation to file cancelled.";
            return result;
        }
        const int32_t second = position_.fetch_add(1);
        const int n = feeder_.feedSecond(demod_, second, audio.data());
        if (!feeder_.readError().empty()) {
            // Silence in place of what could not be read would pass for the recording.
            result.message = feeder_.readError();
            return result;
        }
        if (dataBytes + 2ull * n > maxDataBytes_) {
            result.complete = false;
            result.message = "The WAV file reached its 4 GiB limit at second " + std::to_string(second) +
                             "; the rest of the selection is not in it.";
            break;
        }
        for (int i = 0; i < n; ++i)
            putU16(bytes.data() + 2 * i, static_cast<uint16_t>(audio[i]));
        writing = file.write(bytes.data(), 2ull * n);
        dataBytes += 2ull * n;
        const int32_t next = position_;
        if (progress_)
            progress_(next);
        if (next >= endSecond_)
            break;
    }
    SystemLog("All done playing back");

    wavHeader(header, dataBytes);
    file.rewriteStart(header, sizeof header);
    const int error = file.commit();
    if (error != 0) {
        result.complete = false;
        result.message = "Cannot write \"" + target + "\": " + systemError(error);
        return result;
    }
    result.ok = true;
    result.path = target;
    result.audioSamples = static_cast<int64_t>(dataBytes / 2);
    return result;
}
