#pragma once

#include "common/AudioOutput.h"
#include "common/CarrierLog.h"
#include "common/ComplexSample.h"
#include "demod/DemodulatorStatus.h"
#include "demod/ReceiverControls.h"
#include "dsp/AGCObject.h"
#include "dsp/AudioBandPass.h"
#include "dsp/DeemphasisFilter.h"
#include "dsp/DownconverterObject.h"
#include "dsp/FastFirObject.h"
#include "dsp/FilterObject.h"
#include "dsp/FirObject.h"
#include "dsp/FractionalResamplerObject.h"
#include "dsp/PowerSpectrum.h"
#include "dsp/SMeter.h"

#include <cstdint>
#include <memory>
#include <vector>

// Demodulation modes: the index of the mode menu item.
enum DemodMode : int {
    kDemodAM = 0,
    kDemodSAM = 1,
    kDemodFM = 2,
    kDemodWFM = 3,
    kDemodUSB = 4,
    kDemodLSB = 5,
    kDemodCWU = 6,
    kDemodCWL = 7,
    kDemodNone = 8,
};

// The menu labels "AM" ... "None" in mode order.
const char* demodModeName(int mode);

// Turns complex recording samples into audio: mixes the wanted frequency to 0 Hz
// and decimates, band-passes, meters, levels, demodulates in one of eight modes
// and resamples to 44100 Hz. Once per second of signal it measures the strongest
// carrier in the pass band.
//
// Set-up order (see DemodSetup): SetInputSampleRate(rate, 4000), SetNCO(offset),
// SetInputSampleRate(rate, 4000), SetDemodMode(...); then ProcessData() one
// second at a time. One thread at a time uses an object; every buffer, filter
// and demodulator state belongs to the object. Buffers are sized at set-up to
// the rate in use (the multiplex ring only when WFM is set up); ProcessData()
// allocates nothing, its first call included.
//
// Frequency sign: samples are re + j*im, so a signal above the tuned frequency
// lies at negative frequency in the pipeline's baseband; the upper sidebands keep
// the negative side of the band.
class DemodulatorObject {
public:
    static constexpr int kCarrierFftSize = 32768;
    static constexpr int kMpxRingSize = 2000000;

    // soundOutput: where playback audio goes (ProcessData without an output
    // buffer); not owned, may be null (then playback audio is dropped).
    explicit DemodulatorObject(AudioOutput* soundOutput = nullptr);
    ~DemodulatorObject();
    DemodulatorObject(const DemodulatorObject&) = delete;
    DemodulatorObject& operator=(const DemodulatorObject&) = delete;

    // frequency: offset of the wanted signal from the recording's centre, Hz
    // (any sign, |f| below half the input rate). Restarts the oscillator.
    void SetNCO(double frequency);

    // rate: recording sample rate, S/s (> 0; truncated to an integer);
    // bandwidth: wanted bandwidth after the downconverter, Hz (> 0; FM asks for
    // 15000 and WFM for 100000 whatever is given). Rebuilds the band-pass filter
    // with a provisional band, sizes the buffers and sets the AGC.
    void SetInputSampleRate(double rate, double bandwidth);

    // mode: DemodMode (any other value demodulates as AM); filter: filter width,
    // Hz (half the band in AM/SAM/FM/WFM, the sideband width in USB/LSB/CW);
    // pbt: pass-band shift, Hz; bandwidth: audio bandwidth, Hz, also the
    // downconverter's bandwidth. Returns false when the band-pass refused the band
    // (it must lie strictly inside +-half the pipeline rate, with low < high):
    // the pipeline then stays silent until a band is accepted.
    bool SetDemodMode(int mode, double filter, double pbt, double bandwidth);

    // The listening controls (AGC, squelch, de-emphasis); they take effect at
    // once, survive set-ups and apply to each mode as ReceiverControls says.
    void setControls(const ReceiverControls& controls);
    const ReceiverControls& controls() const { return controls_; }

    // Forgets every sample seen so far (filter histories, AGC, demodulator
    // states, the partial block): the next ProcessData() starts a new stream, as
    // a new play or file run does. The new stream's audio begins once the
    // band-pass and the AGC hold signal, with the demodulators locked to its
    // first sample, so it starts without a click. Call after the set-up.
    void ResetStream();

    // Demodulates `length` samples (>= 0) of `input`. With `output` null the
    // audio goes to the sound output and 0 is returned; otherwise the audio is
    // written to `output` as 44100 Hz 16-bit samples and their count returned;
    // `output` must hold maxOutputSamples(length). Samples after the last whole
    // block wait for the next call. Mode None drops the input and returns 0.
    int ProcessData(const ComplexSample* input, int length, int16_t* output);

    // Room ProcessData() may need in its output for `length` input samples with
    // the current set-up.
    int maxOutputSamples(int length) const;

    // The pipeline rate the set-up will use for `mode` at input rate `rate` and
    // bandwidth `bandwidth` (the downconverter halves the rate while it is above
    // 7900 Hz and above 5.988 times the bandwidth).
    static double pipelineRateFor(int mode, double rate, double bandwidth);

    double getNCO() const { return theNCOFreq; }
    int32_t getInputRate() const { return m_InputRate; }
    double getFilter() const { return m_filter; }
    double getPBT() const { return m_pbt; }
    double getLowCutoff() const { return m_lowCutoff; }
    double getHighCutoff() const { return m_highCutoff; }
    double getBandwidth() const { return m_Bandwidth; }
    int getDemodMode() const { return demodulationMode; }
    int getInBufLimit() const { return m_InBufLimit; }
    // Input samples waiting for the rest of their block.
    int pendingInputSamples() const { return demodInCount; }
    double getOutputRate() const { return m_OutputRate; }
    double getWfmOutputRate() const { return m_wfmOutputRate; }
    // Which of the three WFM half-band decimators exist (0, 1, 2).
    bool hasWfmFilter(int index) const;

