#pragma once

#include "common/AudioOutput.h"
#include "dsp/FractionalResamplerObject.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// The audio queue between the demodulator and the sound device: audio is
// resampled to kOutputRate (or given at that rate) and appended to a ring; the
// sound device takes it out in pieces of any length as it asks (readSound).
// The volume is applied and the samples are limited to 16 bits as they leave
// the ring, so a new volume is heard at once.
//
// After silence the reader starts only when a whole buffer of 11025 frames
// (0.25 s) waits, or when the writer has said that nothing more follows
// (markStreamEnd), so a slow start does not stutter.
//
// One writer (addSoundData, addAudio, cut, markStreamEnd, setNoOutput) and one
// reader (readSound, fillSoundBuffer) may run on different threads: every
// position is written by one side only. The positions are running totals of
// samples since construction, so the two sides can say where a sample lies
// in the stream for ever, not only within the ring.
class SoundOutputObject : public AudioOutput {
public:
    static constexpr int frameCount = 11025;      // frames per device buffer
    static constexpr int kSoundRingSize = 500000;  // slots; holds up to kSoundRingSize - 1 samples
    static constexpr int kMaxResamplerInput = 10000;
    static constexpr int kSoundScratchSize = 40000;
    // Length of the raised-cosine fade a cut plays over what was queued, in
    // samples (3 ms).
    static constexpr int kFadeSamples = 132;

    // Silent (noOutput on) and empty until the pipeline clears noOutput.
    SoundOutputObject();

    // Writer side. `data`: n values in 16-bit units; n >= 0, any length (fed to
    // the resampler in pieces); rate: their sample rate in Hz, 2 Hz and up.
    // Samples that do not fit in the ring are dropped.
    void addSoundData(const double* data, int n, double rate) override;
    // Writer side: n samples already at kOutputRate, at unit gain. Those that
    // do not fit (see room()) are dropped.
    void addAudio(const int16_t* samples, int n);
    // Samples the ring can still take.
    int room() const;
    void setNoOutput(bool noOutput) override;
    int numSoundSamples() const override;
    // Drops what is queued, and the rest of the buffer being played: the reader
    // plays silence until new audio makes a whole buffer.
    void flush();
    // Ends what is queued without a click: the reader fades out over the next
    // kFadeSamples of it (fewer if fewer wait), drops the rest, and goes on with
    // what is written after the cut. Returns the write total at the cut: where
    // the next audio written starts.
    int64_t cut();
    // Nothing more follows what is queued for now: the reader plays it out even
    // when it is less than a whole buffer. Writing again clears it.
    void markStreamEnd();

    // Samples written since construction; samples the reader has consumed
    // (played, or dropped by a flush or cut).
    int64_t writtenTotal() const { return writeTotal_.load(std::memory_order_acquire); }
    int64_t readTotal() const { return readTotal_.load(std::memory_order_acquire); }

    // Gain applied as samples leave the ring: the volume slider value
    // (0..1000) x 0.001. 0 until first set. Any thread.
    void setPlaybackVolume(double volume);
    double playbackVolume() const;

    // Reader side: fills out[0..n) with the next samples of the output and
    // returns how many came from the ring; the rest is silence. A buffer starts
    // only when a whole one (frameCount samples) is waiting, or the rest of a
    // stream whose end is marked, and then plays to its end over the following
    // calls unless flushed or cut; fewer waiting samples are left for later.
    // With noOutput on the ring is emptied.
    int readSound(int16_t* out, int n);
    // One whole buffer (frameCount samples); true when it holds audio.
    bool fillSoundBuffer(int16_t* buffer);

private:
    void appendToRing(const float* samples, int n);
    void skipTo(int64_t total);

    FractionalResamplerObject fracResampler;
    std::vector<double> soundScratch;
    std::vector<float> soundFloats;     // addAudio's samples on their way into the ring
    std::vector<float> soundRing;       // at unit gain, not yet limited
    std::atomic<int64_t> writeTotal_{0}; // written by the writer only
    std::atomic<int64_t> readTotal_{0};  // written by the reader only
    std::atomic<bool> soundNoOutput{true};
    // Write totals of the last flush, cut and stream end not yet acted on by
    // the reader; -1 when none.
    std::atomic<int64_t> flushTo_{-1};
    std::atomic<int64_t> cutTo_{-1};
    std::atomic<int64_t> streamEndAt_{-1};
    std::atomic<double> playbackVolume_{0.0};
    bool ringFullLogged_ = false;        // writer only
    std::mutex readerMutex_;
    int bufferLeft_ = 0;                 // reader only: samples of the buffer in play
    int64_t fadingTo_ = -1;              // reader only: the cut being faded out towards
    int fadeLeft_ = 0;                   // reader only: samples of that fade still to play
    bool sounding_ = false;              // reader only: the last call ended on audio from the ring
};
