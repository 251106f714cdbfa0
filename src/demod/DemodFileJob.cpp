#include "demod/DemodFileJob.h"

#include "common/AudioOutput.h"
#include "common/ByteFields.h"
#include "common/CNumberFormat.h"
#include "common/GccRestrictWarning.h"
#include "common/SystemLog.h"
#include "common/TemporaryFile.h"
#include "demod/DemodSecondFeeder.h"
#include "demod/DemodulatorObject.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using ByteFields::putU16;
using ByteFields::putU32;

void putU64(uint8_t* p, uint64_t v)
{
    putU32(p, static_cast<uint32_t>(v));
    putU32(p + 4, static_cast<uint32_t>(v >> 32));
}

void formatChunk(uint8_t* h)
{
    std::memcpy(h, "fmt ", 4);
    putU32(h + 4, 16);
    putU16(h + 8, 1);
    putU16(h + 10, 1);
    putU32(h + 12, AudioOutput::kOutputRate);
    putU32(h + 16, 2 * AudioOutput::kOutputRate);
    putU16(h + 20, 2);
    putU16(h + 22, 16);
}

// The 80-byte header of a file that may pass 4 GiB: RIFF with a "JUNK" chunk
// while the data fits 32 bits, else RF64 with "ds64" in its place.
void wideHeader(uint8_t* h, uint64_t dataBytes, uint64_t riffLimit)
{
    const uint64_t riffLength = dataBytes + DemodFileJob::kRf64HeaderBytes - 8;
    const bool rf64 = dataBytes > riffLimit;
    std::memcpy(h, rf64 ? "RF64" : "RIFF", 4);
    putU32(h + 4, rf64 ? 0xFFFFFFFF : static_cast<uint32_t>(riffLength));
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, rf64 ? "ds64" : "JUNK", 4);
    putU32(h + 16, 28);
    std::memset(h + 20, 0, 28);
    if (rf64) {
        putU64(h + 20, riffLength);
        putU64(h + 28, dataBytes);
        putU64(h + 36, dataBytes / 2);
    }
    formatChunk(h + 48);
    std::memcpy(h + 72, "data", 4);
    putU32(h + 76, rf64 ? 0xFFFFFFFF : static_cast<uint32_t>(dataBytes));
}

void wavHeader(uint8_t* h, uint64_t dataBytes)
{
    std::memcpy(h, "RIFF", 4);
    putU32(h + 4, static_cast<uint32_t>(dataBytes + 36));
    std::memcpy(h + 8, "WAVE", 4);
    formatChunk(h + 12);
    std::memcpy(h + 36, "data", 4);
    putU32(h + 40, static_cast<uint32_t>(dataBytes));
}

std::string systemError(int error) { return std::strerror(error); }

constexpr int kAudioRate = AudioOutput::kOutputRate;

const char* const kNoSamples = "The selection holds no samples of the recording; nothing was written.";

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
    , startSecond_(startSecond)
    , endSecond_(endSecond)
    , folder_(std::move(folder))
    , fileName_(std::move(fileName))
    , position_(startSecond)
{
}

