#include "demod/DemodSecondFeeder.h"

#include "demod/DemodulatorObject.h"
#include "recording/RecordingObject.h"

#include <algorithm>

namespace {

// A second is read and demodulated in pieces of this many samples, so memory
// follows the piece, not the sample rate a header claims; or of 10 ms, the
// longest block the demodulator works in, where that is more.
constexpr int32_t kPieceSamples = 1 << 16;

// No longer than the samples there are: a header's rate does not size the
// piece of a recording that holds fewer.
int32_t PieceSamples(int32_t sampleRate, int64_t sampleCount)
{
    const int32_t piece = std::min(sampleRate, std::max(kPieceSamples, sampleRate / 100 + 1));
    return static_cast<int32_t>(std::clamp<int64_t>(sampleCount, 1, piece));
}

} // namespace

DemodSecondFeeder::DemodSecondFeeder(SampleSource source, int32_t sampleRate, int64_t sampleCount)
    : source_(std::move(source))
    , sampleRate_(std::max(sampleRate, 1))
    , sampleCount_(std::max<int64_t>(sampleCount, 0))
    , block_(static_cast<size_t>(PieceSamples(sampleRate_, sampleCount_)))
{
}

DemodSecondFeeder::DemodSecondFeeder(RecordingObject& recording, int32_t sampleRate)
    : DemodSecondFeeder(
          [&recording](ComplexSample* block, int64_t first, int64_t samples) {
              return recording.read(first, samples, block).value_or(0);
          },
          sampleRate, recording.sampleCount())
{
    recording_ = &recording;
}

const std::string& DemodSecondFeeder::readError() const
{
    static const std::string none;
    return recording_ ? recording_->readError() : none;
}

int DemodSecondFeeder::feedSecond(DemodulatorObject& demod, int32_t second, int16_t* output)
{
    return feed(demod, static_cast<int64_t>(second) * sampleRate_, sampleRate_, output);
}

int DemodSecondFeeder::feed(DemodulatorObject& demod, int64_t first, int32_t count, int16_t* output)
{
    return feedSpan(demod, first, count, output, true);
}

int DemodSecondFeeder::feedPresent(DemodulatorObject& demod, int64_t first, int32_t count, int16_t* output)
{
    return feedSpan(demod, first, count, output, false);
}

int DemodSecondFeeder::feedSilence(DemodulatorObject& demod, int32_t count, int16_t* output)
{
    const auto pieceLength = static_cast<int32_t>(block_.size());
    std::fill(block_.begin(), block_.end(), ComplexSample{});
    int produced = 0;
    lastFilled_ = 0;
    for (int32_t at = 0, n = 0; at < count; at += n) {
        n = std::min(pieceLength, count - at);
        produced += demod.ProcessData(block_.data(), n, output ? output + produced : nullptr);
        demodulated_ += n;
    }
    return produced;
}

int DemodSecondFeeder::feedSpan(DemodulatorObject& demod, int64_t first, int32_t count, int16_t* output,
                                bool pastTheEnd)
{
    demod.setPlayBackSec(static_cast<int32_t>(first / sampleRate_ + 1));
    const auto pieceLength = static_cast<int32_t>(block_.size());
    const int32_t demodBlock = demod.getInBufLimit();
    int produced = 0;
    lastFilled_ = 0;
    bool ended = first < 0 || first >= sampleCount_;
    if (!pastTheEnd)
        count = static_cast<int32_t>(std::clamp<int64_t>(sampleCount_ - first, 0, count));
    for (int32_t at = 0, n = 0; at < count; at += n) {
        n = std::min(pieceLength, count - at);
        // A piece that ends where the demodulator's block does leaves it no
        // samples to gather into the next block: it reads the blocks in place.
        if (demodBlock > 0 && n == pieceLength) {
            const int32_t pending = demod.pendingInputSamples();
            const int32_t aligned = (pending + n) / demodBlock * demodBlock - pending;
            if (aligned > 0)
                n = aligned;
        }
        int64_t filled = 0;
        if (!ended) {
            filled = std::clamp<int64_t>(source_(block_.data(), first + at, n), 0, n);
            lastFilled_ += filled;
            ended = filled < n;
            if (ended && first >= 0)
                sampleCount_ = std::min(sampleCount_, first + at + filled);
        }
        if (ended && !pastTheEnd) {
            if (filled > 0)
                produced += demod.ProcessData(block_.data(), static_cast<int>(filled), output ? output + produced : nullptr);
            demodulated_ += filled;
            break;
        }
        std::fill(block_.begin() + filled, block_.begin() + n, ComplexSample{});
        produced += demod.ProcessData(block_.data(), n, output ? output + produced : nullptr);
        demodulated_ += n;
    }
    return produced;
}
