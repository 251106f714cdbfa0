#include "demod/DemodulatorObject.h"

#include "common/SystemLog.h"
#include "dsp/HalfBandCoefficients.h"
#include "dsp/VectorMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInverseTwoPi = 0.15915494309189535;
// Below it an angle is its own value wrapped into [-pi, pi].
constexpr double kWithinHalfTurn = 3.14;

// The angle wrapped into [-pi, pi]; the loops' errors almost always need no
// turn, so that case is a predicted branch rather than arithmetic.
inline double WrappedAngle(double angle)
{
    if (__builtin_expect(std::fabs(angle) < kWithinHalfTurn, 1))
        return angle;
    using vector_math::kRoundToInteger;
    return angle - kTwoPi * ((angle * kInverseTwoPi + kRoundToInteger) - kRoundToInteger);
}

// The FM loop is unstable below about 30.3 kHz and, just above, is thrown
// against its limit for good by the AGC's start or a strong modulation; slower
// pipelines use the loop gains of this rate (the audio scale stays the rate's own).
constexpr double kMinFmLoopRate = 40000.0;

// The FM loop of a pipeline rate.
struct FmLoop {
    double w, limit, alpha, beta, gain;
};

FmLoop fmLoopFor(double rate)
{
    const double loopRate = std::max(rate, kMinFmLoopRate);
    const double w = 1.0 / loopRate;
    const double alpha = 44422.120121759675 * w;
    return {w, 94247.7796076938 * w, alpha, 22217.769827367705 * w * alpha, 0.5305164769729845 * rate};
}

// 1 / 32767^2: power in units of a full-scale sample's.
constexpr double kInverseFullScalePower = 9.313794206365304e-10;
// What the S-meter adds to its readings.
constexpr double kSMeterOffsetDb = 5.0;
constexpr double kSquelchHysteresisDb = 3.0;
constexpr double kSquelchFadeSeconds = 0.005;

// The discriminator's output per radian of phase step and Hz of pipeline rate.
constexpr double kWfmScalePerRate = 8000.0 / 250000.0;

// Narrow FM's audio: the voice band, below it sub-audible tones.
constexpr double kFmVoiceLowHz = 300.0;
constexpr double kFmVoiceHighHz = 3000.0;
// Its 750 us de-emphasis leaves a 1 kHz tone at its level.
constexpr double kFmDeemphasisGain = 4.817323935802019;

// Band-pass output comes in whole transform blocks.
constexpr int kBandpassBlock = 1024;

// Removes up to `left` samples from the front of x[0..n) and returns how many remain.
int dropFront(ComplexSample* x, int n, int& left)
{
    const int drop = std::min(n, left);
    if (drop > 0) {
        std::memmove(x, x + drop, sizeof(ComplexSample) * static_cast<size_t>(n - drop));
        left -= drop;
    }
    return n - drop;
}

} // namespace

const char* demodModeName(int mode)
{
    static const char* const names[] = {"AM", "SAM", "FM", "WFM", "USB", "LSB", "CWU", "CWL", "None"};
    return mode >= 0 && mode <= kDemodNone ? names[mode] : "AM";
}

DemodulatorObject::DemodulatorObject(AudioOutput* soundOutput)
    : soundOutput_(soundOutput)
    , carrierRing(kCarrierFftSize)
    , carrierPower(kCarrierFftSize, 0.0)
{
}

DemodulatorObject::~DemodulatorObject() = default;

void DemodulatorObject::SetNCO(double frequency)
{
    theNCOFreq = frequency;
    downconverterObject.SetFrequency(frequency);
}

double DemodulatorObject::pipelineRateFor(int mode, double rate, double bandwidth)
{
    if (mode == kDemodFM)
        bandwidth = 15000.0;
    else if (mode == kDemodWFM)
        bandwidth = 100000.0;
    double r = std::trunc(rate);
    while (r > 7900.0 && r > 5.988023952095809 * bandwidth)
        r /= 2.0;
    return r;
}

