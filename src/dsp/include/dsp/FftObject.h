#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"

#include <fftw3.h>

#include <cstddef>
#include <span>
#include <vector>

// The display transform's window functions, all scaled to a mean weight near 1.
enum class FftWindow {
    Rectangular = 0,
    Hann = 1,
    Hamming = 2,
    BlackmanNuttall = 3,
    BlackmanHarris = 4,
    Nuttall = 5,
    FlatTop = 6,
};

// The display transform: PutInDisplayFFT() windows and transforms one block
// (single precision) and keeps one power per bin; GetScreenIntegerFFTDataMaxHeight()
// maps their levels onto screen columns and pixel heights. Filtering and
// measurement use ComplexFft, which has no display scratch or plan.
// Every engine owns its tables and its display scratch, so engines may run on
// different threads at once; one engine is used by one thread at a time.
class FftObject {
public:
    // Size 2048, Hann window, sample rate 1000 Hz.
    FftObject();
    ~FftObject();
    FftObject(const FftObject&) = delete;
    FftObject& operator=(const FftObject&) = delete;

    // size: transform length in complex points, a power of two in [512, 16777216];
    // window: the window function; invert, dBCompensation and sampleFreq as
    // SetFFTParamsSize takes them (dBCompensation finite, sampleFreq finite and
    // > 0). Builds the tables, the display plan and its scratch, and zeroes the
    // levels and the screen mapping, as a new engine set up this way. An error
    // leaves the engine as it was.
    Status configure(int size, FftWindow window, bool invert, double dBCompensation, double sampleFreq);

    // The same while the engine runs: nothing is refused.
    // size: transform length in complex points, clamped to [512, 16777216]; a power of two.
    //       0 changes nothing at all.
    // invert: read bins mirrored in the screen mapping.
    // dBCompensation: level correction in dB added to every display level.
    // sampleFreq: sample rate in Hz (> 0), used by the screen mapping only.
    // Rebuilds the tables and the display plan when the size or dBCompensation changed;
    // always clears the cached screen mapping and the levels.
    void SetFFTParamsSize(int size, bool invert, double dBCompensation, double sampleFreq);

    // The window for the next table rebuild (a new size or dBCompensation in
    // SetFFTParamsSize, or configure). A value outside FftWindow gives the
    // rectangular window.
    void setWindowType(FftWindow window);

    // Weight of sample k (0 <= k < n) under `window` over n samples, as the
    // display transform applies it; 1 for n < 2.
    static double windowWeight(FftWindow window, int k, int n);

    // Zeroes the display levels.
    void reset() { ResetFFT(); }
    void ResetFFT();

    // The display transform of in (its first N samples; fewer are padded with
    // zeros), as PutInDisplayFFT; returns the number of samples used.
    size_t process(std::span<const ComplexSample> in);

    // Display transform of one block: inLength samples (normally exactly N; a shorter
    // block is padded with zeros, a longer one is cut to N). Afterwards entry m of
    // fftAveBuf() holds the level in bels (dB/10) of frequency (m + 1 - N/2) * Fs / N of
    // the signal im + j*re: a tone of amplitude 16383.5 reads 0 dB, silence -220 dB.
    void PutInDisplayFFT(int inLength, const ComplexSample* inBuf);

    // One screen line of the last display transform.
    // maxHeight: pixels (>= 0); maxWidth: columns W; maxdB/mindB: levels in dB drawn at
    // height 0 and maxHeight; startFreq/stopFreq: Hz relative to the centre, clamped to
    // the transform's edges. outBuf receives heights in 0..maxHeight (0 = strongest),
    // dBBuf the level in dB of the bin shown; both need room for W + 1 entries (the
    // last bin of a span wider than W columns lands in column W, which is not drawn).
    // W <= 0 writes nothing. Equal maxdB and mindB give no scale: every column gets
    // maxHeight (a flat line) and its dB value, and the caller tells the user.
    // The mapping is cached; the first request at a new width above N grows its table.
    void GetScreenIntegerFFTDataMaxHeight(int maxHeight, int maxWidth, double maxdB, double mindB,
                                          int startFreq, int stopFreq, int* outBuf, double* dBBuf);

    // Peak hold over several blocks: the display transform of one block, keeping in
    // each of peak's N entries (start from zeros; in an order of the engine's own)
    // the stronger of what it holds and the block's power there. Taking the log of
    // the strongest power once, instead of one log per block, is what makes it cheap.
    void holdPeakPower(int inLength, const ComplexSample* inBuf, float* peak);
    // The levels in bels of powers held by holdPeakPower() into levels[0 .. N-1],
    // exactly as PutInDisplayFFT() gives them for the block of that power.
    void levelsOfPeakPower(const float* peak, double* levels) const;

    int fftSize() const { return m_FFTSize; }
    // N display levels in bels, see PutInDisplayFFT().
    const double* fftAveBuf() const;
    // The same levels in single precision, as they are worked out: fftAveBuf()
    // holds these widened.
    const float* floatLevels() const;

private:
    void BuildTables();
    void BuildDisplayScratch();
    void FreeDisplayScratch();
    void BuildScreenMapping(int maxWidth);
    // Levels in bels of count powers (out may be powers).
    void LevelsOfPowers(int count, const float* powers, float* levels) const;
    // Windows and transforms one block into displayOut_; false without scratch.
    bool transformDisplayBlock(int inLength, const ComplexSample* inBuf);

    bool m_Invert = false;
    int m_FFTSize = 1024;
    int m_LastFFTSize = 0;
    int m_StartFreq = 0;
    int m_StopFreq = 0;
    int m_BinMin = 0;
    int m_BinMax = 0;
    int m_PlotWidth = 0;
    FftWindow windowType = FftWindow::Hann;
    double m_K_C = 0.0;
    double m_K_B = 0.0;
    double m_dBCompensation = 0.0;
    double m_SampleFreq = 0.0;
    int log2N_ = 0;
    std::vector<int> m_pTranslateTbl;
    std::vector<double> m_pWindowTbl;
    // The levels, worked out from binPower_ when first asked for after a
    // transform: a screen line of many bins per column needs only the log of
    // each column's strongest bin.
    mutable std::vector<double> m_pFFTAveBuf;
    mutable std::vector<float> floatLevels_;
    mutable bool floatLevelsStale_ = false;
    mutable bool levelsStale_ = false;
    std::vector<float> binPower_;
    // N floats of scratch: the strongest power of each column of a screen line
    // narrower than the transform, the levels of held peaks.
    mutable std::vector<float> scratch_;

    // Display scratch, owned by this engine and sized to N.
    int scratchSize_ = 0;
    fftwf_complex* displayIn_ = nullptr;
    fftwf_complex* displayOut_ = nullptr;
    fftwf_plan displayPlan_ = nullptr;
};
