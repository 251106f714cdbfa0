#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"
#include "dsp/AgcSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Look-ahead peak AGC for the band-passed complex signal. The signal is delayed by
// the attack time while the peak of its envelope (log magnitude) over the delayed
// stretch drives one level average: it rises onto a higher peak within the delay,
// holds for the hang time once the peak falls, then returns with the decay time
// constant. The gain brings the average to 0.7 of full scale (32767), at most the
// maximum gain. Off, it applies the manual gain with no delay.
class AGCObject {
public:
    static constexpr int kRingSize = 2048;

    // settings: see AgcSettings, each figure within its range there (gains
    // finite); sampleRate: Hz (finite, > 0). Clears the rings and the average.
    // The delay is attackMs of samples within 1..2047. An error leaves the AGC
    // as it was.
    Status configure(const AgcSettings& settings, double sampleRate);
    // The same, for settings changed while the signal runs: nothing happens when
    // both are unchanged; a new rate clears the rings and the average, other
    // changes keep them. Figures out of range are limited, not refused.
    void SetParameters(const AgcSettings& settings, double sampleRate);

    // Forgets the signal: empty rings and average, as a new rate gives; the next
    // delaySamples() outputs are zeros.
    void reset();

    // Levels min(in.size(), out.size()) samples and returns that count; out may
    // be in (the same samples, levelled in place).
    size_t process(std::span<const ComplexSample> in, std::span<ComplexSample> out);
    // n samples; out may be in.
    void ProcessComplexData(int n, const ComplexSample* in, ComplexSample* out);

    // Samples by which the output lags the input (0 when off).
    int delaySamples() const { return settings_.on ? m_DelaySamples : 0; }
    int windowSamples() const { return m_WindowSamples; }
    int hangTime() const { return m_HangTime; }
    // The gain, dB, applied to the sample that the last call output last.
    double lastGainDb() const { return lastGainDb_; }

private:
    // The figures that follow from settings_ and m_SampleRate.
    void applySettings();
    // The window's largest level, at least -8, and the number of its latest sample.
    void RescanPeak();
    // Takes count samples' log10 power levels into the peak window and the average,
    // and leaves in their place the gains' natural logarithms.
    void Detect(int count, double* level);
    template <bool Wide>
    void DetectRun(int count, double* level);
    void DetectWide(int count, double* level);

    AgcSettings settings_;
    double m_SampleRate = 0.0;
    double m_ManualAgcGain = 1.0;
    double m_Average = 0.0;
    double m_AttackAlpha = 0.0;
    double m_DecayAlpha = 0.0;
    double m_Knee = 0.0;
    double m_Peak = 0.0;
    double lastGainDb_ = 0.0;
    int m_SigDelayPtr = 0;
    int m_MagBufPos = 0;
    int m_DelaySamples = 0;
    int m_WindowSamples = 0;
    int m_HangTime = 0;
    int m_HangTimer = 0;
    std::array<ComplexSample, kRingSize> m_SigDelayBuf{};
    std::array<double, kRingSize> m_MagBuf{};

    // Samples taken since the rings were cleared, and the number of the latest
    // one in the window whose level equals m_Peak (kNoPeakSample when none is
    // known): while it stays, an older copy of the peak leaving the window
    // leaves the peak as it is, and a steady signal needs no rescan.
    static constexpr int64_t kNoPeakSample = INT64_MIN;
    int64_t serial_ = 0;
    int64_t peakSerial_ = kNoPeakSample;
};