void DemodulatorObject::SetInputSampleRate(double rate, double bandwidth)
{
    const int32_t newRate = static_cast<int32_t>(rate);
    if (newRate != m_InputRate)
        demodInCount = 0; // samples of another recording must not start this one
    m_InputRate = newRate;
    m_DesiredMaxOutputBandwidth = bandwidth;
    if (demodulationMode == kDemodFM)
        m_DesiredMaxOutputBandwidth = 15000.0;
    else if (demodulationMode == kDemodWFM)
        m_DesiredMaxOutputBandwidth = 100000.0;
    m_OutputRate = downconverterObject.setDataRate(m_InputRate, m_DesiredMaxOutputBandwidth);
    SystemLog("***SetInputSampleRate %g  bandwidth:%g  outputRate:%g", rate, bandwidth, m_OutputRate);

    // The band-pass starts over as a new one would: empty history, no design.
    mainBandpassFilter.clear();
    double lo = -5000.0, hi = 5000.0;
    switch (demodulationMode) {
    case kDemodFM: lo = -7000.0; hi = 7000.0; break;
    case kDemodUSB: lo = 0.0; hi = 5000.0; break;
    case kDemodLSB: lo = -5000.0; hi = 0.0; break;
    case kDemodWFM: lo = -100000.0; hi = 100000.0; break;
    default: break;
    }
    mainBandpassFilter.SetupParametersFLoCut(lo, hi, 0.0, m_OutputRate);

    if (demodulationMode == kDemodWFM) {
        if (mpxRing.empty() && showsReadings_)
            mpxRing.assign(kMpxRingSize, 0.0);
        mpxLoggedRate_ = 0.0;
        wfmFilter1.reset();
        wfmFilter2.reset();
        wfmFilter3.reset();
        m_wfmOutputRate = m_OutputRate;
        auto makeStage = [] { return std::make_unique<FilterObject>(FilterKind::HalfBand, 47, HalfBandCoefficients::Taps47.data()); };
        if (m_wfmOutputRate > 400000.0) {
            m_wfmOutputRate /= 2.0;
            wfmFilter1 = makeStage();
            SystemLog("wfmFilter1");
        }
        if (m_wfmOutputRate > 200000.0) {
            m_wfmOutputRate /= 2.0;
            wfmFilter2 = makeStage();
            SystemLog("wfmFilter2");
        }
        if (m_wfmOutputRate > 100000.0) {
            m_wfmOutputRate /= 2.0;
            wfmFilter3 = makeStage();
            SystemLog("wfmFilter3");
        }
    }

    // A multiple of 256 of about 10 ms of input; at least 256, or slow
    // recordings would hand every sample to the chain on its own.
    m_InBufLimit = m_OutputRate > 0.0
                       ? static_cast<int32_t>(m_InputRate * (0.01 * m_OutputRate) / m_OutputRate) & ~0xFF
                       : 0;
    m_InBufLimit = std::max(m_InBufLimit, 256);
    SystemLog("mainBandpassFilter m_InBufLimit %d", m_InBufLimit);
    sizeBuffers();

    applyControls();
    SystemLog("carrierFftObject rate %d", static_cast<int>(m_OutputRate));
}

void DemodulatorObject::setControls(const ReceiverControls& controls)
{
    controls_ = controls;
    applyControls();
}

void DemodulatorObject::applyControls()
{
    if (m_OutputRate <= 0.0)
        return;
    agcObject.SetParameters(agcSettingsFor(controls_, demodulationMode), m_OutputRate);
    double tau = 0.0, rate = m_OutputRate;
    if (demodulationMode == kDemodWFM) {
        tau = controls_.wfmDeemphasis == Deemphasis::Us50 ? 50e-6 : controls_.wfmDeemphasis == Deemphasis::Us75 ? 75e-6 : 0.0;
        rate = m_wfmOutputRate;
    } else if (demodulationMode == kDemodFM && controls_.fmDeemphasis) {
        tau = 750e-6;
    }
    // A new curve starts from rest; the same one keeps its state.
    if (tau != deemphasisTau_ || rate != deemphasisRate_) {
        // Refused only before the set-up (rate 0), which leaves the audio unchanged.
        static_cast<void>(deemphasis_.configure(tau, rate));
        deemphasisTau_ = tau;
        deemphasisRate_ = rate;
    }
}

