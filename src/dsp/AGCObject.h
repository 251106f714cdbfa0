#pragma once

#include "common/ComplexSample.h"

#include <array>
#include <cstdint>

// Look-ahead peak AGC for the band-passed complex signal: the signal is delayed 15 ms
// while a log-magnitude peak over an 18 ms window drives a fast attack and a slower
// decay average; the gain follows the larger one in the log domain. Off, it applies a
// fixed manual gain. Starts with every field zero (off, rate 0), as the pipeline uses it.
class AGCObject {
public:
    static constexpr int kRingSize = 2048;

    // agcOn: level automatically, else apply the manual gain. useHang: hold the decay
    // average for the decay time before it falls. threshold: knee in dB relative to
    // full scale (-100 in the pipeline). manualGain: dB, 100 = full (32767 times).
    // slopeFactor: percent of the input level change kept above the knee (0 = flat).
    // decay: ms (> 0). sampleRate: Hz (> 0). Nothing happens when all seven are
    // unchanged; a new rate clears the rings and averages, other changes keep them.
    // The delay is at most 2047 samples and the window at most 2048 (rates above
    // about 113.8 kHz shorten them), and both at least 1.
    void SetParameters(bool agcOn, bool useHang, int threshold, int manualGain, int slopeFactor, int decay,
                       double sampleRate);

    // Forgets the signal: empty rings and averages, as a new rate gives; the next
    // DelaySamples() outputs are zeros.
    void Reset();

    // Levels n samples; out may be in.
    void ProcessComplexData(int n, const ComplexSample* in, ComplexSample* out);

    int DelaySamples() const { return m_DelaySamples; }
    int WindowSamples() const { return m_WindowSamples; }
    int HangTime() const { return m_HangTime; }
    double AttackRiseAlpha() const { return m_AttackRiseAlpha; }

private:
    // The window's largest level, at least -8, and the number of its latest sample.
    void RescanPeak();
    // Takes count samples' log10 levels into the peak window and the averages,
    // and leaves in their place the gains' natural logarithms.
    void Detect(int count, double* level);
    template <bool Wide>
    void DetectRun(int count, double* level);
    void DetectWide(int count, double* level);

    bool m_AgcOn = false;
    bool m_UseHang = false;
    int m_Threshold = 0;
    int m_ManualGain = 0;
    int m_Decay = 0;
    double m_SampleRate = 0.0;
    double m_SlopeFactor = 0.0;
    double m_ManualAgcGain = 0.0;
    double m_DecayAve = 0.0;
    double m_AttackAve = 0.0;
    double m_AttackRiseAlpha = 0.0;
    double m_AttackFallAlpha = 0.0;
    double m_DecayRiseAlpha = 0.0;
    double m_DecayFallAlpha = 0.0;
    double m_Knee = 0.0;
    double m_GainSlope = 0.0;
    double m_Peak = 0.0;
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
