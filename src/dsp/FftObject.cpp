#include "dsp/FftObject.h"

#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "dsp/ComplexFft.h"
#include "dsp/FftwPlannerMutex.h"
#include "dsp/FloatLog10.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <utility>

namespace {

// trunc(v) as an int, with v limited to [lo, hi] first so that the conversion is
// defined for any input (NaN counts as 0).
int TruncClamped(double v, int lo, int hi)
{
    if (!(v == v))
        v = 0.0;
    return static_cast<int>(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
}

// Windowed samples into FFTW's order (re, im) in single precision, two at a
// time: each product is rounded once, from double, as one at a time would be.
__attribute__((always_inline)) inline void WindowSamples(int count, const ComplexSample* in, const double* window,
                                                         float* out)
{
    using Float4 = float __attribute__((vector_size(16)));
    int k = 0;
    for (; k + 2 <= count; k += 2) {
        Double4 samples;
        std::memcpy(&samples, in + k, sizeof samples);
        const Double4 weights = {window[k], window[k], window[k + 1], window[k + 1]};
        const Double4 product = samples * weights;
        const Float4 values = __builtin_convertvector(__builtin_shufflevector(product, product, 1, 0, 3, 2), Float4);
        std::memcpy(out + 2 * k, &values, sizeof values);
    }
    for (; k < count; ++k) {
        out[2 * k] = static_cast<float>(in[k].re * window[k]);
        out[2 * k + 1] = static_cast<float>(in[k].im * window[k]);
    }
}

KORVEL_WIDE_TARGET void WindowSamplesWide(int count, const ComplexSample* in, const double* window, float* out)
{
    WindowSamples(count, in, window, out);
}

} // namespace

double FftObject::windowWeight(FftWindow window, int k, int n)
{
    if (n < 2)
        return 1.0;
    const double t = static_cast<double>(k) / (n - 1);
    auto c = [t](int m) { return std::cos(2.0 * std::numbers::pi * m * t); };
    switch (window) {
    case FftWindow::Rectangular:
        return 1.0;
    case FftWindow::Hann:
        return 1.0 - c(1);
    case FftWindow::Hamming:
        return 1.00008 - 0.85192 * c(1);
    case FftWindow::BlackmanNuttall:
        return 2.8 * (0.3635819 - 0.4891775 * c(1) + 0.1365995 * c(2) - 0.0106411 * c(3));
    case FftWindow::BlackmanHarris:
        return 2.82 * (0.35875 - 0.48829 * c(1) + 0.14128 * c(2) - 0.01168 * c(3));
    case FftWindow::Nuttall:
        return 2.8 * (0.355768 - 0.487396 * c(1) + 0.144232 * c(2) - 0.012604 * c(3));
    case FftWindow::FlatTop:
        return 1.0 - 1.942604 * c(1) + 1.340318 * c(2) - 0.440811 * c(3) + 0.043097 * c(4);
    }
    return 1.0;
}

FftObject::FftObject()
{
    SetFFTParamsSize(2048, false, 0.0, 1000.0);
}

FftObject::~FftObject() { FreeDisplayScratch(); }

Status FftObject::configure(int size, FftWindow window, bool invert, double dBCompensation, double sampleFreq)
{
    if (size < 512 || size > 16777216 || (size & (size - 1)) != 0)
        return Error(ErrorKind::InvalidArgument,
                     "Transform size " + std::to_string(size) + " is not a power of two from 512 to 16777216.");
    if (!(std::isfinite(sampleFreq) && sampleFreq > 0.0))
        return Error(ErrorKind::InvalidArgument,
                     "Transform sample rate must be above 0 Hz, not " + formatGeneral(sampleFreq) + ".");
    if (!std::isfinite(dBCompensation))
        return Error(ErrorKind::InvalidArgument, "Transform level correction must be a finite number.");
    windowType = window;
    // Rebuilt whatever was built before, so that the window applies now.
    m_LastFFTSize = 0;
    SetFFTParamsSize(size, invert, dBCompensation, sampleFreq);
    return {};
}

size_t FftObject::process(std::span<const ComplexSample> in)
{
    const size_t used = std::min(in.size(), static_cast<size_t>(m_FFTSize));
    PutInDisplayFFT(static_cast<int>(used), in.data());
    return used;
}

void FftObject::SetFFTParamsSize(int size, bool invert, double dBCompensation, double sampleFreq)
{
    if (size == 0)
        return;
    m_BinMin = m_BinMax = m_StartFreq = m_StopFreq = m_PlotWidth = 0;
    m_Invert = invert;
    m_SampleFreq = sampleFreq;
    if (dBCompensation != m_dBCompensation) {
        m_dBCompensation = dBCompensation;
        m_LastFFTSize = 0;
    }
    m_FFTSize = ComplexFft::supportedSize(size);
    if (m_FFTSize != m_LastFFTSize) {
        m_LastFFTSize = m_FFTSize;
        BuildTables();
    }
    ResetFFT();
}

void FftObject::setWindowType(FftWindow window) { windowType = window; }

void FftObject::ResetFFT()
{
    std::fill(m_pFFTAveBuf.begin(), m_pFFTAveBuf.end(), 0.0);
    std::fill(floatLevels_.begin(), floatLevels_.end(), 0.0f);
    levelsStale_ = floatLevelsStale_ = false;
}

void FftObject::LevelsOfPowers(int count, const float* powers, float* levels) const
{
    FloatLog10::process(count, powers, levels, static_cast<float>(m_K_B));
}

const float* FftObject::floatLevels() const
{
    if (floatLevelsStale_) {
        LevelsOfPowers(static_cast<int>(binPower_.size()), binPower_.data(), floatLevels_.data());
        floatLevelsStale_ = false;
    }
    return floatLevels_.data();
}

const double* FftObject::fftAveBuf() const
{
    if (levelsStale_) {
        const float* levels = floatLevels();
        for (size_t entry = 0; entry < binPower_.size(); ++entry)
            m_pFFTAveBuf[entry] = levels[entry];
        levelsStale_ = false;
    }
    return m_pFFTAveBuf.data();
}

void FftObject::BuildTables()
{
    const int n = m_FFTSize;
    log2N_ = ComplexFft::floorLog2(n);
    const double b = m_dBCompensation - 20.0 * std::log10(n * 16383.5);
    m_K_C = std::pow(10.0, (-220.0 - b) * 0.1);
    m_K_B = 0.1 * b;

    m_pWindowTbl.resize(n);
    for (int k = 0; k < n; ++k)
        m_pWindowTbl[k] = windowWeight(windowType, k, n);

    m_pTranslateTbl.assign(n, 0);
    m_pFFTAveBuf.assign(n, 0.0);
    floatLevels_.assign(n, 0.0f);
    binPower_.assign(n, 0.0f);
    scratch_.assign(n, 0.0f);
    levelsStale_ = floatLevelsStale_ = false;
    BuildDisplayScratch();
}

void FftObject::FreeDisplayScratch()
{
    if (displayPlan_) {
        std::lock_guard lock(FftwPlannerMutex());
        fftwf_destroy_plan(displayPlan_);
    }
    fftwf_free(displayIn_);
    fftwf_free(displayOut_);
    displayPlan_ = nullptr;
    displayIn_ = displayOut_ = nullptr;
    scratchSize_ = 0;
}

void FftObject::BuildDisplayScratch()
{
    FreeDisplayScratch();
    const int n = m_FFTSize;
    SystemLog("********** m_FFTSize %d    Log2N %d", n, log2N_);
    displayIn_ = fftwf_alloc_complex(n);
    displayOut_ = fftwf_alloc_complex(n);
    if (displayIn_ && displayOut_) {
        std::lock_guard lock(FftwPlannerMutex());
        displayPlan_ = fftwf_plan_dft_1d(n, displayIn_, displayOut_, FFTW_FORWARD, FFTW_ESTIMATE);
    }
    if (!displayPlan_) {
        SystemLog("**********Error, failed to allocate memory");
        FreeDisplayScratch();
        return;
    }
    scratchSize_ = n;
}

bool FftObject::transformDisplayBlock(int inLength, const ComplexSample* inBuf)
{
    const int n = m_FFTSize;
    if (scratchSize_ != n)
        return false;
    const int count = std::clamp(inLength, 0, n);
    float* samples = &displayIn_[0][0];
    if (WideVectorsAvailable())
        WindowSamplesWide(count, inBuf, m_pWindowTbl.data(), samples);
    else
        WindowSamples(count, inBuf, m_pWindowTbl.data(), samples);
    std::fill(samples + 2 * count, samples + 2 * n, 0.0f);
    fftwf_execute(displayPlan_);
    return true;
}

void FftObject::PutInDisplayFFT(int inLength, const ComplexSample* inBuf)
{
    if (!transformDisplayBlock(inLength, inBuf))
        return;
    const int n = m_FFTSize;

    // Bin b of the transform of re + j*im is frequency -b of im + j*re: reversing
    // each half puts the levels in increasing frequency of the latter. A half
    // (256 bins or more) is a whole number of vectors.
    using Float4 = float __attribute__((vector_size(16)));
    const Float4 floor = Float4{} + static_cast<float>(m_K_C);
    const int half = n / 2;
    const float* bins = &displayOut_[0][0];
    float* powers = binPower_.data();
    for (int b = 0; b < n; b += 4) {
        Float4 first;
        Float4 second;
        std::memcpy(&first, bins + 2 * b, sizeof first);
        std::memcpy(&second, bins + 2 * b + 4, sizeof second);
        const Float4 re = __builtin_shufflevector(first, second, 0, 2, 4, 6);
        const Float4 im = __builtin_shufflevector(first, second, 1, 3, 5, 7);
        Float4 power = re * re + im * im;
        power += floor;
        const Float4 reversed = __builtin_shufflevector(power, power, 3, 2, 1, 0);
        const int entry = b < half ? half - 4 - b : n - 4 - (b - half);
        std::memcpy(powers + entry, &reversed, sizeof reversed);
    }
    levelsStale_ = floatLevelsStale_ = true;
}

void FftObject::BuildScreenMapping(int maxWidth)
{
    const int n = m_FFTSize;
    const double perHz = 1.0 / m_SampleFreq;
    auto binOf = [&](int freq) {
        const int bin = TruncClamped(static_cast<double>(n) * freq * perHz, -n, n) + n / 2;
        return std::clamp(bin, 0, n - 1);
    };
    m_BinMin = binOf(m_StartFreq);
    m_BinMax = binOf(m_StopFreq);
    const int64_t span = static_cast<int64_t>(m_BinMax) - m_BinMin;
    if (span <= maxWidth) {
        if (m_pTranslateTbl.size() <= static_cast<size_t>(maxWidth))
            m_pTranslateTbl.resize(static_cast<size_t>(maxWidth) + 1);
        m_pTranslateTbl[0] = m_BinMin;
        for (int x = 1; x < maxWidth; ++x)
            m_pTranslateTbl[x] = static_cast<int>(x * span / maxWidth + m_BinMin);
    } else {
        m_pTranslateTbl[m_BinMin] = 0;
        for (int b = m_BinMin + 1; b <= m_BinMax; ++b)
            m_pTranslateTbl[b] = static_cast<int>((b - m_BinMin) * static_cast<int64_t>(maxWidth) / span);
    }
}

void FftObject::GetScreenIntegerFFTDataMaxHeight(int maxHeight, int maxWidth, double maxdB, double mindB,
                                                 int startFreq, int stopFreq, int* outBuf, double* dBBuf)
{
    if (maxWidth <= 0)
        return;
    if (startFreq != m_StartFreq || stopFreq != m_StopFreq || maxWidth != m_PlotWidth) {
        m_StartFreq = startFreq;
        m_StopFreq = stopFreq;
        m_PlotWidth = maxWidth;
        BuildScreenMapping(maxWidth);
    }

    const int n = m_FFTSize;
    const bool flat = maxdB == mindB;
    const double gain = flat ? 0.0 : (-10.0 / (maxdB - mindB)) * maxHeight;
    const double offset = 0.1 * maxdB;
    auto heightOf = [&](double level) {
        if (flat)
            return maxHeight;
        const double y = (level - offset) * gain;
        if (y >= maxHeight)
            return maxHeight;
        return y > 0.0 ? static_cast<int>(y) : 0;
    };

    const int* table = m_pTranslateTbl.data();
    const bool wide = static_cast<int64_t>(m_BinMax) - m_BinMin > maxWidth;
    if (wide && levelsStale_) {
        // The log is monotonic: a column's strongest power gives its level,
        // with one log per column instead of one per bin.
        const float* powers = binPower_.data();
        auto powerOf = [&](int bin) { return m_Invert ? powers[bin == 0 ? 0 : n - bin] : powers[bin]; };
        float* columnPower = scratch_.data();
        const int firstColumn = table[m_BinMin];
        int column = firstColumn;
        float strongest = powerOf(m_BinMin);
        for (int b = m_BinMin + 1; b <= m_BinMax; ++b) {
            const float power = powerOf(b);
            if (table[b] != column) {
                columnPower[column] = strongest;
                column = table[b];
                strongest = power;
            } else if (power > strongest) {
                strongest = power;
            }
        }
        columnPower[column] = strongest;
        LevelsOfPowers(column + 1 - firstColumn, columnPower + firstColumn, columnPower + firstColumn);
        for (int x = firstColumn; x <= column; ++x) {
            const double level = columnPower[x];
            outBuf[x] = heightOf(level);
            dBBuf[x] = 10.0 * level;
        }
        return;
    }
    const double* levels = fftAveBuf();
    auto levelOf = [&](int bin) { return m_Invert ? levels[bin == 0 ? 0 : n - bin] : levels[bin]; };
    if (!wide) {
        for (int x = 0; x < maxWidth; ++x) {
            const double level = levelOf(table[x]);
            outBuf[x] = heightOf(level);
            dBBuf[x] = 10.0 * level;
        }
    } else {
        // Each column shows its strongest bin. Compared by level, not by
        // height: heights are clamped, and the level kept must be the
        // strongest's even where several bins reach the top.
        int previousColumn = -1;
        double columnLevel = 0.0;
        for (int b = m_BinMin; b <= m_BinMax; ++b) {
            const double level = levelOf(b);
            const int x = table[b];
            if (x != previousColumn || level > columnLevel) {
                outBuf[x] = heightOf(level);
                dBBuf[x] = 10.0 * level;
                columnLevel = level;
                previousColumn = x;
            }
        }
    }
}

void FftObject::holdPeakPower(int inLength, const ComplexSample* inBuf, float* peak)
{
    if (!transformDisplayBlock(inLength, inBuf))
        return;
    // Held in the transform's bin order, which vectorises; levelsOfPeakPower() reorders.
    const float floor = static_cast<float>(m_K_C);
    const int n = m_FFTSize;
    for (int b = 0; b < n; ++b) {
        float power = displayOut_[b][0] * displayOut_[b][0] + displayOut_[b][1] * displayOut_[b][1];
        power += floor;
        peak[b] = std::max(peak[b], power);
    }
}

void FftObject::levelsOfPeakPower(const float* peak, double* levels) const
{
    const int n = m_FFTSize;
    const int half = n / 2;
    float* scratch = scratch_.data();
    LevelsOfPowers(n, peak, scratch);
    for (int b = 0; b < n; ++b)
        levels[b < half ? half - 1 - b : n - 1 - (b - half)] = scratch[b];
}
