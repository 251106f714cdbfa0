#pragma once

#include "common/ComplexSample.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DemodulatorObject;
class RecordingObject;

// Reads a recording one whole second at a time and hands it to the
// demodulator in pieces of at most 65536 samples, or of 10 ms where that is
// more: the unit of work of playback and of demodulation to a file. Its
// memory is one piece, whatever the sample rate.
class DemodSecondFeeder {
public:
    // Fills up to `samples` samples from the one of index `first` into
    // `block` and returns how many it filled (fewer at the end of the recording).
    using SampleSource = std::function<int64_t(ComplexSample* block, int64_t first, int64_t samples)>;

    static constexpr int64_t kUnknownCount = INT64_MAX;

    // sampleRate: S/s of the recording (> 0); sampleCount: the samples the
    // source holds, where known (a short read tells the feeder otherwise).
    DemodSecondFeeder(SampleSource source, int32_t sampleRate, int64_t sampleCount = kUnknownCount);
    // Reads from `recording`, which must outlive the feeder.
    DemodSecondFeeder(RecordingObject& recording, int32_t sampleRate);

    // Reads second `second` (samples the recording lacks read as zeros, never
    // as an earlier second) and demodulates it; the carrier log stamps its
    // lines with the play position that follows, second + 1. `output`: null for playback
    // (the audio goes to the sound output), or room for
    // demod.maxOutputSamples(sampleRate()) samples. Returns ProcessData's count.
    int feedSecond(DemodulatorObject& demod, int32_t second, int16_t* output);
    // The same for `count` samples (>= 0) from sample `first` of the recording
    // (>= 0): playback's shorter pieces. `output`: null, or room for
    // demod.maxOutputSamples(count) samples.
    int feed(DemodulatorObject& demod, int64_t first, int32_t count, int16_t* output);
    // As feed(), but no further than the recording's last sample: the
    // demodulator gets lastFilled() samples, none of them zeros past the end.
    int feedPresent(DemodulatorObject& demod, int64_t first, int32_t count, int16_t* output);
    // `count` zero samples (>= 0), in pieces: what pushes out the audio the
    // demodulator still holds once the recording has ended.
    int feedSilence(DemodulatorObject& demod, int32_t count, int16_t* output);
    // The recording's read error (RecordingObject::readError); empty for a
    // plain sample source or while every read succeeded.
    const std::string& readError() const;

    int32_t sampleRate() const { return sampleRate_; }
    // Samples of the recording in the last second fed (the rest were zeros).
    int64_t lastFilled() const { return lastFilled_; }
    // The samples the source holds: kUnknownCount until known.
    int64_t sampleCount() const { return sampleCount_; }
    // Samples handed to demodulators so far, zeros included: the work done.
    int64_t demodulated() const { return demodulated_; }

private:
    int feedSpan(DemodulatorObject& demod, int64_t first, int32_t count, int16_t* output, bool pastTheEnd);

    SampleSource source_;
    const RecordingObject* recording_ = nullptr;
    int32_t sampleRate_;
    int64_t lastFilled_ = 0;
    int64_t sampleCount_;
    int64_t demodulated_ = 0;
    std::vector<ComplexSample> block_;
};
