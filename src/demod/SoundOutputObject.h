#pragma once

#include "demod/AudioOutput.h"
#include "dsp/FractionalResamplerObject.h"

#include <atomic>
#include <cstdint>
#include <vector>

// The audio queue between the demodulator and the sound device: audio is
// resampled to 44100 Hz with the playback volume applied, converted to 16 bits
// and appended to a ring; the sound device takes it out one whole buffer of
// 11025 frames (0.25 s) at a time through fillSoundBuffer().
//
// One writer (addSoundData, setNoOutput) and one reader (fillSoundBuffer) may
// run on different threads: each ring position is written by one side only.
class SoundOutputObject : public AudioOutput {
public:
    static constexpr int outputRate = 44100;      // Hz, mono, signed 16-bit
    static constexpr int frameCount = 11025;      // frames per device buffer
    static constexpr int soundRingSize = 500000;  // slots; holds up to soundRingSize - 1 samples
    static constexpr int maxResamplerInput = 10000;
    static constexpr int soundScratchSize = 40000;

    // Silent (noOutput on) and empty until the pipeline clears noOutput.
    SoundOutputObject();

    // Writer side. `data`: n values in 16-bit units; n >= 0, any length (fed to
    // the resampler in pieces); rate: their sample rate in Hz, 2 Hz and up.
    // Samples that do not fit in the ring are dropped.
    void addSoundData(const double* data, int n, double rate) override;
    void setNoOutput(bool noOutput) override;
    int numSoundSamples() const override;

    // Gain applied while resampling: the volume slider value (0..1000) x 0.001.
    // 0 until first set. Any thread.
    void setPlaybackVolume(double volume);
    double playbackVolume() const;

    // Reader side: fills `buffer` (frameCount samples) with the next whole
    // buffer from the ring and returns true, or with silence and returns false.
    // Fewer than frameCount waiting samples are left for a later call; with
    // noOutput on the ring is emptied.
    bool fillSoundBuffer(int16_t* buffer);

private:
    void appendToRing(const int16_t* samples, int n);

    FractionalResamplerObject fracResampler;
    std::vector<int16_t> soundScratch;
    std::vector<int16_t> soundRing;
    std::atomic<int> soundWritePos{0};  // written by the writer only
    std::atomic<int> soundReadPos{0};   // written by the reader only
    std::atomic<bool> soundNoOutput{true};
    // Write position when noOutput was last switched on, -1 when handled: what
    // was queued before it is never played, even if noOutput is switched off
    // again before the reader next runs.
    std::atomic<int> soundFlushTo{-1};
    std::atomic<double> m_playbackVolume{0.0};
    bool ringFullLogged = false;        // writer only
};
