#pragma once

#include "common/ComplexSample.h"

// Signal level of the band-passed complex signal in dB relative to 16-bit full scale
// (magnitude 32767 is 0 dB), with a 10 ms attack / 500 ms decay average and a peak
// that resets when read. Both readings add 5 dB, which the user interface calls dBm.
// Starts with every field zero, as the pipeline uses it.
class SMeter {
public:
    // n samples of `data` at sampleRate Hz (> 0); a new rate recomputes the
    // coefficients and keeps the averages.
    void ProcessDataLength(int n, const ComplexSample* data, double sampleRate);

    // The average in dBm.
    double GetAve() const;
    // The peak since the last read in dBm; then restarts the peak at -999 dB.
    double GetPeak();

    double AttackAlpha() const { return m_AttackAlpha; }
    double DecayAlpha() const { return m_DecayAlpha; }

private:
    double m_AverageMag = 0.0;
    double m_PeakMag = 0.0;
    double m_SampleRate = 0.0;
    double m_AttackAve = 0.0;
    double m_DecayAve = 0.0;
    double m_AttackAlpha = 0.0;
    double m_DecayAlpha = 0.0;
};