void DemodulatorObject::sizeBuffers()
{
    const size_t block = static_cast<size_t>(m_InBufLimit);
    if (demodInBuf.size() < block)
        demodInBuf.resize(block);
    if (demodBandBuf.size() < block + kBandpassBlock) {
        demodBandBuf.resize(block + kBandpassBlock);
        demodAudioBuf.resize(block + kBandpassBlock);
    }
    // Longer blocks are resampled in passes of this length.
    if (!wavResampler)
        wavResampler = std::make_unique<FractionalResamplerObject>(100000);
}

bool DemodulatorObject::SetDemodMode(int mode, double filter, double pbt, double bandwidth)
{
    demodulationMode = mode;
    m_filter = filter;
    m_pbt = pbt;
    switch (mode) {
    case kDemodUSB:
    case kDemodCWU:
        m_lowCutoff = -filter - pbt;
        m_highCutoff = -pbt;
        break;
    case kDemodLSB:
    case kDemodCWL:
        m_lowCutoff = -pbt;
        m_highCutoff = filter - pbt;
        break;
    default:
        m_lowCutoff = -filter - pbt;
        m_highCutoff = filter - pbt;
        break;
    }
    m_Bandwidth = bandwidth;
    SystemLog("Demod Mode: %d    %g  %g  %g %g %g", mode, m_lowCutoff, m_highCutoff, bandwidth, filter, pbt);

    SetInputSampleRate(m_InputRate, bandwidth);

    if (mode == kDemodWFM) {
        // The stop band starts below the 19 kHz stereo pilot.
        const int taps = m_Fir.InitLPFilterScale(1.0, 60.0, 15000.0, 18500.0, m_wfmOutputRate);
        SystemLog("****** DEMOD_WFM m_Fir len %d  m_wfmOutputRate %g", taps, m_wfmOutputRate);
    } else {
        const double stopFactor = mode == kDemodSAM ? 1.3 : 1.8;
        m_Fir.InitLPFilterScale(1.0, 50.0, bandwidth, stopFactor * bandwidth, m_OutputRate);
    }
    if (mode == kDemodFM) {
        // Refused only for a rate below twice the band, where the voice passes unchanged.
        static_cast<void>(fmVoiceBand_.configure(kFmVoiceLowHz, kFmVoiceHighHz, m_OutputRate));
        const FmLoop loop = fmLoopFor(m_OutputRate);
        SystemLog(" coeff %g %g %g %g %g %g %g %g", m_OutputRate, kTwoPi * loop.w, -loop.limit, loop.limit, loop.alpha,
                  loop.beta, loop.gain, 1.0 - std::exp(-1000.0 * loop.w));
    }

    if (mainBandpassFilter.SetupParametersFLoCut(m_lowCutoff, m_highCutoff, 0.0, m_OutputRate))
        return true;
    // Silence rather than the provisional band.
    mainBandpassFilter.clear();
    return false;
}

void DemodulatorObject::ResetStream()
{
    demodInCount = 0;
    downconverterObject.reset();
    // A refused band leaves a filter that passes nothing.
    mainBandpassFilter.clear();
    mainBandpassFilter.SetupParametersFLoCut(m_lowCutoff, m_highCutoff, 0.0, m_OutputRate);
    agcObject.reset();
    deemphasis_.reset();
    fmVoiceBand_.reset();
    if (wavResampler)
        wavResampler->reset();
    // The band-pass's first filter length of output is a partial convolution
    // over the empty history: a faint ramp that the AGC would level into a loud
    // burst. The AGC's own delay starts as zeros. Both are held back.
    bandpassFillLeft_ = FastFirObject::kTaps - 1;
    agcFillLeft_ = demodulationMode == kDemodWFM ? 0 : agcObject.delaySamples();
    demodPrimed_ = false;
    squelchPower_ = -1.0;
    squelchOpen_ = !controls_.squelchDb;
    squelchGain_ = squelchOpen_ ? 1.0 : 0.0;
    amZ_ = 0.0;
    samPhase_ = samFreq_ = samZ_ = 0.0;
    fmPhase_ = fmFreq_ = 0.0;
    wfmPrevIm_ = wfmPrevRe_ = 0.0;
}