    // Audio samples queued in the sound output; playback feeds another second
    // while this is below 20000.
    int numSoundSamplesInOutputObject() const;

    // --- Carrier measurement context ---
    // The recording's centre frequency, Hz: the carrier frequency is reported
    // as centre + NCO + the peak's offset.
    void setCenterFrequency(double hz) { mCenterFreq = hz; }
    // Where each measurement goes, stamped with the recording's start time
    // (Unix seconds) plus the play position (whole seconds); null for none.
    // Not owned.
    void setCarrierLog(CarrierLog* carrierLog) { carrierLog_ = carrierLog; }
    void setRecordingStartTimestamp(int64_t unixSeconds) { mStartTimestamp = unixSeconds; }
    void setPlayBackSec(int32_t second) { playBackSec = second; }

    // Whether views read the S-meter, the carrier and WFM's multiplex ring (the
    // default). A demodulator nobody watches (a file run's) measures none of
    // them, beyond what a carrier log asks for, and saves the ring's 16 MB; call
    // before the set-up.
    void setShowsReadings(bool shows) { showsReadings_ = shows; }

    // The values published for the views (read by the GUI thread's timers).
    DemodulatorStatus status() const;

private:
    int demodIQData(ComplexSample* samples, int count, int16_t* output, int currentOutputLen);
    void findCarrierFreq(const ComplexSample* samples, int count, double rate, double average, double peak);

    void amDemod(const ComplexSample* in, int count, double* out);
    void samDemod(const ComplexSample* in, int count, double* out);
    void fmDemod(const ComplexSample* in, int count, double* out);
    int wfmDemod(const ComplexSample* in, int count, double* out);
    void ssbDemod(const ComplexSample* in, int count, double* out);
    void primeDemod(const ComplexSample* x, int count);

    void sizeBuffers();
    // The AGC and the de-emphasis as the controls and the mode ask.
    void applyControls();
    // The squelch's decision on a block of band-passed samples, and its fade
    // over the audio made from them.
    void judgeSquelch(const ComplexSample* samples, int count);
    void fadeSquelch(double* audio, int count, double rate);
    double squelchLevelDbm() const;

    int32_t m_InputRate = 0;
    double m_OutputRate = 0.0;
    double m_wfmOutputRate = 0.0;
    double m_DesiredMaxOutputBandwidth = 0.0;
    int32_t m_InBufLimit = 0;
    DownconverterObject downconverterObject;
    SMeter sMeter;
    AudioOutput* soundOutput_ = nullptr;
    int demodulationMode = kDemodAM;
    AGCObject agcObject;
    ReceiverControls controls_;
    DeemphasisFilter deemphasis_;
    AudioBandPass fmVoiceBand_;
    double deemphasisTau_ = 0.0;
    double deemphasisRate_ = 0.0;
    FastFirObject mainBandpassFilter;
    FirObject m_Fir;
    double m_lowCutoff = 0.0;
    double m_highCutoff = 0.0;
    double m_Bandwidth = 0.0;
    double m_filter = 0.0;
    double m_pbt = 0.0;
    double theNCOFreq = 0.0;
    PowerSpectrum carrierFft_{kCarrierFftSize};
    std::unique_ptr<FilterObject> wfmFilter1, wfmFilter2, wfmFilter3;

    // Working buffers, sized to the block of the rate in use.
    std::vector<ComplexSample> demodInBuf;
    int32_t demodInCount = 0;
    std::vector<ComplexSample> demodBandBuf;
    std::vector<double> demodAudioBuf;
    std::unique_ptr<FractionalResamplerObject> wavResampler;

    double sMeterAve = 0.0;
    double sMeterPeak = 0.0;
    std::vector<ComplexSample> carrierRing;
    int32_t carrierRingPos = 0;
    int32_t carrierCount = 0;
    std::vector<double> carrierPower;
    bool carrierMeasured_ = false;
    double carrierPeakPower = 0.0;
    int32_t carrierPeakBin = 0;
    double carrierRate = 0.0;
    double carrierFreqKHz = 0.0;
    double carrierAveSmoothed = 0.0;
    double carrierPeakSmoothed = 0.0;
    bool showsReadings_ = true;
    std::vector<double> mpxRing;
    int32_t mpxRingPos = 0;
    double mpxRate = 0.0;
    // The multiplex rate the WFM log line last reported.
    double mpxLoggedRate_ = 0.0;

    double mCenterFreq = 0.0;
    int64_t mStartTimestamp = 0;
    int32_t playBackSec = 0;
    CarrierLog* carrierLog_ = nullptr;

    // Start of a stream: band-pass and AGC outputs still to hold back (they
    // come from their empty histories), and whether the demodulator states
    // are still to be set from the first sample.
    int bandpassFillLeft_ = 0;
    int agcFillLeft_ = 0;
    bool demodPrimed_ = true;

    // Squelch: the band's average power (in units of full-scale power; below
    // zero until the stream's first block), open or not, and the audio's gain.
    double squelchPower_ = -1.0;
    bool squelchOpen_ = true;
    double squelchGain_ = 1.0;

    // Demodulator states: they persist across blocks, seconds and mode changes.
    double amZ_ = 0.0;
    double samPhase_ = 0.0, samFreq_ = 0.0, samZ_ = 0.0;
    double fmPhase_ = 0.0, fmFreq_ = 0.0;
    double wfmPrevIm_ = 0.0, wfmPrevRe_ = 0.0;
};
