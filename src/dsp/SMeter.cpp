#include "dsp/SMeter.h"

#include <cmath>

void SMeter::ProcessDataLength(int n, const ComplexSample* data, double sampleRate)
{
    if (sampleRate != m_SampleRate) {
        m_SampleRate = sampleRate;
        m_AttackAlpha = 1.0 - std::exp(-100.0 / sampleRate);
        m_DecayAlpha = 1.0 - std::exp(-2.0 / sampleRate);
    }
    for (int i = 0; i < n; ++i) {
        const ComplexSample& s = data[i];
        const double p = 10.0 * std::log10((s.re * s.re + s.im * s.im) * 9.313794206365304e-10 + 1e-50);
        m_AttackAve = (1.0 - m_AttackAlpha) * m_AttackAve + m_AttackAlpha * p;
        m_DecayAve = (1.0 - m_DecayAlpha) * m_DecayAve + m_DecayAlpha * p;
        if (m_DecayAve >= m_AttackAve) {
            m_AverageMag = m_DecayAve;
        } else {
            m_AverageMag = m_AttackAve;
            m_DecayAve = m_AttackAve;
        }
        if (p > m_PeakMag)
            m_PeakMag = p;
    }
}

double SMeter::GetAve() const { return m_AverageMag + 5.0; }

double SMeter::GetPeak()
{
    const double peak = m_PeakMag + 5.0;
    m_PeakMag = -999.0;
    return peak;
}
