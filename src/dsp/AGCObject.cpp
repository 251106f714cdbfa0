#include "dsp/AGCObject.h"

#include "common/CNumberFormat.h"
#include "dsp/SampleVector.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// 10^x as e^(x ln 10): a fraction of pow's cost, agreeing with it to about 1e-15.
constexpr double kLn10 = 2.302585092994046;

// Added to each magnitude, so silence has a logarithm (-8): 0.00032767 of a unit.
constexpr double kLevelFloor = 0.00032767;
constexpr double kFloorPower = kLevelFloor * kLevelFloor;
// log10 of full scale, 32767.
constexpr double kLog10FullScale = 4.515436681141699;
// ln 0.7: the level the gain brings the signal to.
constexpr double kLnTarget = -0.35667494393873245;

// The peak is level with the average within this (log10 units, 2e-8 dB): a
// steady signal's last-place wobble then neither moves the average nor ends the hang.
constexpr double kRiseMargin = 1e-9;

// trunc(v) limited to [lo, hi]; NaN gives lo.
int TruncLimited(double v, int lo, int hi)
{
    if (!(v >= lo))
        return lo;
    return v >= hi ? hi : static_cast<int>(v);
}

// level[i] = |sample i|^2 plus the floor's square: the envelope of an analytic
// signal, free of the ripple that a larger-member measure has at low offsets.
template <bool Wide>
[[gnu::always_inline]] inline void PowerLevels(int n, const ComplexSample* in, double* level)
{
    int i = 0;
    if constexpr (Wide) {
        for (; i + 4 <= n; i += 4) {
            Double4 first, second;
            std::memcpy(&first, in + i, sizeof first);
            std::memcpy(&second, in + i + 2, sizeof second);
            const Double4 im = __builtin_shufflevector(first, second, 0, 2, 4, 6);
            const Double4 re = __builtin_shufflevector(first, second, 1, 3, 5, 7);
            const Double4 power = re * re + im * im + kFloorPower;
            std::memcpy(level + i, &power, sizeof power);
        }
    }
    for (; i < n; ++i)
        level[i] = in[i].re * in[i].re + in[i].im * in[i].im + kFloorPower;
}

// Each sample trades places with the one waiting at pos in the delay line,
// which leaves scaled by its gain; returns the next position.
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
                const Double4 gain = Double4{gains[i + k], gains[i + k], gains[i + k + 1], gains[i + k + 1]};
                const Double4 y = d * gain;
                std::memcpy(static_cast<void*>(out + i + k), &y, sizeof y);
            }
        }
        for (; k < run; ++k) {
            const ComplexSample x = in[i + k];
            const ComplexSample d = line[pos + k];
            line[pos + k] = x;
            const double gain = gains[i + k];
            out[i + k] = {d.im * gain, d.re * gain};
        }
        i += run;
        pos += run;
        if (pos >= delay)
            pos = 0;
    }
    return pos;
}

KORVEL_WIDE_TARGET void PowerLevelsWide(int n, const ComplexSample* in, double* level)
{
    PowerLevels<true>(n, in, level);
}

KORVEL_WIDE_TARGET int DelayAndScaleWide(int n, const ComplexSample* in, ComplexSample* out, const double* gains,
                                         ComplexSample* line, int pos, int delay)
{
    return DelayAndScale<true>(n, in, out, gains, line, pos, delay);
}

} // namespace

Status AGCObject::configure(const AgcSettings& settings, double sampleRate)
{
    auto refuse = [](const char* what, double value, const char* range) {
        return Error(ErrorKind::InvalidArgument,
                     std::string("AGC ") + what + " " + formatGeneral(value) + " is outside " + range + ".");
    };
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0))
        return refuse("sample rate", sampleRate, "above 0 Hz");
    if (!(settings.attackMs >= 0.1 && settings.attackMs <= 100.0))
        return refuse("attack", settings.attackMs, "0.1 to 100 ms");
    if (!(settings.hangMs >= 0.0 && std::isfinite(settings.hangMs)))
        return refuse("hang", settings.hangMs, "0 ms and more");
    if (!(settings.decayMs > 0.0 && std::isfinite(settings.decayMs)))
        return refuse("decay", settings.decayMs, "above 0 ms");
    if (!std::isfinite(settings.maxGainDb))
        return refuse("maximum gain", settings.maxGainDb, "the finite numbers");
    if (!std::isfinite(settings.manualGainDb))
        return refuse("manual gain", settings.manualGainDb, "the finite numbers");
    settings_ = settings;
    m_SampleRate = sampleRate;
    lastGainDb_ = 0.0;
    reset();
    applySettings();
    return {};
}

