#pragma once

// Where the demodulator's playback audio goes: the sound output of the app, or
// a recorder in tests. Called from the thread that runs the pipeline.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Queues `n` audio values (16-bit units) at `rate` Hz; the output resamples
    // them to 44100 Hz and applies its volume.
    virtual void addSoundData(const double* data, int n, double rate) = 0;

    // true: play silence and drop what is queued (mode "None"); false: play.
    virtual void setNoOutput(bool noOutput) = 0;

    // 44100 Hz samples queued and not yet handed to the sound device.
    virtual int numSoundSamples() const = 0;
};
