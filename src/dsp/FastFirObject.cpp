#include "dsp/FastFirObject.h"

#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "dsp/FftwPlannerMutex.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace {

using Float4 = float __attribute__((vector_size(16)));
using Float8 = float __attribute__((vector_size(32)));

// Samples {im, re} in double precision into FFTW's {re, im} in single.
template <bool Wide>
[[gnu::always_inline]] inline void ToTransformLayout(int n, const ComplexSample* in, fftwf_complex* out)
{
    int k = 0;
    if constexpr (Wide) {
        for (; k + 4 <= n; k += 4) {
            Double4 first, second;
            std::memcpy(&first, in + k, sizeof first);
            std::memcpy(&second, in + k + 2, sizeof second);
            const Float8 both = __builtin_shufflevector(__builtin_convertvector(first, Float4),
                                                        __builtin_convertvector(second, Float4), 1, 0, 3, 2, 5, 4, 7, 6);
            std::memcpy(out + k, &both, sizeof both);
        }
    }
    for (; k < n; ++k) {
        out[k][0] = static_cast<float>(in[k].re);
        out[k][1] = static_cast<float>(in[k].im);
    }
}

template <bool Wide>
[[gnu::always_inline]] inline void FromTransformLayout(int n, const fftwf_complex* in, ComplexSample* out)
{
    int k = 0;
    if constexpr (Wide) {
        for (; k + 4 <= n; k += 4) {
            Float8 both;
            std::memcpy(&both, in + k, sizeof both);
            const Double4 first = __builtin_convertvector(__builtin_shufflevector(both, both, 1, 0, 3, 2), Double4);
            const Double4 second = __builtin_convertvector(__builtin_shufflevector(both, both, 5, 4, 7, 6), Double4);
            std::memcpy(static_cast<void*>(out + k), &first, sizeof first);
            std::memcpy(static_cast<void*>(out + k + 2), &second, sizeof second);
        }
    }
    for (; k < n; ++k)
        out[k] = ComplexSample{in[k][1], in[k][0]};
}

// spectrum[k] *= coefficient[k], the products rounded and summed as written.
template <bool Wide>
[[gnu::always_inline]] inline void MultiplySpectra(int n, const fftwf_complex* coefficient, fftwf_complex* spectrum)
{
    int k = 0;
    if constexpr (Wide) {
        const Float8 sign{-1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f};
        for (; k + 4 <= n; k += 4) {
            Float8 e, d;
            std::memcpy(&e, coefficient + k, sizeof e);
            std::memcpy(&d, spectrum + k, sizeof d);
            const Float8 eRe = __builtin_shufflevector(e, e, 0, 0, 2, 2, 4, 4, 6, 6);
            const Float8 eIm = __builtin_shufflevector(e, e, 1, 1, 3, 3, 5, 5, 7, 7);
            const Float8 swapped = __builtin_shufflevector(d, d, 1, 0, 3, 2, 5, 4, 7, 6);
            // {eRe dRe - eIm dIm, eRe dIm + eIm dRe}
            const Float8 product = eRe * d + sign * (eIm * swapped);
            std::memcpy(spectrum + k, &product, sizeof product);
        }
    }
    for (; k < n; ++k) {
        const float eRe = coefficient[k][0], eIm = coefficient[k][1];
        const float dRe = spectrum[k][0], dIm = spectrum[k][1];
        spectrum[k][0] = eRe * dRe - eIm * dIm;
        spectrum[k][1] = eIm * dRe + eRe * dIm;
    }
}

KORVEL_WIDE_EXACT_TARGET void ToTransformLayoutWide(int n, const ComplexSample* in, fftwf_complex* out)
{
    ToTransformLayout<true>(n, in, out);
}

KORVEL_WIDE_EXACT_TARGET void FromTransformLayoutWide(int n, const fftwf_complex* in, ComplexSample* out)
{
    FromTransformLayout<true>(n, in, out);
}

KORVEL_WIDE_EXACT_TARGET void MultiplySpectraWide(int n, const fftwf_complex* coefficient, fftwf_complex* spectrum)
{
    MultiplySpectra<true>(n, coefficient, spectrum);
}

} // namespace

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

Status FastFirObject::configure(double fLoCut, double fHiCut, double offset, double sampleRate)
{
    const double lo = offset + fLoCut;
    const double hi = offset + fHiCut;
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0 && std::isfinite(lo) && std::isfinite(hi)
          && -sampleRate / 2 < lo && lo < hi && hi < sampleRate / 2))
        return Error(ErrorKind::InvalidArgument, "Band " + formatGeneral(lo) + " to " + formatGeneral(hi)
                                                     + " Hz does not lie inside the rate of "
                                                     + formatGeneral(sampleRate) + " Hz.");
    clear();
    SetupParametersFLoCut(fLoCut, fHiCut, offset, sampleRate);
    return {};
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

void FastFirObject::reset()
{
    for (auto& value : m_pFFTBuf)
        value[0] = value[1] = 0.0f;
    m_InBufInPos = kBlock;
    pendingAt_ = -1;
}

void FastFirObject::clear()
{
    m_FLoCut = kInitialLoCut;
    m_FHiCut = kInitialHiCut;
    m_Offset = kInitialOffset;
    m_SampleRate = kInitialSampleRate;
    for (auto& value : m_pFilterCoef)
        value[0] = value[1] = 0.0f;
    reset();
}

void FastFirObject::FilterBlock()
{
    fftwf_execute(forward_);
    if (WideVectorsAvailable())
        MultiplySpectraWide(2 * kBlock, m_pFilterCoef.data(), spectrum_.data());
    else
        MultiplySpectra<false>(2 * kBlock, m_pFilterCoef.data(), spectrum_.data());
    fftwf_execute(backward_);
    // The newer half is the older half of the next block.
    std::memcpy(m_pFFTBuf.data(), m_pFFTBuf.data() + kBlock, sizeof(fftwf_complex) * kBlock);
}

int FastFirObject::ProcessDataInLength(int n, const ComplexSample* in, ComplexSample* out)
{
    if (n <= 0)
        return 0;
    const size_t room = (static_cast<size_t>(n) + kBlock - 1) / kBlock * kBlock;
    return static_cast<int>(process({in, static_cast<size_t>(n)}, {out, room}));
}

size_t FastFirObject::process(std::span<const ComplexSample> input, std::span<ComplexSample> output)
{
    const ComplexSample* in = input.data();
    ComplexSample* out = output.data();
    // Inputs whose completed blocks fit in out: the buffered ones count too.
    const size_t buffered = static_cast<size_t>(m_InBufInPos - kBlock);
    const size_t fits = (output.size() / kBlock + 1) * kBlock - 1 - buffered;
    const int n = static_cast<int>(std::min(input.size(), fits));
    int count = 0;
    for (int i = 0; i < n;) {
        const int take = std::min(n - i, 2 * kBlock - m_InBufInPos);
        fftwf_complex* line = m_pFFTBuf.data() + m_InBufInPos;
        if (WideVectorsAvailable())
            ToTransformLayoutWide(take, in + i, line);
        else
            ToTransformLayout<false>(take, in + i, line);
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
    return static_cast<size_t>(count);
}

void FastFirObject::WriteBlock(ComplexSample* out) const
{
    if (WideVectorsAvailable())
        FromTransformLayoutWide(kBlock, filtered_.data() + kBlock, out);
    else
        FromTransformLayout<false>(kBlock, filtered_.data() + kBlock, out);
}