void AGCObject::SetParameters(const AgcSettings& settings, double sampleRate)
{
    if (settings == settings_ && sampleRate == m_SampleRate)
        return;
    settings_ = settings;
    if (sampleRate != m_SampleRate) {
        m_SampleRate = sampleRate;
        reset();
    }
    applySettings();
}

void AGCObject::applySettings()
{
    const AgcSettings& settings = settings_;
    const double r = m_SampleRate;
    m_ManualAgcGain = std::pow(10.0, settings.manualGainDb / 20.0);
    m_Knee = std::log10(0.7) - settings.maxGainDb / 20.0;
    // The look-ahead holds the attack; the window spans it and the sample leaving.
    m_DelaySamples = TruncLimited(std::lround(std::clamp(settings.attackMs, 0.1, 100.0) * 0.001 * r), 1,
                                  kRingSize - 1);
    m_WindowSamples = m_DelaySamples + 1;
    // Five time constants within the look-ahead: 0.7 % of the step left at the onset.
    m_AttackAlpha = 1.0 - std::exp(-5.0 / m_DelaySamples);
    m_HangTime = TruncLimited(std::max(settings.hangMs, 0.0) * 0.001 * r, 0, INT_MAX);
    m_DecayAlpha = 1.0 - std::exp(-1000.0 / (r * std::max(settings.decayMs, 1.0)));
}

void AGCObject::reset()
{
    m_SigDelayBuf.fill(ComplexSample{});
    m_MagBuf.fill(-16.0);
    m_SigDelayPtr = 0;
    m_HangTimer = 0;
    m_Peak = -16.0;
    m_Average = -8.0;
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
    const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    process({in, count}, {out, count});
}

size_t AGCObject::process(std::span<const ComplexSample> input, std::span<ComplexSample> output)
{
    const size_t total = std::min(input.size(), output.size());
    const ComplexSample* in = input.data();
    ComplexSample* out = output.data();
    const int n = static_cast<int>(total);
    if (!settings_.on) {
        for (int i = 0; i < n; ++i)
            out[i] = {in[i].im * m_ManualAgcGain, in[i].re * m_ManualAgcGain};
        lastGainDb_ = settings_.manualGainDb;
        return total;
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
            PowerLevelsWide(count, chunkIn, level);
        else
            PowerLevels<false>(count, chunkIn, level);
        Log10Block(count, level, level);
        Detect(count, level);
        lastGainDb_ = level[count - 1] * (20.0 / kLn10);
        ExpBlock(count, level, level);
        ComplexSample* line = m_SigDelayBuf.data();
        m_SigDelayPtr = wide ? DelayAndScaleWide(count, chunkIn, chunkOut, level, line, m_SigDelayPtr, m_DelaySamples)
                             : DelayAndScale<false>(count, chunkIn, chunkOut, level, line, m_SigDelayPtr,
                                                    m_DelaySamples);
    }
    return total;
}

template <bool Wide>
[[gnu::always_inline]] inline void AGCObject::DetectRun(int count, double* level)
{
    // The state lives in locals through the loop; only a rescan of the window
    // needs it back in the members.
    const int window = m_WindowSamples;
    const double attack = m_AttackAlpha, decay = m_DecayAlpha;
    const double knee = m_Knee;
    const int hangTime = m_HangTime;
    double peak = m_Peak, average = m_Average;
    int64_t serial = serial_, peakSerial = peakSerial_;
    int pos = m_MagBufPos;
    int hangTimer = m_HangTimer;
    double* mags = m_MagBuf.data();
    for (int i = 0; i < count; ++i) {
        const double mag = 0.5 * level[i] - kLog10FullScale;
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

        if (peak > average + kRiseMargin) {
            average += attack * (peak - average);
            hangTimer = 0;
        } else if (peak >= average - kRiseMargin) {
            hangTimer = 0;
        } else if (hangTimer < hangTime) {
            ++hangTimer;
        } else {
            average += decay * (peak - average);
        }
        // Below the knee the gain is the largest allowed.
        level[i] = kLnTarget - kLn10 * std::max(average, knee);
    }
    m_Peak = peak;
    m_Average = average;
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
