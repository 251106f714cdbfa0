#include "dsp/FastFirObject.h"

#include "common/SystemLog.h"
#include "dsp/FftwPlannerMutex.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

FastFirObject::FastFirObject()
{
    // 1025-point Blackman-Nuttall window, unscaled, 1 at the centre tap.
    for (int k = 0; k < kTaps; ++k) {
        const double a = 2.0 * std::numbers::pi * k / 1024.0;
        m_pWindowTbl[k] = 0.3635819 - 0.4891775 * std::cos(a) + 0.1365995 * std::cos(2.0 * a) - 0.0106411 * std::cos(3.0 * a);
    }
    // A forward transform of (re, im); swapping the parts of input and output
    // makes it the backward one.
    fftw_iodim line{2 * kBlock, 2, 2};
    {
        std::lock_guard lock(FftwPlannerMutex());
        forward_ = fftw_plan_guru_split_dft(1, &line, 0, nullptr, &m_pFFTBuf[0].re, &m_pFFTBuf[0].im,
                                            &spectrum_[0].re, &spectrum_[0].im, FFTW_ESTIMATE);
        backward_ = fftw_plan_guru_split_dft(1, &line, 0, nullptr, &spectrum_[0].im, &spectrum_[0].re,
                                             &filtered_[0].im, &filtered_[0].re, FFTW_ESTIMATE);
    }
    if (!forward_ || !backward_) {
        ReleaseTransforms();
        throw std::bad_alloc();
    }
}

FastFirObject::~FastFirObject() { ReleaseTransforms(); }

void FastFirObject::ReleaseTransforms()
{
    {
        std::lock_guard lock(FftwPlannerMutex());
        if (forward_)
            fftw_destroy_plan(forward_);
        if (backward_)
            fftw_destroy_plan(backward_);
    }
    forward_ = backward_ = nullptr;
}

bool FastFirObject::SetupParametersFLoCut(double fLoCut, double fHiCut, double offset, double sampleRate)
{
    const bool unchanged =
        fLoCut == m_FLoCut && fHiCut == m_FHiCut && offset == m_Offset && sampleRate == m_SampleRate;
    m_FLoCut = fLoCut;
    m_FHiCut = fHiCut;
    m_Offset = offset;
    m_SampleRate = sampleRate;
    const double lo = offset + fLoCut;
    const double hi = offset + fHiCut;
    const bool valid = -sampleRate / 2 < lo && lo < hi && hi < sampleRate / 2;
    if (unchanged)
        return valid;
    if (!valid) {
        SystemLog("Filter Parameter error FLoCut %g   FHiCut %g   SampleRate %g", lo, hi, sampleRate);
        return false;
    }

    // The taps' transform uses the filtered block as scratch: between calls
    // nothing there is waiting.
    filtered_.fill(ComplexSample{});
    const double width = (fHiCut - fLoCut) / sampleRate;
    const double centre = (lo + hi) / sampleRate;
    for (int i = 0; i < kTaps; ++i) {
        const int m = i - 512;
        const double tap =
            m == 0 ? width : std::sin(std::numbers::pi * width * m) / (std::numbers::pi * m) * m_pWindowTbl[i];
        const double x = std::numbers::pi * centre * m;
        filtered_[i] = ComplexSample{std::sin(x) * tap / 2048.0, std::cos(x) * tap / 2048.0};
    }
    fftw_execute_split_dft(forward_, &filtered_[0].re, &filtered_[0].im, &m_pFilterCoef[0].re,
                           &m_pFilterCoef[0].im);
    return true;
}

void FastFirObject::Reset()
{
    m_pFFTBuf.fill(ComplexSample{});
    m_InBufInPos = kBlock;
    pendingAt_ = -1;
}

void FastFirObject::Clear()
{
    m_FLoCut = kInitialLoCut;
    m_FHiCut = kInitialHiCut;
    m_Offset = kInitialOffset;
    m_SampleRate = kInitialSampleRate;
    m_pFilterCoef.fill(ComplexSample{});
    Reset();
}

void FastFirObject::FilterBlock()
{
    fftw_execute(forward_);
    for (int k = 0; k < 2 * kBlock; ++k) {
        const ComplexSample e = m_pFilterCoef[k];
        const ComplexSample d = spectrum_[k];
        spectrum_[k] = ComplexSample{e.im * d.re + e.re * d.im, e.re * d.re - e.im * d.im};
    }
    fftw_execute(backward_);
    // The newer half is the older half of the next block.
    std::copy(m_pFFTBuf.begin() + kBlock, m_pFFTBuf.end(), m_pFFTBuf.begin());
}

int FastFirObject::ProcessDataInLength(int n, const ComplexSample* in, ComplexSample* out)
{
    int count = 0;
    for (int i = 0; i < n;) {
        const int take = std::min(n - i, 2 * kBlock - m_InBufInPos);
        std::copy(in + i, in + i + take, m_pFFTBuf.begin() + m_InBufInPos);
        i += take;
        m_InBufInPos += take;
        if (m_InBufInPos == 2 * kBlock) {
            // The previous block's output may now overwrite input: all of it is read.
            if (pendingAt_ >= 0)
                std::copy(filtered_.begin() + kBlock, filtered_.end(), out + pendingAt_);
            FilterBlock();
            pendingAt_ = count;
            count += kBlock;
            m_InBufInPos = kBlock;
        }
    }
    if (pendingAt_ >= 0)
        std::copy(filtered_.begin() + kBlock, filtered_.end(), out + pendingAt_);
    pendingAt_ = -1;
    return count;
}