int DemodulatorObject::maxOutputSamples(int length) const
{
    if (m_InputRate <= 0 || m_OutputRate <= 0.0)
        return 0;
    const double inputSamples = static_cast<double>(length) + m_InBufLimit;
    const double seconds = inputSamples / m_InputRate + kBandpassBlock / m_OutputRate;
    const double blocks = inputSamples / m_InBufLimit + 1.0;
    return static_cast<int>(std::ceil(seconds * AudioOutput::kOutputRate + 2.0 * blocks)) + 64;
}

bool DemodulatorObject::hasWfmFilter(int index) const
{
    switch (index) {
    case 0: return wfmFilter1 != nullptr;
    case 1: return wfmFilter2 != nullptr;
    case 2: return wfmFilter3 != nullptr;
    default: return false;
    }
}

int DemodulatorObject::numSoundSamplesInOutputObject() const
{
    return soundOutput_ ? soundOutput_->numSoundSamples() : 0;
}

DemodulatorStatus DemodulatorObject::status() const
{
    DemodulatorStatus s;
    s.sMeterAve = sMeterAve;
    s.sMeterPeak = sMeterPeak;
    s.carrierFreqKHz = carrierFreqKHz;
    s.squelchLevel = controls_.squelchDb ? squelchLevelDbm() : 0.0;
    s.squelchOpen = squelchOpen_ || !controls_.squelchDb;
    if (carrierMeasured_)
        s.carrierPower = carrierPower;
    s.carrierPeakPower = carrierPeakPower;
    s.carrierPeakBin = carrierPeakBin;
    s.carrierRate = carrierRate;
    s.mpxRing = mpxRing;
    s.mpxRingPos = mpxRingPos;
    s.mpxRate = mpxRate;
    return s;
}

int DemodulatorObject::ProcessData(const ComplexSample* input, int length, int16_t* output)
{
    if (demodulationMode == kDemodNone) {
        if (soundOutput_)
            soundOutput_->setNoOutput(true);
        return 0;
    }
    if (soundOutput_)
        soundOutput_->setNoOutput(false);
    if (length < 1 || m_InBufLimit < 1)
        return 0;

    int total = 0;
    int consumed = 0;
    while (consumed < length) {
        const int take = std::min(length - consumed, m_InBufLimit - demodInCount);
        const ComplexSample* block = input + consumed;
        if (demodInCount > 0 || take < m_InBufLimit) {
            // Only a block split between calls is gathered; whole ones are read in place.
            std::memcpy(demodInBuf.data() + demodInCount, block, sizeof(ComplexSample) * take);
            block = demodInBuf.data();
        }
        demodInCount += take;
        consumed += take;
        if (demodInCount < m_InBufLimit)
            break;

        const int k = downconverterObject.ProcessDataLength(demodInCount, block, demodInBuf.data());
        int m = 0;
        if (k > 0)
            m = mainBandpassFilter.ProcessDataInLength(k, demodInBuf.data(), demodBandBuf.data());
        m = dropFront(demodBandBuf.data(), m, bandpassFillLeft_);
        if (showsReadings_ || carrierLog_) {
            if (m > 0) {
                sMeter.ProcessDataLength(m, demodBandBuf.data(), m_OutputRate);
                sMeterAve = sMeter.GetAve();
                sMeterPeak = sMeter.GetPeak();
            }
            findCarrierFreq(demodBandBuf.data(), m, m_OutputRate, sMeterAve, sMeterPeak);
        }
        if (controls_.squelchDb && m > 0)
            judgeSquelch(demodBandBuf.data(), m);
        if (demodulationMode != kDemodWFM) {
            agcObject.ProcessComplexData(m, demodBandBuf.data(), demodBandBuf.data());
            m = dropFront(demodBandBuf.data(), m, agcFillLeft_);
        }
        if (m > 0 && !demodPrimed_)
            primeDemod(demodBandBuf.data(), m);
        if (m > 0)
            total = demodIQData(demodBandBuf.data(), m, output, total);
        demodInCount = 0;
    }
    return total;
}

