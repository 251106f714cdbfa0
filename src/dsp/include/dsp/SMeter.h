#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"

#include <cstddef>
#include <span>

// Signal level of the band-passed complex signal in dB relative to 16-bit full scale
// (magnitude 32767 is 0 dB), with a 10 ms attack / 500 ms decay average and a peak
// that resets when read. Both readings add 5 dB, which the user interface calls dBm.
// Starts with every field zero, as the pipeline uses it.
class SMeter {
public:
    // sampleRate: Hz (finite, > 0). Sets the coefficients and clears the readings.
    Status configure(double sampleRate);
    // Clears the readings (every field zero, as at the start).
    void reset();

    // Meters the samples at the configured rate; returns how many it took (all).
    size_t process(std::span<const ComplexSample> in);

    // n samples of `data` at sampleRate Hz (> 0); a new rate recomputes the
    // coefficients and keeps the averages.
    void ProcessDataLength(int n, const ComplexSample* data, double sampleRate);

    // The average in dBm.
    double GetAve() const;
    // The peak since the last read in dBm; then restarts the peak at -999 dB.
    double GetPeak();

    double attackAlpha() const { return m_AttackAlpha; }
    double decayAlpha() const { return m_DecayAlpha; }

private:
    void setCoefficients(double sampleRate);

    double m_AverageMag = 0.0;
    double m_PeakMag = 0.0;
    double m_SampleRate = 0.0;
    double m_AttackAve = 0.0;
    double m_DecayAve = 0.0;
    double m_AttackAlpha = 0.0;
    double m_DecayAlpha = 0.0;
};
