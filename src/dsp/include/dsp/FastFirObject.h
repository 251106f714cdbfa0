#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"

#include <fftw3.h>

#include <array>
#include <cstddef>
#include <span>

// Complex band-pass of 1025 taps applied by overlap-save with 2048-point transforms.
// It passes [offset + fLoCut, offset + fHiCut] of the signal re + j*im and rejects the
// rest, the mirror band included, with unit pass-band gain and a delay of 512 samples.
// Samples go in in blocks of any length and come out 1024 at a time.
class FastFirObject {
public:
    static constexpr int kTaps = 1025;
    static constexpr int kBlock = 1024;

    // Until a valid band is designed the filter passes nothing (zero spectrum).
    FastFirObject();
    ~FastFirObject();
    FastFirObject(const FastFirObject&) = delete;
    FastFirObject& operator=(const FastFirObject&) = delete;

    // fLoCut, fHiCut: band edges in Hz relative to offset; offset: band offset in Hz;
    // sampleRate: Hz (> 0). All finite; valid when -sampleRate/2 < offset + fLoCut
    // < offset + fHiCut < sampleRate/2. Designs the band and empties the history,
    // as a new filter with that band starts. An error leaves the filter as it was.
    Status configure(double fLoCut, double fHiCut, double offset, double sampleRate);

    // The same band while the signal runs: the history stays. Returns whether the
    // stored band is valid: an invalid one is stored too (so repeating it logs
    // nothing), logged, and leaves the previous design in use. Only between
    // processing calls; the new design applies from the next block.
    bool SetupParametersFLoCut(double fLoCut, double fHiCut, double offset, double sampleRate);

    // Forgets the samples seen so far: the next block starts from an empty
    // history, as a new filter's does. The design stays.
    void reset();

    // Forgets the design as well: the filter passes nothing until a valid band
    // is designed, as a new one does.
    void clear();

    // Filters the samples of `in` and returns the number written to out, a multiple
    // of 1024. out needs room for in.size() rounded up to a multiple of 1024; with
    // less, only the inputs whose outputs fit are taken. out may begin at in (the
    // filter then works in place).
    size_t process(std::span<const ComplexSample> in, std::span<ComplexSample> out);
    // n (>= 0) samples; out needs room for n rounded up to a multiple of 1024.
    int ProcessDataInLength(int n, const ComplexSample* in, ComplexSample* out);

private:
    static constexpr double kInitialLoCut = -1.0;
    static constexpr double kInitialHiCut = 1.0;
    static constexpr double kInitialOffset = 1.0;
    static constexpr double kInitialSampleRate = 1.0;

    void FilterBlock();
    void WriteBlock(ComplexSample* out) const;
    void ReleaseTransforms();

    double m_FLoCut = kInitialLoCut;
    double m_FHiCut = kInitialHiCut;
    double m_Offset = kInitialOffset;
    double m_SampleRate = kInitialSampleRate;
    int m_InBufInPos = kBlock;
    std::array<double, kTaps> m_pWindowTbl;
    // The transforms run in single precision, FFTW's own layout (re, im), on
    // buffers of their own: the samples are converted in and out, never cast.
    // Its rounding lies some 140 dB below the block's level.
    // The band's spectrum, the input history, its spectrum and the filtered block.
    alignas(64) std::array<fftwf_complex, 2 * kBlock> m_pFilterCoef{};
    alignas(64) std::array<fftwf_complex, 2 * kBlock> m_pFFTBuf{};
    alignas(64) std::array<fftwf_complex, 2 * kBlock> spectrum_{};
    // Its newer half is the last completed block's output, written out only once
    // the input it would overwrite (when out is in) has been read.
    alignas(64) std::array<fftwf_complex, 2 * kBlock> filtered_{};
    int pendingAt_ = -1;
    fftwf_plan forward_ = nullptr;
    fftwf_plan backward_ = nullptr;
};
