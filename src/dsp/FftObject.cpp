#include "dsp/FftObject.h"

#include "common/SystemLog.h"
#include "dsp/FftwPlannerMutex.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <utility>

namespace {

constexpr int kMinSize = 512;
constexpr int kMaxSize = 16777216;

int FloorLog2(int n)
{
    int log2 = 0;
    while ((2 << log2) <= n)
        ++log2;
    return log2;
}

int ReverseBits(int value, int bits)
{
    int reversed = 0;
    for (int b = 0; b < bits; ++b)
        reversed |= ((value >> b) & 1) << (bits - 1 - b);
    return reversed;
}

double WindowWeight(int type, int k, int n)
{
    const double t = static_cast<double>(k) / (n - 1);
    auto c = [t](int m) { return std::cos(2.0 * std::numbers::pi * m * t); };
    switch (type) {
    case 1:
        return 1.0 - c(1);
    case 2:
        return 1.00008 - 0.85192 * c(1);
    case 3:
        return 2.8 * (0.3635819 - 0.4891775 * c(1) + 0.1365995 * c(2) - 0.0106411 * c(3));
    case 4:
        return 2.82 * (0.35875 - 0.48829 * c(1) + 0.14128 * c(2) - 0.01168 * c(3));
    case 5:
        return 2.8 * (0.355768 - 0.487396 * c(1) + 0.144232 * c(2) - 0.012604 * c(3));
    case 6:
        return 1.0 - 1.942604 * c(1) + 1.340318 * c(2) - 0.440811 * c(3) + 0.043097 * c(4);
    default:
        return 1.0;
    }
}

// trunc(v) as an int, with v limited to [lo, hi] first so that the conversion is
// defined for any input (NaN counts as 0).
int TruncClamped(double v, int lo, int hi)
{
    if (!(v == v))
        v = 0.0;
    return static_cast<int>(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
}

} // namespace

FftObject::FftObject()
{
    SetFFTParamsSize(2048, false, 0.0, 1000.0);
    SetFFTAve(1);
}

FftObject::~FftObject() { FreeDisplayScratch(); }

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
    // The transforms need a power of two; rounding down keeps them inside the
    // caller's N-sample arrays.
    m_FFTSize = 1 << FloorLog2(std::clamp(size, kMinSize, kMaxSize));
    if (m_FFTSize != m_LastFFTSize) {
        m_LastFFTSize = m_FFTSize;
        BuildTables();
    }
    ResetFFT();
}

void FftObject::setWidowType(int type) { windowType = type; }

void FftObject::SetFFTAve(int n)
{
    if (n != m_AveSize)
        m_AveSize = n <= 0 ? 1 : n;
    ResetFFT();
}

void FftObject::ResetFFT()
{
    std::fill(m_pFFTAveBuf.begin(), m_pFFTAveBuf.end(), 0.0);
    m_AveCount = 0;
    m_TotalCount = 0;
}

void FftObject::BuildTables()
{
    const int n = m_FFTSize;
    m_Log2N = FloorLog2(n);

    m_RevBits = m_Log2N / 2;
    m_pWorkArea.assign(2 + (1 << m_RevBits), 0);
    m_pWorkArea[0] = n / 2;
    m_pWorkArea[1] = 1;
    for (int x = 0; x < (1 << m_RevBits); ++x)
        m_pWorkArea[2 + x] = ReverseBits(x, m_RevBits);

    const int nw = n / 2;
    const int nwh = nw / 2;
    const double delta = (std::numbers::pi / 4) / nwh;
    m_pSinCosTbl.assign(nw, 0.0);
    double* w = m_pSinCosTbl.data();
    w[0] = 1.0;
    w[1] = 0.0;
    w[nwh] = w[nwh + 1] = std::cos(delta * nwh);
    for (int j = 2; j < nwh; j += 2) {
        const double x = std::cos(delta * j);
        const double y = std::sin(delta * j);
        w[j] = x;
        w[j + 1] = y;
        w[nw - j] = y;
        w[nw - j + 1] = x;
    }
    ForEachReversedPair(m_Log2N - 2, [w](int i, int j) {
        if (i != j) {
            std::swap(w[2 * i], w[2 * j]);
            std::swap(w[2 * i + 1], w[2 * j + 1]);
        }
    });

    const double b = m_dBCompensation - 20.0 * std::log10(n * 16383.5);
    m_K_C = std::pow(10.0, (-220.0 - b) * 0.1);
    m_K_B = 0.1 * b;

    m_pWindowTbl.resize(n);
    for (int k = 0; k < n; ++k)
        m_pWindowTbl[k] = WindowWeight(windowType, k, n);

    m_pTranslateTbl.assign(n, 0);
    m_pFFTAveBuf.assign(n, 0.0);
    BuildDisplayScratch();
}

