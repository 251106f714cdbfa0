#include "dsp/SMeter.h"

#include "common/CNumberFormat.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kChunk = 256;

} // namespace

Status SMeter::configure(double sampleRate)
{
    reset();
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0)) {
        m_SampleRate = m_AttackAlpha = m_DecayAlpha = 0.0;
        return Error(ErrorKind::InvalidArgument,
                     "S-meter sample rate must be above 0 Hz, not " + formatGeneral(sampleRate) + ".");
    }
    setCoefficients(sampleRate);
    return {};
}

void SMeter::reset()
{
    m_AverageMag = m_PeakMag = m_AttackAve = m_DecayAve = 0.0;
}

void SMeter::setCoefficients(double sampleRate)
{
    m_SampleRate = sampleRate;
    m_AttackAlpha = 1.0 - std::exp(-100.0 / sampleRate);
    m_DecayAlpha = 1.0 - std::exp(-2.0 / sampleRate);
}

void SMeter::ProcessDataLength(int n, const ComplexSample* data, double sampleRate)
{
    if (sampleRate != m_SampleRate)
        setCoefficients(sampleRate);
    if (n > 0)
        process({data, static_cast<size_t>(n)});
}

size_t SMeter::process(std::span<const ComplexSample> in)
{
    const ComplexSample* data = in.data();
    const int n = static_cast<int>(in.size());
    // The levels of a chunk at once, then the averages sample by sample.
    double level[kChunk];
    for (int start = 0; start < n; start += kChunk) {
        const int count = std::min(kChunk, n - start);
        const ComplexSample* chunk = data + start;
        for (int i = 0; i < count; ++i)
            level[i] = (chunk[i].re * chunk[i].re + chunk[i].im * chunk[i].im) * 9.313794206365304e-10 + 1e-50;
        Log10Block(count, level, level);
        for (int i = 0; i < count; ++i) {
            const double p = 10.0 * level[i];
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
    return in.size();
}

double SMeter::GetAve() const { return m_AverageMag + 5.0; }

double SMeter::GetPeak()
{
    const double peak = m_PeakMag + 5.0;
    m_PeakMag = -999.0;
    return peak;
}