int DemodFileJob::measureLead(const DemodulatorObject& configured, int64_t maxHalfSamples)
{
    const int32_t rate = configured.getInputRate();
    const int mode = configured.getDemodMode();
    if (rate <= 0 || mode == kDemodNone)
        return 0;
    // Silence, then a tone in the middle of the pass band: its edge leaves the
    // pipeline where the pipeline puts that instant. The FM modes hear no tone,
    // only its frequency: for them a carrier in the middle of the band steps up
    // by a quarter of the half band instead.
    const bool frequencyStep = mode == kDemodFM || mode == kDemodWFM;
    const double step = frequencyStep ? 0.125 * (configured.getHighCutoff() - configured.getLowCutoff()) : 0.0;
    // Each half lasts 8192 samples of the pipeline's rate, long beside the
    // band-pass, the AGC's look-ahead and the audio filters, kept within 0.1 s
    // and 0.5 s: the probe costs fast recordings little beside their run.
    const double pipelineRate = configured.getOutputRate();
    const double half = pipelineRate > 0.0 ? std::clamp(8192.0 / pipelineRate, 0.1, 0.5) : 0.5;
    const auto onset = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(half * rate), 1, maxHalfSamples));
    const int32_t length = 2 * onset;
    // Fed in pieces, as the runs feed a second: a header's rate must not size the memory.
    constexpr int32_t kPiece = 65536;
    std::vector<ComplexSample> probe(static_cast<size_t>(std::min(length, kPiece)));
    std::vector<int16_t> pieceAudio;
    std::vector<int16_t> audio;
    int best = 0;
    double bestPeak = 0.0;
    for (const double side : {1.0, -1.0}) {
        DemodulatorObject demod;
        demod.setShowsReadings(false);
        // A fixed gain: the AGC's look-ahead is held back like the rest and
        // must not lift the band-pass's pre-echo of the probe's edge.
        ReceiverControls controls = configured.controls();
        controls.agc = AgcChoice::Off;
        controls.manualGainDb = 0.0;
        controls.squelchDb.reset();
        demod.setControls(controls);
        demod.SetInputSampleRate(rate, 4000.0);
        demod.SetNCO(configured.getNCO());
        demod.SetInputSampleRate(rate, 4000.0);
        demod.SetDemodMode(mode, configured.getFilter(), configured.getPBT(), configured.getBandwidth());
        demod.ResetStream();
        const double hz = configured.getNCO() + side * 0.5 * (configured.getLowCutoff() + configured.getHighCutoff());
        pieceAudio.resize(static_cast<size_t>(demod.maxOutputSamples(static_cast<int>(probe.size()))));
        audio.clear();
        // The tone as a turning phasor, brought back to unit length every piece.
        const double before = 2.0 * M_PI * hz / rate;
        const double after = 2.0 * M_PI * (hz + side * step) / rate;
        const double turnC[2] = {std::cos(before), std::cos(after)};
        const double turnS[2] = {std::sin(before), std::sin(after)};
        double c = 1.0, s = 0.0;
        for (int32_t start = 0; start < length; start += kPiece) {
            const int32_t count = std::min(kPiece, length - start);
            const double norm = 1.0 / std::hypot(c, s);
            c *= norm;
            s *= norm;
            for (int32_t i = 0; i < count; ++i) {
                const int32_t k = start + i;
                probe[static_cast<size_t>(i)] =
                    k < onset && !frequencyStep ? ComplexSample{} : ComplexSample{8000.0 * c, 8000.0 * s};
                const int turn = k < onset ? 0 : 1;
                const double nextC = c * turnC[turn] - s * turnS[turn];
                s = s * turnC[turn] + c * turnS[turn];
                c = nextC;
            }
            const int made = demod.ProcessData(probe.data(), count, pieceAudio.data());
            audio.insert(audio.end(), pieceAudio.begin(), pieceAudio.begin() + made);
        }
        const int n = static_cast<int>(audio.size());
        int peak = 0;
        for (int i = 0; i < n; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(audio[static_cast<size_t>(i)])));
        if (peak <= bestPeak)
            continue;
        const auto edge = std::find_if(audio.begin(), audio.begin() + n,
                                       [peak](int16_t v) { return 2 * std::abs(static_cast<int>(v)) >= peak; });
        bestPeak = peak;
        best = static_cast<int>(std::lround(static_cast<double>(onset) * kAudioRate / rate)) -
               static_cast<int>(edge - audio.begin());
    }
    return best;
}