int DemodulatorObject::demodIQData(ComplexSample* samples, int count, int16_t* output, int currentOutputLen)
{
    if (count <= 0)
        return currentOutputLen;
    double* audio = demodAudioBuf.data();
    int audioCount = count;
    double audioRate = m_OutputRate;
    switch (demodulationMode) {
    case kDemodSAM: samDemod(samples, count, audio); break;
    case kDemodFM: fmDemod(samples, count, audio); break;
    case kDemodWFM:
        audioCount = wfmDemod(samples, count, audio);
        audioRate = m_wfmOutputRate;
        break;
    case kDemodUSB:
    case kDemodLSB:
    case kDemodCWU:
    case kDemodCWL: ssbDemod(samples, count, audio); break;
    default: amDemod(samples, count, audio); break;
    }

    if (controls_.squelchDb || squelchGain_ < 1.0)
        fadeSquelch(audio, audioCount, audioRate);

    if (output) {
        const int n = wavResampler->ResampleShortLength(audioCount, audioRate * AudioOutput::kOutputPeriod, audio,
                                                         output + currentOutputLen, 1.0);
        return currentOutputLen + n;
    }
    if (soundOutput_)
        soundOutput_->addSoundData(audio, audioCount, audioRate);
    return currentOutputLen;
}

void DemodulatorObject::judgeSquelch(const ComplexSample* samples, int count)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i)
        sum += samples[i].re * samples[i].re + samples[i].im * samples[i].im;
    const double power = sum / count * kInverseFullScalePower;
    // 20 ms of average, whatever the block; the stream's first block stands alone.
    const double alpha = squelchPower_ < 0.0 ? 1.0 : 1.0 - std::exp(-count / (0.02 * m_OutputRate));
    squelchPower_ = squelchPower_ < 0.0 ? power : squelchPower_ + alpha * (power - squelchPower_);
    const double level = squelchLevelDbm();
    if (level >= *controls_.squelchDb)
        squelchOpen_ = true;
    else if (level < *controls_.squelchDb - kSquelchHysteresisDb)
        squelchOpen_ = false;
}

void DemodulatorObject::fadeSquelch(double* audio, int count, double rate)
{
    const bool open = squelchOpen_ || !controls_.squelchDb;
    const double target = open ? 1.0 : 0.0;
    if (squelchGain_ == target) {
        if (!open)
            std::fill(audio, audio + count, 0.0);
        return;
    }
    const double step = 1.0 / (kSquelchFadeSeconds * rate);
    double gain = squelchGain_;
    for (int i = 0; i < count; ++i) {
        gain = open ? std::min(gain + step, 1.0) : std::max(gain - step, 0.0);
        audio[i] *= gain;
    }
    squelchGain_ = gain;
}

double DemodulatorObject::squelchLevelDbm() const
{
    return 10.0 * std::log10(std::max(squelchPower_, 1e-30)) + kSMeterOffsetDb;
}

void DemodulatorObject::findCarrierFreq(const ComplexSample* samples, int count, double rate, double average,
                                        double peak)
{
    carrierRate = rate;
    carrierAveSmoothed = 0.01 * average + 0.99 * carrierAveSmoothed;
    carrierPeakSmoothed = 0.01 * peak + 0.99 * carrierPeakSmoothed;
    if (count < 1)
        return;

    // The ring takes runs up to its end or to the next measurement, whichever is nearer.
    const int32_t perMeasurement = static_cast<int32_t>(std::ceil(rate));
    for (int i = 0; i < count;) {
        const int run =
            std::min({count - i, kCarrierFftSize - carrierRingPos, std::max(perMeasurement - carrierCount, 1)});
        std::memcpy(carrierRing.data() + carrierRingPos, samples + i, sizeof(ComplexSample) * static_cast<size_t>(run));
        i += run;
        carrierRingPos += run;
        if (carrierRingPos >= kCarrierFftSize)
            carrierRingPos = 0;
        carrierCount += run;
        if (static_cast<double>(carrierCount) < rate)
            continue;

        // A rotation of the ring leaves the bin powers as they are, so the
        // storage order will do.
        carrierFft_.compute(carrierRing.data(), carrierPower.data());
        // A silent second has no peak: it reads the tuned frequency (bin 0) and
        // leaves the stored peak of the last second that had one.
        double maximum = 0.0;
        int b = 0;
        for (int k = 0; k < kCarrierFftSize; ++k) {
            const double p = carrierPower[k];
            if (p > maximum) {
                maximum = p;
                b = k;
            }
        }
        if (maximum > 0.0) {
            carrierPeakPower = maximum;
            carrierPeakBin = b;
        }
        const double f0 = theNCOFreq + mCenterFreq;
        const double resolution = rate * 3.0517578125e-05;
        const double f = b > kCarrierFftSize / 2 ? f0 + (kCarrierFftSize - b) * resolution : f0 - b * resolution;
        carrierFreqKHz = f * 0.001;
        carrierMeasured_ = true;
        if (carrierLog_)
            carrierLog_->addCarrierMeasurement(mStartTimestamp + playBackSec, f, carrierAveSmoothed,
                                               carrierPeakSmoothed);
        carrierCount = 0;
    }
}

