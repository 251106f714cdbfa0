#pragma once

// Where the demodulator's playback audio goes: the sound output of the app, or
// a recorder in tests. Called from the thread that runs the pipeline.
class AudioOutput {
public:
    // The rate of all audio the system plays or writes, Hz (mono, 16-bit).
    static constexpr int kOutputRate = 44100;
    // 1 / kOutputRate, s: an input rate times this is its ratio to the output rate.
    static constexpr double kOutputPeriod = 2.2675736961451248e-05;

    virtual ~AudioOutput() = default;

    // Queues `n` audio values (16-bit units) at `rate` Hz; the output resamples
    // them to kOutputRate and applies its volume.
    virtual void addSoundData(const double* data, int n, double rate) = 0;

    // true: play silence and drop what is queued (mode "None"); false: play.
    virtual void setNoOutput(bool noOutput) = 0;

    // Output-rate samples queued and not yet handed to the sound device.
    virtual int numSoundSamples() const = 0;
};