void FftObject::FreeDisplayScratch()
{
    if (m_DisplayPlan) {
        std::lock_guard lock(FftwPlannerMutex());
        fftwf_destroy_plan(m_DisplayPlan);
    }
    fftwf_free(m_DisplayIn);
    fftwf_free(m_DisplayOut);
    m_DisplayPlan = nullptr;
    m_DisplayIn = m_DisplayOut = nullptr;
    m_ScratchSize = 0;
}

void FftObject::BuildDisplayScratch()
{
    FreeDisplayScratch();
    const int n = m_FFTSize;
    SystemLog("********** m_FFTSize %d    Log2N %d", n, m_Log2N);
    m_DisplayIn = fftwf_alloc_complex(n);
    m_DisplayOut = fftwf_alloc_complex(n);
    if (m_DisplayIn && m_DisplayOut) {
        std::lock_guard lock(FftwPlannerMutex());
        m_DisplayPlan = fftwf_plan_dft_1d(n, m_DisplayIn, m_DisplayOut, FFTW_FORWARD, FFTW_ESTIMATE);
    }
    if (!m_DisplayPlan) {
        SystemLog("**********Error, failed to allocate memory");
        FreeDisplayScratch();
        return;
    }
    m_ScratchSize = n;
}

int FftObject::PutInDisplayFFT(int inLength, const ComplexSample* inBuf)
{
    const int n = m_FFTSize;
    if (m_ScratchSize != n)
        return m_TotalCount;
    const int count = std::clamp(inLength, 0, n);
    const double* window = m_pWindowTbl.data();
    for (int k = 0; k < count; ++k) {
        m_DisplayIn[k][0] = static_cast<float>(inBuf[k].re * window[k]);
        m_DisplayIn[k][1] = static_cast<float>(inBuf[k].im * window[k]);
    }
    for (int k = count; k < n; ++k)
        m_DisplayIn[k][0] = m_DisplayIn[k][1] = 0.0f;
    fftwf_execute(m_DisplayPlan);

    // Bin b of the transform of re + j*im is frequency -b of im + j*re: reversing
    // each half puts the levels in increasing frequency of the latter.
    const float floor = static_cast<float>(m_K_C);
    const float offset = static_cast<float>(m_K_B);
    const int half = n / 2;
    double* levels = m_pFFTAveBuf.data();
    for (int b = 0; b < n; ++b) {
        float power = m_DisplayOut[b][0] * m_DisplayOut[b][0] + m_DisplayOut[b][1] * m_DisplayOut[b][1];
        power += floor;
        float level = std::log10(power);
        level += offset;
        const int entry = b < half ? half - 1 - b : n - 1 - (b - half);
        levels[entry] = level;
    }
    return m_TotalCount;
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

bool FftObject::GetScreenIntegerFFTDataMaxHeight(int maxHeight, int maxWidth, double maxdB, double mindB,
                                                 int startFreq, int stopFreq, int* outBuf, double* dBBuf)
{
    if (maxWidth <= 0)
        return m_Overload;
    if (startFreq != m_StartFreq || stopFreq != m_StopFreq || maxWidth != m_PlotWidth) {
        m_StartFreq = startFreq;
        m_StopFreq = stopFreq;
        m_PlotWidth = maxWidth;
        BuildScreenMapping(maxWidth);
    }

    const int n = m_FFTSize;
    const double* levels = m_pFFTAveBuf.data();
    const bool flat = maxdB == mindB;
    const double gain = flat ? 0.0 : (-10.0 / (maxdB - mindB)) * maxHeight;
    const double offset = 0.1 * maxdB;
    auto levelOf = [&](int bin) { return m_Invert ? levels[bin == 0 ? 0 : n - bin] : levels[bin]; };
    auto heightOf = [&](double level) {
        if (flat)
            return maxHeight;
        const double y = (level - offset) * gain;
        if (y >= maxHeight)
            return maxHeight;
        return y > 0.0 ? static_cast<int>(y) : 0;
    };

    const int* table = m_pTranslateTbl.data();
    if (static_cast<int64_t>(m_BinMax) - m_BinMin <= maxWidth) {
        for (int x = 0; x < maxWidth; ++x) {
            const double level = levelOf(table[x]);
            outBuf[x] = heightOf(level);
            dBBuf[x] = 10.0 * level;
        }
    } else {
        int previousColumn = -1;
        int columnMin = 10000;
        for (int b = m_BinMin; b <= m_BinMax; ++b) {
            const double level = levelOf(b);
            const int y = heightOf(level);
            const int x = table[b];
            if (x != previousColumn || y < columnMin) {
                outBuf[x] = y;
                dBBuf[x] = 10.0 * level;
                columnMin = y;
                previousColumn = x;
            }
        }
    }
    return m_Overload;
}

// Visits every index i < 2^log2Count together with its bit reversal j, once per pair
// (i <= j), using the reversal table of the work area for the two outer bit groups.
template <class Visit> void FftObject::ForEachReversedPair(int log2Count, Visit visit) const
{
    const int h = log2Count / 2;
    const int midBits = log2Count - 2 * h;
    const int highShift = h + midBits;
    const int* reversed = m_pWorkArea.data() + 2;
    const int tableShift = m_RevBits - h;
    for (int a = 0; a < (1 << h); ++a) {
        const int ra = reversed[a] >> tableShift;
        for (int mid = 0; mid < (1 << midBits); ++mid) {
            for (int b = 0; b < (1 << h); ++b) {
                const int i = (a << highShift) | (mid << h) | b;
                const int j = ((reversed[b] >> tableShift) << highShift) | (mid << h) | ra;
                if (i <= j)
                    visit(i, j);
            }
        }
    }
}

namespace {

// One complex value of the transform (real part, imaginary part), that is the `im`
// and `re` members of a sample in their memory order, in one vector register.
typedef double Pair __attribute__((vector_size(16)));

Pair Load(const ComplexSample& s)
{
    Pair v;
    std::memcpy(&v, &s, sizeof v);
    return v;
}

void Store(ComplexSample& s, Pair v) { std::memcpy(static_cast<void*>(&s), &v, sizeof v); }

Pair Swap(Pair v) { return __builtin_shufflevector(v, v, 1, 0); }

// Multiplication by w = wr + i*wi, given as {wr, wr} and {-wi, wi}.
struct Twiddle {
    Pair real;
    Pair imag;
    Twiddle(double wr, double wi) : real{wr, wr}, imag{-wi, wi} {}
    Pair operator*(Pair v) const { return v * real + Swap(v) * imag; }
};

Pair TimesI(Pair v) { return Swap(v) * Pair{-1.0, 1.0}; }

} // namespace

// Radix-4 decimation in frequency on bit-reversed input, which leaves the output in
// natural order. After the permutation every radix-4 block G of a stage uses one
// twiddle theta = table[G] (the table is stored bit-reversed for this) and its square
// table[G / 2], times i for odd G. The transform computed is
// X[k] = sum x[j] exp(+2 pi i jk/N); the conjugating variant conjugates on the way in
// and on the way out, which flips the sign of the exponent.
template <bool Conjugate> void FftObject::Transform(ComplexSample* data)
{
    const int n = m_FFTSize;
    ForEachReversedPair(m_Log2N, [data](int i, int j) {
        if (i != j)
            std::swap(data[i], data[j]);
        if (Conjugate) {
            data[i].re = -data[i].re;
            if (i != j)
                data[j].re = -data[j].re;
        }
    });

    const double* w = m_pSinCosTbl.data();
    int s = 1;
    for (; 4 * s < n; s *= 4) {
        const int blocks = n / (4 * s);
        for (int g = 0; g < blocks; ++g) {
            const double w1r = w[2 * g], w1i = w[2 * g + 1];
            double w2r = w[2 * (g >> 1)], w2i = w[2 * (g >> 1) + 1];
            if (g & 1) {
                const double t = w2r;
                w2r = -w2i;
                w2i = t;
            }
            const Twiddle theta1(w1r, w1i);
            const Twiddle theta2(w2r, w2i);
            const Twiddle theta3(w1r * w2r - w1i * w2i, w1r * w2i + w1i * w2r);
            ComplexSample* p = data + 4 * s * g;
            for (int m = 0; m < s; ++m) {
                const Pair a0 = Load(p[m]), a1 = Load(p[m + s]), a2 = Load(p[m + 2 * s]), a3 = Load(p[m + 3 * s]);
                const Pair x0 = a0 + a1, x1 = a0 - a1, x2 = a2 + a3, ix3 = TimesI(a2 - a3);
                Store(p[m], x0 + x2);
                Store(p[m + s], theta1 * (x1 + ix3));
                Store(p[m + 2 * s], theta2 * (x0 - x2));
                Store(p[m + 3 * s], theta3 * (x1 - ix3));
            }
        }
    }

    const Pair sign = Conjugate ? Pair{1.0, -1.0} : Pair{1.0, 1.0};
    if (4 * s == n) {
        for (int m = 0; m < s; ++m) {
            const Pair a0 = Load(data[m]), a1 = Load(data[m + s]), a2 = Load(data[m + 2 * s]), a3 = Load(data[m + 3 * s]);
            const Pair x0 = a0 + a1, x1 = a0 - a1, x2 = a2 + a3, ix3 = TimesI(a2 - a3);
            Store(data[m], sign * (x0 + x2));
            Store(data[m + s], sign * (x1 + ix3));
            Store(data[m + 2 * s], sign * (x0 - x2));
            Store(data[m + 3 * s], sign * (x1 - ix3));
        }
    } else {
        for (int m = 0; m < s; ++m) {
            const Pair a0 = Load(data[m]), a1 = Load(data[m + s]);
            Store(data[m], sign * (a0 + a1));
            Store(data[m + s], sign * (a0 - a1));
        }
    }
}

void FftObject::FwdFFT(ComplexSample* data) { Transform<false>(data); }

void FftObject::RevFFT(ComplexSample* data) { Transform<true>(data); }