// Starts each demodulator as if it had followed the stream for long: the DC
// filters at the mean level of the first block and the loops on the phase of
// its first sample, so nothing steps at the start.
void DemodulatorObject::primeDemod(const ComplexSample* x, int count)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i)
        sum += std::sqrt(x[i].im * x[i].im + x[i].re * x[i].re);
    const double meanMagnitude = sum / count;
    const double a = x[0].im, b = x[0].re;
    amZ_ = meanMagnitude / (1.0 - 0.99);
    samPhase_ = std::atan2(a, b);
    samZ_ = meanMagnitude / (1.0 - 0.99);
    fmPhase_ = -std::atan2(a, b);
    wfmPrevIm_ = a;
    wfmPrevRe_ = b;
    demodPrimed_ = true;
}

void DemodulatorObject::amDemod(const ComplexSample* in, int count, double* out)
{
    double z = amZ_;
    for (int i = 0; i < count; ++i) {
        const double magnitude = std::sqrt(in[i].im * in[i].im + in[i].re * in[i].re);
        const double next = 0.99 * z + magnitude;
        out[i] = next - z;
        z = next;
    }
    amZ_ = z;
    m_Fir.ProcessFilterReal(count, out, out);
}

void DemodulatorObject::samDemod(const ComplexSample* in, int count, double* out)
{
    const double w = kTwoPi / m_OutputRate;
    const double limit = 1000.0 * w;
    const double alpha = 141.4 * w;
    const double beta = alpha * 70.72135785007073 * w;
    double phase = samPhase_, frequency = samFreq_, z = samZ_;
    // As in FM the loop's error is the sample's phase less the oscillator's, and
    // its commonest cases take branches; the loop leaves in out[i] the
    // oscillator phase it used, which then turns the samples, free of the loop's
    // wait.
    PhaseBlock(count, in, out);
    for (int i = 0; i < count; ++i) {
        double error = 0.0;
        if (in[i].im != 0.0 || in[i].re != 0.0) {
            error = WrappedAngle(out[i] - phase);
        }
        out[i] = phase;
        frequency += beta * error;
        if (__builtin_expect(std::fabs(frequency) > limit, 0))
            frequency = std::copysign(limit, frequency);
        phase += alpha * error + frequency;
    }
    constexpr int kChunk = 256;
    double sines[kChunk], cosines[kChunk];
    for (int start = 0; start < count; start += kChunk) {
        const int length = std::min(kChunk, count - start);
        SinCosBlock(length, out + start, sines, cosines);
        for (int i = 0; i < length; ++i) {
            const ComplexSample& sample = in[start + i];
            const double x = sample.re * cosines[i] + sample.im * sines[i];
            const double next = 0.99 * z + x;
            out[start + i] = next - z;
            z = next;
        }
    }
    samPhase_ = std::fmod(phase, kTwoPi);
    samFreq_ = frequency;
    samZ_ = z;
}

