#include "dsp/AGCObject.h"

#include "dsp/SampleVector.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// 10^x as e^(x ln 10): a fraction of pow's cost, agreeing with it to about 1e-15.
constexpr double kLn10 = 2.302585092994046;

// Added to each level, so silence has a logarithm: 0.00032767 of a unit.
constexpr double kLevelFloor = 0.00032767;

// trunc(v) limited to [lo, hi]; NaN gives lo.
int TruncLimited(double v, int lo, int hi)
{
    if (!(v >= lo))
        return lo;
    return v >= hi ? hi : static_cast<int>(v);
}


// level[i] = max(|re|, |im|) of sample i, plus the floor.
template <bool Wide>
[[gnu::always_inline]] inline void PeakLevels(int n, const ComplexSample* in, double* level)
{
    int i = 0;
    if constexpr (Wide) {
        using Bits4 = std::int64_t __attribute__((vector_size(32)));
        const Bits4 noSign = Bits4{} + 0x7FFFFFFFFFFFFFFFLL;
        for (; i + 4 <= n; i += 4) {
            Double4 first, second;
            std::memcpy(&first, in + i, sizeof first);
            std::memcpy(&second, in + i + 2, sizeof second);
            first = reinterpret_cast<Double4>(reinterpret_cast<Bits4>(first) & noSign);
            second = reinterpret_cast<Double4>(reinterpret_cast<Bits4>(second) & noSign);
            const Double4 im = __builtin_shufflevector(first, second, 0, 2, 4, 6);
            const Double4 re = __builtin_shufflevector(first, second, 1, 3, 5, 7);
            const Double4 larger = (re < im ? im : re) + kLevelFloor;
            std::memcpy(level + i, &larger, sizeof larger);
        }
    }
    for (; i < n; ++i)
        level[i] = std::max(std::fabs(in[i].re), std::fabs(in[i].im)) + kLevelFloor;
}

// Each sample trades places with the one waiting at pos in the delay line,
// which leaves scaled by 0.7 times its gain; returns the next position.
template <bool Wide>
[[gnu::always_inline]] inline int DelayAndScale(int n, const ComplexSample* in, ComplexSample* out,
                                                const double* gains, ComplexSample* line, int pos, int delay)
{
    for (int i = 0; i < n;) {
        const int run = std::min(n - i, delay - pos);
        int k = 0;
        if constexpr (Wide) {
            for (; k + 2 <= run; k += 2) {
                Double4 x, d;
                std::memcpy(&x, in + i + k, sizeof x);
                std::memcpy(&d, line + pos + k, sizeof d);
                std::memcpy(static_cast<void*>(line + pos + k), &x, sizeof x);
                const Double4 gain = 0.7 * Double4{gains[i + k], gains[i + k], gains[i + k + 1], gains[i + k + 1]};
                const Double4 y = d * gain;
                std::memcpy(static_cast<void*>(out + i + k), &y, sizeof y);
            }
        }
        for (; k < run; ++k) {
            const ComplexSample x = in[i + k];
            const ComplexSample d = line[pos + k];
            line[pos + k] = x;
            const double gain = 0.7 * gains[i + k];
            out[i + k] = {d.im * gain, d.re * gain};
        }
        i += run;
        pos += run;
        if (pos >= delay)
            pos = 0;
    }
    return pos;
}

KORVEL_WIDE_TARGET void PeakLevelsWide(int n, const ComplexSample* in, double* level)
{
    PeakLevels<true>(n, in, level);
}

