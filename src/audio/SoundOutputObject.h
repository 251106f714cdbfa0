#pragma once

#include "common/AudioOutput.h"
#include "dsp/FractionalResamplerObject.h"

#include <atomic>
#include <cstdint>
#include <vector>

// The audio queue between the demodulator and the sound device: audio is
// resampled to kOutputRate and appended to a ring; the sound device takes it out
// in whole buffers of 11025 frames (0.25 s), in pieces of any length as it
// asks (readSound). The volume is applied and the samples are limited to 16
// bits as they leave the ring, so a new volume is heard at once.
//
// One writer (addSoundData, setNoOutput) and one reader (fillSoundBuffer) may
// run on different threads: each ring position is written by one side only.
class SoundOutputObject : public AudioOutput {
public:
    static constexpr int frameCount = 11025;      // frames per device buffer
    static constexpr int kSoundRingSize = 500000;  // slots; holds up to kSoundRingSize - 1 samples
    static constexpr int kMaxResamplerInput = 10000;
    static constexpr int kSoundScratchSize = 40000;

    // Silent (noOutput on) and empty until the pipeline clears noOutput.
    SoundOutputObject();

    // Writer side. `data`: n values in 16-bit units; n >= 0, any length (fed to
    // the resampler in pieces); rate: their sample rate in Hz, 2 Hz and up.
    // Samples that do not fit in the ring are dropped.
    void addSoundData(const double* data, int n, double rate) override;
    void setNoOutput(bool noOutput) override;
    int numSoundSamples() const override;
    // Drops what is queued, and the rest of the buffer being played: the reader
    // plays silence until new audio makes a whole buffer.
    void flush();

    // Gain applied as samples leave the ring: the volume slider value
    // (0..1000) x 0.001. 0 until first set. Any thread.
    void setPlaybackVolume(double volume);
    double playbackVolume() const;

    // Reader side: fills out[0..n) with the next samples of the output and
    // returns how many came from the ring; the rest is silence. A buffer starts
    // only when a whole one (frameCount samples) is waiting, and then plays to
    // its end over the following calls unless flushed; fewer waiting samples are
    // left for later. With noOutput on the ring is emptied.
    int readSound(int16_t* out, int n);
    // One whole buffer (frameCount samples); true when it holds audio.
    bool fillSoundBuffer(int16_t* buffer);

private:
    void appendToRing(const double* samples, int n);

    FractionalResamplerObject fracResampler;
    std::vector<double> soundScratch;
    std::vector<float> soundRing;       // at unit gain, not yet limited
    std::atomic<int> soundWritePos{0};  // written by the writer only
    std::atomic<int> soundReadPos{0};   // written by the reader only
    std::atomic<bool> soundNoOutput{true};
    // Write position when noOutput was last switched on, -1 when handled: what
    // was queued before it is never played, even if noOutput is switched off
    // again before the reader next runs.
    std::atomic<int> soundFlushTo_{-1};
    std::atomic<double> playbackVolume_{0.0};
    bool ringFullLogged_ = false;        // writer only
    int bufferLeft_ = 0;                 // reader only: samples of the buffer in play
};
