#include "dsp/AGCObject.h"

#include "dsp/VectorMath.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// 10^x as e^(x ln 10): a fraction of pow's cost, agreeing with it to about 1e-15.
constexpr double kLn10 = 2.302585092994046;

// trunc(v) limited to [lo, hi]; NaN gives lo.
int TruncLimited(double v, int lo, int hi)
{
    if (!(v >= lo))
        return lo;
    return v >= hi ? hi : static_cast<int>(v);
}


} // namespace

void AGCObject::SetParameters(bool agcOn, bool useHang, int threshold, int manualGain, int slopeFactor, int decay,
                              double sampleRate)
{
    if (agcOn == m_AgcOn && useHang == m_UseHang && threshold == m_Threshold && manualGain == m_ManualGain &&
        static_cast<double>(slopeFactor) == m_SlopeFactor && decay == m_Decay && sampleRate == m_SampleRate)
        return;
    m_AgcOn = agcOn;
    m_UseHang = useHang;
    m_Threshold = threshold;
    m_ManualGain = manualGain;
    m_SlopeFactor = slopeFactor;
    m_Decay = decay;
    if (sampleRate != m_SampleRate) {
        m_SampleRate = sampleRate;
        Reset();
    }

    m_ManualAgcGain = 32767.0 * std::pow(10.0, -(100 - manualGain) * 0.05);
    m_Knee = threshold * 0.05;
    m_GainSlope = m_SlopeFactor * 0.01;

    const double r = m_SampleRate;
    m_AttackRiseAlpha = 1.0 - std::exp(-500.0 / r);
    m_AttackFallAlpha = 1.0 - std::exp(-200.0 / r);
    m_DecayRiseAlpha = 1.0 - std::exp(-3333.3333333333335 / (r * decay));
    m_HangTime = TruncLimited(decay * 0.001 * r, 0, INT_MAX);
    m_DecayFallAlpha = useHang ? 1.0 - std::exp(-20.0 / r) : 1.0 - std::exp(-1000.0 / (r * decay));
    // The rings must hold at least one sample: at rates below 67 Hz the 15 ms delay
    // would round to none and the ring positions would never wrap.
    m_DelaySamples = TruncLimited(0.015 * r, 1, kRingSize - 1);
    m_WindowSamples = TruncLimited(0.018 * r, 1, kRingSize);
}

void AGCObject::Reset()
{
    m_SigDelayBuf.fill(ComplexSample{});
    m_MagBuf.fill(-16.0);
    m_SigDelayPtr = 0;
    m_HangTimer = 0;
    m_Peak = -16.0;
    m_DecayAve = -5.0;
    m_AttackAve = -5.0;
    m_MagBufPos = 0;
    serial_ = 0;
    peakSerial_ = kNoPeakSample;
}

void AGCObject::RescanPeak()
{
    const double* window = m_MagBuf.data();
    const int length = m_WindowSamples;
    const double largest = *std::max_element(window, window + length);
    m_Peak = std::max(largest, -8.0);
    peakSerial_ = kNoPeakSample;
    if (m_Peak != largest)
        return;
    // m_MagBufPos is the oldest entry, written `length` samples ago.
    for (int age = 1; age <= length; ++age) {
        const int at = (m_MagBufPos - age + length) % length;
        if (window[at] == largest) {
            peakSerial_ = serial_ - (age - 1);
            return;
        }
    }
}

void AGCObject::ProcessComplexData(int n, const ComplexSample* in, ComplexSample* out)
{
    if (!m_AgcOn) {
        for (int i = 0; i < n; ++i)
            out[i] = {in[i].im * m_ManualAgcGain, in[i].re * m_ManualAgcGain};
        return;
    }
    // Per chunk: the log magnitudes at once, the detector sample by sample, the
    // gains at once. Sample i is read before out[i] is written, so out may be in.
    constexpr int kChunk = 256;
    double level[kChunk];
    const double gainExponent = kLn10 * (m_GainSlope - 1.0);
    for (int start = 0; start < n; start += kChunk) {
        const int count = std::min(kChunk, n - start);
        const ComplexSample* chunkIn = in + start;
        ComplexSample* chunkOut = out + start;
        for (int i = 0; i < count; ++i)
            level[i] = std::max(std::fabs(chunkIn[i].re), std::fabs(chunkIn[i].im)) + 0.00032767;
        Log10Block(count, level, level);
        for (int i = 0; i < count; ++i) {
            const ComplexSample x = chunkIn[i];
            chunkOut[i] = m_SigDelayBuf[m_SigDelayPtr];
            m_SigDelayBuf[m_SigDelayPtr] = x;
            if (++m_SigDelayPtr >= m_DelaySamples)
                m_SigDelayPtr = 0;
            Detect(level[i] - 4.515436681141699);
            // Below the knee the gain is the knee's.
            level[i] = gainExponent * std::max(std::max(m_AttackAve, m_DecayAve), m_Knee);
        }
        ExpBlock(count, level, level);
        for (int i = 0; i < count; ++i) {
            const double gain = 0.7 * level[i];
            chunkOut[i] = {chunkOut[i].im * gain, chunkOut[i].re * gain};
        }
    }
}

void AGCObject::Detect(double mag)
{
    const double old = m_MagBuf[m_MagBufPos];
    m_MagBuf[m_MagBufPos] = mag;
    if (++m_MagBufPos >= m_WindowSamples)
        m_MagBufPos = 0;
    ++serial_;

    if (mag > m_Peak) {
        m_Peak = mag;
        peakSerial_ = serial_;
    } else {
        if (mag == m_Peak)
            peakSerial_ = serial_;
        // The entry that left came with sample serial_ - m_WindowSamples.
        if (old == m_Peak && !(m_Peak >= -8.0 && peakSerial_ > serial_ - m_WindowSamples))
            RescanPeak();
    }

    const double attackAlpha = m_Peak > m_AttackAve ? m_AttackRiseAlpha : m_AttackFallAlpha;
    m_AttackAve = (1.0 - attackAlpha) * m_AttackAve + attackAlpha * m_Peak;

    if (m_UseHang) {
        if (m_Peak > m_DecayAve) {
            m_DecayAve = (1.0 - m_DecayRiseAlpha) * m_DecayAve + m_DecayRiseAlpha * m_Peak;
            m_HangTimer = 0;
        } else if (m_HangTimer < m_HangTime) {
            ++m_HangTimer;
        } else {
            m_DecayAve = (1.0 - m_DecayFallAlpha) * m_DecayAve + m_DecayFallAlpha * m_Peak;
        }
    } else {
        const double decayAlpha = m_Peak > m_DecayAve ? m_DecayRiseAlpha : m_DecayFallAlpha;
        m_DecayAve = (1.0 - decayAlpha) * m_DecayAve + decayAlpha * m_Peak;
    }
}