KORVEL_WIDE_TARGET int DelayAndScaleWide(int n, const ComplexSample* in, ComplexSample* out, const double* gains,
                                         ComplexSample* line, int pos, int delay)
{
    return DelayAndScale<true>(n, in, out, gains, line, pos, delay);
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
    // Four running maxima, free of each other's wait.
    double m[4] = {window[0], window[0], window[0], window[0]};
    int k = 0;
    for (; k + 4 <= length; k += 4) {
        for (int lane = 0; lane < 4; ++lane)
            m[lane] = window[k + lane] > m[lane] ? window[k + lane] : m[lane];
    }
    for (; k < length; ++k)
        m[0] = window[k] > m[0] ? window[k] : m[0];
    const double largest = std::max(std::max(m[0], m[1]), std::max(m[2], m[3]));
    m_Peak = std::max(largest, -8.0);
    peakSerial_ = kNoPeakSample;
    if (m_Peak != largest)
        return;
    // m_MagBufPos is the oldest entry, written `length` samples ago: the newest
    // are below it, then the rest from the top.
    for (int at = m_MagBufPos - 1; at >= 0; --at) {
        if (window[at] == largest) {
            peakSerial_ = serial_ - (m_MagBufPos - 1 - at);
            return;
        }
    }
    for (int at = length - 1; at >= m_MagBufPos; --at) {
        if (window[at] == largest) {
            peakSerial_ = serial_ - (m_MagBufPos + length - 1 - at);
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
    // gains at once, then the delay line. out may be in: each pass reads a
    // sample before writing its place.
    constexpr int kChunk = 256;
    double level[kChunk];
    const bool wide = WideVectorsAvailable();
    for (int start = 0; start < n; start += kChunk) {
        const int count = std::min(kChunk, n - start);
        const ComplexSample* chunkIn = in + start;
        ComplexSample* chunkOut = out + start;
        if (wide)
            PeakLevelsWide(count, chunkIn, level);
        else
            PeakLevels<false>(count, chunkIn, level);
        Log10Block(count, level, level);
        Detect(count, level);
        ExpBlock(count, level, level);
        ComplexSample* line = m_SigDelayBuf.data();
        m_SigDelayPtr = wide ? DelayAndScaleWide(count, chunkIn, chunkOut, level, line, m_SigDelayPtr, m_DelaySamples)
                             : DelayAndScale<false>(count, chunkIn, chunkOut, level, line, m_SigDelayPtr,
                                                    m_DelaySamples);
    }
}

template <bool Wide>
[[gnu::always_inline]] inline void AGCObject::DetectRun(int count, double* level)
{
    // The state lives in locals through the loop; only a rescan of the window
    // needs it back in the members.
    const int window = m_WindowSamples;
    const double gainExponent = kLn10 * (m_GainSlope - 1.0);
    const double attackRise = m_AttackRiseAlpha, attackFall = m_AttackFallAlpha;
    const double keepAttackRise = 1.0 - attackRise, keepAttackFall = 1.0 - attackFall;
    const double decayRise = m_DecayRiseAlpha, decayFall = m_DecayFallAlpha;
    const double keepDecayRise = 1.0 - decayRise, keepDecayFall = 1.0 - decayFall;
    double peak = m_Peak, attack = m_AttackAve, decay = m_DecayAve;
    int64_t serial = serial_, peakSerial = peakSerial_;
    int pos = m_MagBufPos;
    int hangTimer = m_HangTimer;
    double* mags = m_MagBuf.data();
    for (int i = 0; i < count; ++i) {
        const double mag = level[i] - 4.515436681141699;
        const double old = mags[pos];
        mags[pos] = mag;
        if (++pos >= window)
            pos = 0;
        ++serial;

        if (mag > peak) {
            peak = mag;
            peakSerial = serial;
        } else {
            if (mag == peak)
                peakSerial = serial;
            // The entry that left came with sample serial - window.
            if (old == peak && !(peak >= -8.0 && peakSerial > serial - window)) {
                m_MagBufPos = pos;
                serial_ = serial;
                RescanPeak();
                peak = m_Peak;
                peakSerial = peakSerial_;
            }
        }

        if (peak > attack)
            attack = keepAttackRise * attack + attackRise * peak;
        else
            attack = keepAttackFall * attack + attackFall * peak;
        if (m_UseHang) {
            if (peak > decay) {
                decay = keepDecayRise * decay + decayRise * peak;
                hangTimer = 0;
            } else if (hangTimer < m_HangTime) {
                ++hangTimer;
            } else {
                decay = keepDecayFall * decay + decayFall * peak;
            }
        } else if (peak > decay) {
            decay = keepDecayRise * decay + decayRise * peak;
        } else {
            decay = keepDecayFall * decay + decayFall * peak;
        }
        // Below the knee the gain is the knee's.
        level[i] = gainExponent * std::max(std::max(attack, decay), m_Knee);
    }
    m_Peak = peak;
    m_AttackAve = attack;
    m_DecayAve = decay;
    serial_ = serial;
    peakSerial_ = peakSerial;
    m_MagBufPos = pos;
    m_HangTimer = hangTimer;
}

// With fused multiply-adds each average's step waits on one operation, not two.
KORVEL_WIDE_TARGET void AGCObject::DetectWide(int count, double* level)
{
    DetectRun<true>(count, level);
}

void AGCObject::Detect(int count, double* level)
{
    if (WideVectorsAvailable())
        DetectWide(count, level);
    else
        DetectRun<false>(count, level);
}
