#include "dsp/ComplexFft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace {

int ReverseBits(int value, int bits)
{
    int reversed = 0;
    for (int b = 0; b < bits; ++b)
        reversed |= ((value >> b) & 1) << (bits - 1 - b);
    return reversed;
}

} // namespace

int ComplexFft::floorLog2(int n)
{
    int log2 = 0;
    while ((2 << log2) <= n)
        ++log2;
    return log2;
}

int ComplexFft::supportedSize(int size)
{
    constexpr int kMinSize = 512;
    constexpr int kMaxSize = 16777216;
    return 1 << floorLog2(std::clamp(size, kMinSize, kMaxSize));
}

ComplexFft::ComplexFft(int size)
{
    const int n = supportedSize(size);
    m_FFTSize = n;
    log2N_ = floorLog2(n);

    revBits_ = log2N_ / 2;
    m_pWorkArea.assign(2 + (1 << revBits_), 0);
    m_pWorkArea[0] = n / 2;
    m_pWorkArea[1] = 1;
    for (int x = 0; x < (1 << revBits_); ++x)
        m_pWorkArea[2 + x] = ReverseBits(x, revBits_);

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
    ForEachReversedPair(log2N_ - 2, [w](int i, int j) {
        if (i != j) {
            std::swap(w[2 * i], w[2 * j]);
            std::swap(w[2 * i + 1], w[2 * j + 1]);
        }
    });
}

// Visits every index i < 2^log2Count together with its bit reversal j, once per pair
// (i <= j), using the reversal table of the work area for the two outer bit groups.
template <class Visit> void ComplexFft::ForEachReversedPair(int log2Count, Visit visit) const
{
    const int h = log2Count / 2;
    const int midBits = log2Count - 2 * h;
    const int highShift = h + midBits;
    const int* reversed = m_pWorkArea.data() + 2;
    const int tableShift = revBits_ - h;
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
template <bool Conjugate> void ComplexFft::Transform(ComplexSample* data)
{
    const int n = m_FFTSize;
    ForEachReversedPair(log2N_, [data](int i, int j) {
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

void ComplexFft::FwdFFT(ComplexSample* data) { Transform<false>(data); }

void ComplexFft::RevFFT(ComplexSample* data) { Transform<true>(data); }