void DemodulatorObject::fmDemod(const ComplexSample* in, int count, double* out)
{
    const FmLoop loop = fmLoopFor(m_OutputRate);
    const double limit = loop.limit, alpha = loop.alpha, beta = loop.beta, gain = loop.gain;
    double phase = fmPhase_, frequency = fmFreq_;
    // The loop's error, the angle of the sample turned by the oscillator, is the
    // sample's own phase plus the oscillator's, wrapped into [-pi, pi]. The
    // samples' phases do not wait on the loop, so they are all taken first.
    // The loop waits on each step's result, so what is almost always so is left
    // to branches: an error needing no turn and a frequency inside its limits
    // take no arithmetic for them (one test of the frequency's size, which the
    // compiler keeps a branch, where two limits became a min and a max).
    PhaseBlock(count, in, out);
    for (int i = 0; i < count; ++i) {
        double error = 0.0; // a zero sample has no angle
        if (in[i].im != 0.0 || in[i].re != 0.0) {
            error = WrappedAngle(out[i] + phase);
        }
        frequency -= beta * error;
        if (__builtin_expect(std::fabs(frequency) > limit, 0))
            frequency = std::copysign(limit, frequency);
        phase += frequency - alpha * error;
        out[i] = gain * frequency;
        while (phase > kTwoPi)
            phase -= kTwoPi;
        while (phase < -kTwoPi)
            phase += kTwoPi;
    }
    fmPhase_ = phase;
    fmFreq_ = frequency;
    fmVoiceBand_.process({out, static_cast<size_t>(count)}, {out, static_cast<size_t>(count)});
    if (deemphasis_.active()) {
        deemphasis_.process({out, static_cast<size_t>(count)}, {out, static_cast<size_t>(count)});
        for (int i = 0; i < count; ++i)
            out[i] *= kFmDeemphasisGain;
    }
}

int DemodulatorObject::wfmDemod(const ComplexSample* in, int count, double* out)
{
    // The phase step between neighbours as the angle of z[i] conj(z[i-1]), the
    // products first and the angles a chunk at once.
    constexpr int kChunk = 256;
    double dot[kChunk];
    double pa = wfmPrevIm_, pb = wfmPrevRe_;
    int pos = mpxRingPos;
    // The phase step times the rate is the frequency: a deviation gives the
    // same level at every rate (75 kHz: 15079.6, as 8000 per radian at 250 kS/s).
    const double scale = kWfmScalePerRate * m_OutputRate;
    for (int start = 0; start < count; start += kChunk) {
        const int length = std::min(kChunk, count - start);
        double* cross = out + start;
        for (int i = 0; i < length; ++i) {
            const double a = in[start + i].im, b = in[start + i].re;
            cross[i] = a * pb - pa * b;
            dot[i] = pa * a + b * pb;
            pa = a;
            pb = b;
        }
        Atan2Block(length, cross, dot, cross);
        for (int i = 0; i < length; ++i)
            cross[i] *= scale;
        for (int i = 0; i < length && !mpxRing.empty();) {
            const int run = std::min(length - i, kMpxRingSize - pos);
            std::memcpy(mpxRing.data() + pos, cross + i, sizeof(double) * static_cast<size_t>(run));
            i += run;
            pos += run;
            if (pos >= kMpxRingSize)
                pos = 0;
        }
    }
    wfmPrevIm_ = pa;
    wfmPrevRe_ = pb;
    mpxRingPos = pos;
    mpxRate = m_OutputRate;
    int n = count;
    for (FilterObject* stage : {wfmFilter1.get(), wfmFilter2.get(), wfmFilter3.get()}) {
        if (stage)
            n = stage->CHalfBandDecimateBy2LengthReal(n, out, out);
    }
    // Once per set-up rather than per block.
    if (mpxRate != mpxLoggedRate_) {
        SystemLog("DemodulatorUnit_wfmDemod  InLength %d    wfmRate %g", count, mpxRate);
        SystemLog("DemodulatorUnit_wfmDemod  InLength %d    wfmRate %g", n, mpxRate);
        mpxLoggedRate_ = mpxRate;
    }
    m_Fir.ProcessFilterReal(n, out, out);
    deemphasis_.process({out, static_cast<size_t>(n)}, {out, static_cast<size_t>(n)});
    return n;
}

void DemodulatorObject::ssbDemod(const ComplexSample* in, int count, double* out)
{
    for (int i = 0; i < count; ++i)
        out[i] = in[i].re;
}
