#include "dsp/FastFirObject.h"

#include "common/SystemLog.h"
#include "dsp/FftwPlannerMutex.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

FastFirObject::FastFirObject()
{
    // 1025-point Blackman-Nuttall window, unscaled, 1 at the centre tap.
    for (int k = 0; k < kTaps; ++k) {
        const double a = 2.0 * std::numbers::pi * k / 1024.0;
        m_pWindowTbl[k] = 0.3635819 - 0.4891775 * std::cos(a) + 0.1365995 * std::cos(2.0 * a) - 0.0106411 * std::cos(3.0 * a);
    }
    {
        std::lock_guard lock(FftwPlannerMutex());
        forward_ = fftwf_plan_dft_1d(2 * kBlock, m_pFFTBuf.data(), spectrum_.data(), FFTW_FORWARD, FFTW_ESTIMATE);
        backward_ = fftwf_plan_dft_1d(2 * kBlock, spectrum_.data(), filtered_.data(), FFTW_BACKWARD, FFTW_ESTIMATE);
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
            fftwf_destroy_plan(forward_);
        if (backward_)
            fftwf_destroy_plan(backward_);
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
    for (auto& value : filtered_)
        value[0] = value[1] = 0.0f;
    const double width = (fHiCut - fLoCut) / sampleRate;
    const double centre = (lo + hi) / sampleRate;
    for (int i = 0; i < kTaps; ++i) {
        const int m = i - 512;
        const double tap =
            m == 0 ? width : std::sin(std::numbers::pi * width * m) / (std::numbers::pi * m) * m_pWindowTbl[i];
        const double x = std::numbers::pi * centre * m;
        filtered_[i][0] = static_cast<float>(std::cos(x) * tap / 2048.0);
        filtered_[i][1] = static_cast<float>(std::sin(x) * tap / 2048.0);
    }
    fftwf_execute_dft(forward_, filtered_.data(), m_pFilterCoef.data());
    return true;
}

void FastFirObject::Reset()
{
    for (auto& value : m_pFFTBuf)
        value[0] = value[1] = 0.0f;
    m_InBufInPos = kBlock;
    pendingAt_ = -1;
}

void FastFirObject::Clear()
{
    m_FLoCut = kInitialLoCut;
    m_FHiCut = kInitialHiCut;
    m_Offset = kInitialOffset;
    m_SampleRate = kInitialSampleRate;
    for (auto& value : m_pFilterCoef)
        value[0] = value[1] = 0.0f;
    Reset();
}

void FastFirObject::FilterBlock()
{
    fftwf_execute(forward_);
    for (int k = 0; k < 2 * kBlock; ++k) {
        const float eRe = m_pFilterCoef[k][0], eIm = m_pFilterCoef[k][1];
        const float dRe = spectrum_[k][0], dIm = spectrum_[k][1];
        spectrum_[k][0] = eRe * dRe - eIm * dIm;
        spectrum_[k][1] = eIm * dRe + eRe * dIm;
    }
    fftwf_execute(backward_);
    // The newer half is the older half of the next block.
    std::memcpy(m_pFFTBuf.data(), m_pFFTBuf.data() + kBlock, sizeof(fftwf_complex) * kBlock);
}

int FastFirObject::ProcessDataInLength(int n, const ComplexSample* in, ComplexSample* out)
{
    int count = 0;
    for (int i = 0; i < n;) {
        const int take = std::min(n - i, 2 * kBlock - m_InBufInPos);
        fftwf_complex* line = m_pFFTBuf.data() + m_InBufInPos;
        for (int k = 0; k < take; ++k) {
            line[k][0] = static_cast<float>(in[i + k].re);
            line[k][1] = static_cast<float>(in[i + k].im);
        }
        i += take;
        m_InBufInPos += take;
        if (m_InBufInPos == 2 * kBlock) {
            // The previous block's output may now overwrite input: all of it is read.
            if (pendingAt_ >= 0)
                WriteBlock(out + pendingAt_);
            FilterBlock();
            pendingAt_ = count;
            count += kBlock;
            m_InBufInPos = kBlock;
        }
    }
    if (pendingAt_ >= 0)
        WriteBlock(out + pendingAt_);
    pendingAt_ = -1;
    return count;
}

void FastFirObject::WriteBlock(ComplexSample* out) const
{
    for (int k = 0; k < kBlock; ++k)
        out[k] = ComplexSample{filtered_[kBlock + k][1], filtered_[kBlock + k][0]};
}
