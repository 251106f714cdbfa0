// Every function passing vectors by value is inlined into one build or the
// other, so no call ever crosses the two ABIs the warning is about.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "dsp/VectorMath.h"

#include <cfloat>
#include <cmath>

namespace {

using vector_math::Double1;

constexpr double kExpFastLimit = 708.0;

template <typename V>
constexpr int kWidth = sizeof(V) / sizeof(double);

template <typename V>
[[gnu::always_inline]] inline V Load(const double* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
[[gnu::always_inline]] inline void Store(double* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

// Whether any lane of a comparison's result is false, with one lane read.
template <typename M>
[[gnu::always_inline]] inline bool AnyLaneFalse(M fast)
{
    M all = fast;
    if constexpr (sizeof(M) == 32) {
        all &= __builtin_shufflevector(all, all, 2, 3, 0, 1);
        all &= __builtin_shufflevector(all, all, 1, 0, 3, 2);
    } else if constexpr (sizeof(M) == 16) {
        all &= __builtin_shufflevector(all, all, 1, 0);
    }
    return all[0] == 0;
}

// Lanes outside the fast range (rare: exact silence, overflow, NaN) are redone by
// the standard library.
template <typename V>
[[gnu::always_inline]] inline V Log10Checked(V x)
{
    V y = vector_math::Log10Lanes(x);
    const auto fast = x >= DBL_MIN && x <= DBL_MAX;
    if (AnyLaneFalse(fast)) {
        for (int lane = 0; lane < kWidth<V>; ++lane)
            if (!fast[lane])
                y[lane] = std::log10(x[lane]);
    }
    return y;
}

template <typename V>
[[gnu::always_inline]] inline V ExpChecked(V x)
{
    V y = vector_math::ExpLanes(x);
    const auto fast = x > -kExpFastLimit && x < kExpFastLimit;
    if (AnyLaneFalse(fast)) {
        for (int lane = 0; lane < kWidth<V>; ++lane)
            if (!fast[lane])
                y[lane] = std::exp(x[lane]);
    }
    return y;
}


template <typename V>
[[gnu::always_inline]] inline V Atan2Checked(V y, V x)
{
    V angle = vector_math::Atan2Lanes(y, x);
    const auto fast = (y - y == 0.0) && (x - x == 0.0); // both finite
    if (AnyLaneFalse(fast)) {
        for (int lane = 0; lane < kWidth<V>; ++lane)
            if (!fast[lane])
                angle[lane] = std::atan2(y[lane], x[lane]);
    }
    return angle;
}

template <typename V>
[[gnu::always_inline]] inline void Log10Loop(int n, const double* in, double* out)
{
    int k = 0;
    for (; k + kWidth<V> <= n; k += kWidth<V>)
        Store(out + k, Log10Checked(Load<V>(in + k)));
    for (; k < n; ++k)
        out[k] = Log10Checked(Double1{in[k]})[0];
}

template <typename V>
[[gnu::always_inline]] inline void ExpLoop(int n, const double* in, double* out)
{
    int k = 0;
    for (; k + kWidth<V> <= n; k += kWidth<V>)
        Store(out + k, ExpChecked(Load<V>(in + k)));
    for (; k < n; ++k)
        out[k] = ExpChecked(Double1{in[k]})[0];
}

template <typename V>
[[gnu::always_inline]] inline void Atan2Loop(int n, const double* y, const double* x, double* out)
{
    int k = 0;
    for (; k + kWidth<V> <= n; k += kWidth<V>)
        Store(out + k, Atan2Checked(Load<V>(y + k), Load<V>(x + k)));
    for (; k < n; ++k)
        out[k] = Atan2Checked(Double1{y[k]}, Double1{x[k]})[0];
}

template <typename V>
[[gnu::always_inline]] inline void PhaseLoop(int n, const ComplexSample* in, double* out)
{
    constexpr int width = kWidth<V>;
    int k = 0;
    for (; k + width <= n; k += width) {
        // The samples' {im, re} pairs, split into a vector of each.
        V first;
        V second;
        std::memcpy(&first, in + k, sizeof first);
        std::memcpy(&second, reinterpret_cast<const double*>(in + k) + width, sizeof second);
        V im;
        V re;
        if constexpr (width == 4) {
            im = __builtin_shufflevector(first, second, 0, 2, 4, 6);
            re = __builtin_shufflevector(first, second, 1, 3, 5, 7);
        } else {
            im = __builtin_shufflevector(first, second, 0, 2);
            re = __builtin_shufflevector(first, second, 1, 3);
        }
        Store(out + k, Atan2Checked(im, re));
    }
    for (; k < n; ++k)
        out[k] = Atan2Checked(Double1{in[k].im}, Double1{in[k].re})[0];
}

// sin and cos of lanes with |x| < 1e6: x = q pi/2 + r with |r| <= pi/4, both by
// their series in r, then placed by the quadrant q mod 4.
template <typename V>
[[gnu::always_inline]] inline void SinCosLanes(V x, V& s, V& c)
{
    using I = typename vector_math::IntegerLanes<V>::Type;
    const V rounded = x * 0.6366197723675814 + vector_math::kRoundToInteger;
    const V q = rounded - vector_math::kRoundToInteger;
    // pi/2 in two parts, the first exact in q times it while |q| < 2^20.
    const V r = (x - q * 1.5707963267341256) - q * 6.0771005065061922e-11;
    const V r2 = r * r;
    V sp = r2 * (1.0 / 1307674368000.0) - 1.0 / 6227020800.0;
    sp = sp * r2 + 1.0 / 39916800.0;
    sp = sp * r2 - 1.0 / 362880.0;
    sp = sp * r2 + 1.0 / 5040.0;
    sp = sp * r2 - 1.0 / 120.0;
    sp = sp * r2 + 1.0 / 6.0;
    const V sinR = r - r * r2 * sp;
    V cp = r2 * (1.0 / 20922789888000.0) - 1.0 / 87178291200.0;
    cp = cp * r2 + 1.0 / 479001600.0;
    cp = cp * r2 - 1.0 / 3628800.0;
    cp = cp * r2 + 1.0 / 40320.0;
    cp = cp * r2 - 1.0 / 720.0;
    cp = cp * r2 + 1.0 / 24.0;
    const V cosR = 1.0 - 0.5 * r2 + r2 * r2 * cp;
    const I quadrant = vector_math::BitsAs<I>(rounded) - vector_math::kRoundToIntegerBits;
    const I odd = (quadrant & 1) != 0;
    const V sinQ = odd ? cosR : sinR;
    const V cosQ = odd ? sinR : cosR;
    s = (quadrant & 2) != 0 ? -sinQ : sinQ;
    c = ((quadrant + 1) & 2) != 0 ? -cosQ : cosQ;
}

template <typename V>
[[gnu::always_inline]] inline void SinCosChecked(V x, V& s, V& c)
{
    SinCosLanes(x, s, c);
    const auto fast = x > -1e6 && x < 1e6;
    if (AnyLaneFalse(fast)) {
        for (int lane = 0; lane < kWidth<V>; ++lane) {
            if (!fast[lane]) {
                s[lane] = std::sin(x[lane]);
                c[lane] = std::cos(x[lane]);
            }
        }
    }
}

template <typename V>
[[gnu::always_inline]] inline void SinCosLoop(int n, const double* x, double* s, double* c)
{
    int k = 0;
    for (; k + kWidth<V> <= n; k += kWidth<V>) {
        V sv, cv;
        SinCosChecked(Load<V>(x + k), sv, cv);
        Store(s + k, sv);
        Store(c + k, cv);
    }
    for (; k < n; ++k) {
        Double1 sv, cv;
        SinCosChecked(Double1{x[k]}, sv, cv);
        s[k] = sv[0];
        c[k] = cv[0];
    }
}

KORVEL_WIDE_EXACT_TARGET void SinCosWide(int n, const double* x, double* s, double* c)
{
    SinCosLoop<Double4>(n, x, s, c);
}

KORVEL_WIDE_TARGET void Log10Wide(int n, const double* in, double* out) { Log10Loop<Double4>(n, in, out); }
KORVEL_WIDE_TARGET void ExpWide(int n, const double* in, double* out) { ExpLoop<Double4>(n, in, out); }
KORVEL_WIDE_TARGET void Atan2Wide(int n, const double* y, const double* x, double* out)
{
    Atan2Loop<Double4>(n, y, x, out);
}

KORVEL_WIDE_TARGET void PhaseWide(int n, const ComplexSample* in, double* out) { PhaseLoop<Double4>(n, in, out); }

} // namespace

void Log10Block(int n, const double* in, double* out)
{
    if (WideVectorsAvailable())
        Log10Wide(n, in, out);
    else
        Log10Loop<Double2>(n, in, out);
}

void ExpBlock(int n, const double* in, double* out)
{
    if (WideVectorsAvailable())
        ExpWide(n, in, out);
    else
        ExpLoop<Double2>(n, in, out);
}

void Atan2Block(int n, const double* y, const double* x, double* out)
{
    if (WideVectorsAvailable())
        Atan2Wide(n, y, x, out);
    else
        Atan2Loop<Double2>(n, y, x, out);
}

void PhaseBlock(int n, const ComplexSample* in, double* out)
{
    if (WideVectorsAvailable())
        PhaseWide(n, in, out);
    else
        PhaseLoop<Double2>(n, in, out);
}

void SinCosBlock(int n, const double* x, double* s, double* c)
{
    if (WideVectorsAvailable())
        SinCosWide(n, x, s, c);
    else
        SinCosLoop<Double2>(n, x, s, c);
}