DemodFileJob::Result DemodFileJob::run()
{
    Result result;
    const std::filesystem::path folder = folder_.empty() ? std::filesystem::path(".") : std::filesystem::path(folder_);
    // A mistyped folder must not turn into a new tree of folders.
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
        result.message = std::filesystem::exists(folder, ec)
                             ? "\"" + folder.string() + "\" is a file, not a folder."
                             : "The folder \"" + folder.string() + "\" does not exist.";
        KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
        return result;
    }
    const int32_t rate = feeder_.sampleRate();
    if (int64_t{startSecond_} * rate >= feeder_.sampleCount()) {
        result.message = kNoSamples;
        return result;
    }
    const std::string target = (folder / fileName_).string();
    TemporaryFile file;
    if (!file.open(target, result.message))
        return result;

    // A selection that will pass the RIFF limit gets room for the RF64 header.
    const uint64_t expectedBytes =
        2ull * kAudioRate * static_cast<uint64_t>(std::max<int64_t>(int64_t{endSecond_} - startSecond_, 1));
    const bool wide = expectedBytes > maxDataBytes_;
    uint8_t header[kRf64HeaderBytes] = {};
    const size_t headerBytes = wide ? kRf64HeaderBytes : kWavHeaderBytes;
    std::vector<int16_t> audio(static_cast<size_t>(demod_.maxOutputSamples(feeder_.sampleRate())));
    std::vector<uint8_t> bytes(audio.size() * 2);
    uint64_t dataBytes = 0;
    result.complete = true;
    bool writing = file.write(header, headerBytes);

    // The audio of selection time t is written at t: what the pipeline emits
    // before the selection's start is dropped, what it held back of it is
    // written as silence.
    // The burst that measures the lead costs no more than the run's own
    // reading: a header's rate must not make it outweigh a few samples.
    const int64_t firstRead = int64_t{std::max(startSecond_ - 1, 0)} * rate;
    const int64_t lastRead = (int64_t{std::max(endSecond_, startSecond_ + 1)} + 1) * rate;
    const int lead = measureLead(demod_, std::max<int64_t>(std::min(lastRead, feeder_.sampleCount()) - firstRead, 1));
    const int32_t firstSecond = startSecond_;
    const int64_t firstAt = (firstSecond > 0 ? kAudioRate : 0) - lead;
    int64_t toDrop = std::max<int64_t>(firstAt, 0);
    uint64_t capBytes = UINT64_MAX;
    auto writeAudio = [&](const int16_t* samples, int64_t n) {
        const int64_t skip = std::clamp<int64_t>(toDrop, 0, n);
        toDrop -= skip;
        const int64_t room = static_cast<int64_t>(dataBytes < capBytes ? (capBytes - dataBytes) / 2 : 0);
        const int64_t count = std::min(n - skip, room);
        for (int64_t i = 0; i < count; ++i)
            putU16(bytes.data() + 2 * i, static_cast<uint16_t>(samples[skip + i]));
        dataBytes += 2ull * static_cast<uint64_t>(count);
        return file.write(bytes.data(), 2ull * static_cast<uint64_t>(count));
    };
    auto writeSilence = [&](int64_t n) {
        std::fill(audio.begin(), audio.end(), int16_t{0});
        bool ok = true;
        for (int64_t left = n; ok && left > 0;) {
            const int64_t part = std::min<int64_t>(left, static_cast<int64_t>(audio.size()));
            ok = writeAudio(audio.data(), part);
            left -= part;
        }
        return ok;
    };
    if (firstAt < 0)
        writing = writing && writeSilence(-firstAt);
    if (firstSecond > 0 && writing) {
        const int n = feeder_.feedSecond(demod_, firstSecond - 1, audio.data());
        if (!feeder_.readError().empty()) {
            result.message = feeder_.readError();
            return result;
        }
        writing = writeAudio(audio.data(), n);
    }

    // The audio of `samples` samples of the recording, in bytes: whole seconds exactly.
    auto audioBytesOf = [rate](int64_t samples) {
        return 2ull * static_cast<uint64_t>(samples / rate * kAudioRate +
                                            std::llround(static_cast<double>(samples % rate) * kAudioRate / rate));
    };
    int64_t samplesFed = 0; // of the selection
    bool skipped = false;   // the skip buttons moved the run away from the selection
    bool ended = false;     // the recording's last sample has been fed
    int32_t expected = firstSecond;
    while (writing) {
        if (cancelled_) {
            result.message = "Demodulation to file cancelled.";
            return result;
        }
        const int32_t second = position_.fetch_add(1);
        skipped = skipped || second != expected;
        expected = second + 1;
        // Only the samples present: a header's rate must not make the run
        // demodulate a second of zeros past the end of the data.
        const int n = feeder_.feedPresent(demod_, int64_t{second} * rate, rate, audio.data());
        if (!feeder_.readError().empty()) {
            // Silence in place of what could not be read would pass for the recording.
            result.message = feeder_.readError();
            return result;
        }
        if (!wide && dataBytes + 2ull * n > maxDataBytes_) {
            result.complete = false;
            result.message = "The WAV file reached its 4 GiB limit at second " + std::to_string(second) +
                             "; the rest of the selection is not in it.";
            break;
        }
        samplesFed += feeder_.lastFilled();
        capBytes = audioBytesOf(samplesFed);
        writing = writeAudio(audio.data(), n);
        ended = feeder_.lastFilled() < rate;
        const int32_t next = position_;
        if (progress_)
            progress_(next);
        if (ended && samplesFed > 0) {
            result.clipped = true;
            result.message = "The recording ends at " +
                             formatGeneral(static_cast<double>(feeder_.sampleCount()) / rate) +
                             " s, inside the selection; the file stops there.";
        }
        if (ended || next >= endSecond_)
            break;
    }
    if (samplesFed == 0 && !skipped && writing && result.complete) {
        result.message = kNoSamples;
        return result;
    }
    if (writing && result.complete) {
        capBytes = audioBytesOf(samplesFed);
        if (!ended) {
            // The second after the selection pushes out what the pipeline
            // still holds of it; the file ends where the selection does. Where
            // the recording ends inside that second, the selection takes it in.
            const int n = feeder_.feedPresent(demod_, int64_t{position_} * rate, rate, audio.data());
            if (!feeder_.readError().empty()) {
                result.message = feeder_.readError();
                return result;
            }
            ended = feeder_.lastFilled() < rate;
            if (ended) {
                samplesFed += feeder_.lastFilled();
                capBytes = audioBytesOf(samplesFed);
            }
            writing = writeAudio(audio.data(), n);
        }
        // Past the recording's end, silence pushes the rest out: in pieces,
        // only until the file holds the selection, at most a second.
        const int32_t piece = std::max(rate / 20, 1);
        for (int32_t fed = 0; ended && writing && dataBytes < capBytes && fed < rate; fed += piece)
            writing = writeAudio(audio.data(), feeder_.feedSilence(demod_, std::min(piece, rate - fed), audio.data()));
        if (writing && dataBytes < capBytes)
            writing = writeSilence(static_cast<int64_t>((capBytes - dataBytes) / 2));
    }
    SystemLog("All done playing back");

    if (wide)
        wideHeader(header, dataBytes, maxDataBytes_);
    else
        wavHeader(header, dataBytes);
    file.rewriteStart(header, headerBytes);
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
