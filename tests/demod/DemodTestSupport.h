#pragma once

#include "common/AudioOutput.h"
#include "common/CNumberFormat.h"
#include "common/ComplexSample.h"
#include "demod/DemodSecondFeeder.h"
#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace demodtest {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kCenterHz = 7100000.0;

// Records what the pipeline sends to the sound output.
class RecordingAudioOutput : public AudioOutput {
public:
    void addSoundData(const double* data, int n, double rate) override
    {
        samples.insert(samples.end(), data, data + n);
        lastRate = rate;
    }
    void setNoOutput(bool noOutput) override { this->noOutput = noOutput; }
    int numSoundSamples() const override { return 0; }

    std::vector<double> samples;
    double lastRate = 0.0;
    bool noOutput = false;
};

// A recording signal as the sum of its parts: sample k (at `rate` S/s) in the
// readers' convention, I in `im` and Q in `re`; a component at +f Hz from the
// centre frequency is I + jQ = A exp(+j 2 pi f t).
using Signal = std::function<ComplexSample(int64_t k, double rate)>;

inline Signal carrier(double offsetHz, double amplitude)
{
    return [=](int64_t k, double rate) {
        const double phase = kTwoPi * std::fmod(offsetHz * static_cast<double>(k) / rate, 1.0);
        return ComplexSample{amplitude * std::cos(phase), amplitude * std::sin(phase)};
    };
}

inline Signal amStation(double offsetHz, double amplitude, double toneHz, double depth)
{
    const Signal c = carrier(offsetHz, amplitude);
    return [=](int64_t k, double rate) {
        const double envelope = 1.0 + depth * std::cos(kTwoPi * toneHz * static_cast<double>(k) / rate);
        ComplexSample s = c(k, rate);
        return ComplexSample{s.im * envelope, s.re * envelope};
    };
}

inline Signal fmStation(double offsetHz, double amplitude, double toneHz, double deviationHz)
{
    return [=](int64_t k, double rate) {
        const double t = static_cast<double>(k) / rate;
        const double phase = kTwoPi * std::fmod(offsetHz * t, 1.0) +
                             deviationHz / toneHz * std::sin(kTwoPi * std::fmod(toneHz * t, 1.0));
        return ComplexSample{amplitude * std::cos(phase), amplitude * std::sin(phase)};
    };
}

inline Signal sum(std::vector<Signal> parts)
{
    return [parts](int64_t k, double rate) {
        ComplexSample total;
        for (const Signal& part : parts) {
            const ComplexSample s = part(k, rate);
            total.im += s.im;
            total.re += s.re;
        }
        return total;
    };
}

// A sample source for DemodSecondFeeder that renders `signal` for
// `numSeconds` seconds and returns nothing beyond.
inline DemodSecondFeeder::SampleSource source(Signal signal, int32_t rate, int32_t numSeconds)
{
    return [=](ComplexSample* block, int64_t first, int64_t samples) -> int64_t {
        const int64_t available = std::max<int64_t>(0, int64_t(numSeconds) * rate - first);
        const int64_t n = std::min(samples, available);
        for (int64_t i = 0; i < n; ++i)
            block[i] = signal(first + i, rate);
        return n;
    };
}

// Fraction of the energy of x[from, from + n) that lies in a sinusoid of
// `hz` (1.0 for a pure tone of that frequency over whole periods).
template <typename T>
double toneShare(const std::vector<T>& x, double rate, double hz, size_t from, size_t n)
{
    double re = 0.0, im = 0.0, energy = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double v = static_cast<double>(x.at(from + i));
        const double phase = kTwoPi * std::fmod(hz * static_cast<double>(i) / rate, 1.0);
        re += v * std::cos(phase);
        im -= v * std::sin(phase);
        energy += v * v;
    }
    return energy > 0.0 ? 2.0 * (re * re + im * im) / (static_cast<double>(n) * energy) : 0.0;
}

template <typename T>
double rms(const std::vector<T>& x, size_t from, size_t n)
{
    double energy = 0.0;
    for (size_t i = 0; i < n; ++i)
        energy += static_cast<double>(x.at(from + i)) * static_cast<double>(x.at(from + i));
    return std::sqrt(energy / static_cast<double>(n));
}

inline SelectionFields selection(int start, int end, double lowKHz, double highKHz, double pbtKHz = 0.0)
{
    return {std::to_string(start), std::to_string(end), formatFixed(lowKHz, 3), formatFixed(highKHz, 3),
            formatFixed(pbtKHz, 3)};
}

// The parameters of a recording at `rate` S/s centred on kCenterHz.
inline RecordingParameters recordingAt(int32_t rate, int32_t seconds, int64_t startTimestamp = 0)
{
    RecordingParameters p;
    p.mSampleRate = rate;
    p.mCenterFreq = kCenterHz;
    p.mNumSeconds = seconds;
    p.mStartTimestamp = startTimestamp;
    return p;
}

// Demodulates seconds [0, seconds) of `signal` in `mode` with the selection
// lowKHz..highKHz (absolute, centre kCenterHz) to 44100 Hz audio.
inline std::vector<int16_t> demodulateToAudio(const Signal& signal, int32_t rate, int32_t seconds, int mode,
                                              double lowKHz, double highKHz, DemodulatorObject* demodIn = nullptr,
                                              const ReceiverControls& controls = ReceiverControls{})
{
    DemodulatorObject local;
    DemodulatorObject& demod = demodIn ? *demodIn : local;
    DemodSetup setup = DemodSetup::fromFields(selection(0, seconds, lowKHz, highKHz), mode,
                                              recordingAt(rate, seconds));
    setup.setControls(controls);
    setup.configure(demod);
    DemodSecondFeeder feeder(source(signal, rate, seconds), rate);
    std::vector<int16_t> audio;
    std::vector<int16_t> block(static_cast<size_t>(demod.maxOutputSamples(rate)));
    for (int32_t s = 0; s < seconds; ++s) {
        const int n = feeder.feedSecond(demod, s, block.data());
        audio.insert(audio.end(), block.begin(), block.begin() + n);
    }
    return audio;
}

} // namespace demodtest
