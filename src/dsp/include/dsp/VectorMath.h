#pragma once

#include "dsp/SampleVector.h"

#include <cstdint>
#include <cstring>

// Elementary functions for the per-sample work of the demodulator: the meters'
// logarithms, the AGC's gain, the discriminators' angles. The block forms run
// four lanes at a time where the machine has AVX2 and two elsewhere; the scalar
// form serves loops that cannot wait for a block.
// Over the ranges given every result lies within a few units in the last place
// of the standard library's; other inputs are handed to the standard library.
// Every block form allows out to be one of its inputs.

// out[k] = log10(in[k]).
void Log10Block(int n, const double* in, double* out);

// out[k] = exp(in[k]); |in[k]| < 708 uses the fast path.
void ExpBlock(int n, const double* in, double* out);

// out[k] = atan2(y[k], x[k]), in [-pi, pi]; (0, 0) gives 0.
void Atan2Block(int n, const double* y, const double* x, double* out);

// out[k] = atan2(in[k].im, in[k].re), the phase of sample k of re + j*im.
void PhaseBlock(int n, const ComplexSample* in, double* out);

// s[k] = sin(x[k]), c[k] = cos(x[k]); |x[k]| < 1e6 uses the fast path. Both
// builds round alike (no fused multiply-adds), so the results do not depend
// on the machine.
void SinCosBlock(int n, const double* x, double* s, double* c);

namespace vector_math {

using Double1 = double __attribute__((vector_size(8)));

template <typename V>
struct IntegerLanes;
template <>
struct IntegerLanes<Double1> {
    using Type = std::int64_t __attribute__((vector_size(8)));
};
template <>
struct IntegerLanes<Double2> {
    using Type = std::int64_t __attribute__((vector_size(16)));
};
template <>
struct IntegerLanes<Double4> {
    using Type = std::int64_t __attribute__((vector_size(32)));
};

template <typename To, typename From>
[[gnu::always_inline]] inline To BitsAs(const From& from)
{
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

// 1.5 * 2^52: a double of this size holds an integer below 2^51 in the low
// bits of its mantissa, so adding it rounds to an integer and its bits convert
// between integer and double lanes, which the vector units cannot do directly.
constexpr double kRoundToInteger = 6755399441055744.0;
constexpr std::int64_t kRoundToIntegerBits = 0x4338000000000000LL;

// Integer lanes below 2^51 in size as doubles.
template <typename V, typename I>
[[gnu::always_inline]] inline V IntegersAsDoubles(I n)
{
    return BitsAs<V>(n + kRoundToIntegerBits) - kRoundToInteger;
}

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kTanEighthPi = 0.41421356237309503;

// atan(t) for |t| <= tan(pi/8): t + t^3 P(t^2), P fitted to within 3e-16 of atan.
template <typename V>
[[gnu::always_inline]] inline V AtanNear0(V t)
{
    const V u = t * t;
    V p = u * -0.024714812526962841 + 0.049766413847734552;
    p = p * u - 0.064898626194836592;
    p = p * u + 0.076706047751412404;
    p = p * u - 0.090892170967694377;
    p = p * u + 0.11111029069853322;
    p = p * u - 0.14285711954141991;
    p = p * u + 0.19999999965814677;
    p = p * u - 0.33333333333145215;
    return t + t * u * p;
}

// atan2 for finite lanes.
template <typename V>
[[gnu::always_inline]] inline V Atan2Lanes(V y, V x)
{
    using I = typename IntegerLanes<V>::Type;
    const V ax = x < 0.0 ? -x : x;
    const V ay = y < 0.0 ? -y : y;
    const I steep = ay > ax;
    const V larger = steep ? ay : ax;
    const V smaller = steep ? ax : ay;
    const I bothZero = larger == 0.0;
    // Above tan(pi/8), atan(a) = pi/4 + atan((a - 1) / (a + 1)), and with a =
    // smaller / larger that argument is (smaller - larger) / (smaller + larger):
    // one division either way.
    const I upper = smaller > kTanEighthPi * larger;
    const V numerator = upper ? smaller - larger : smaller;
    const V denominator = upper ? smaller + larger : (bothZero ? larger + 1.0 : larger);
    const V t = numerator / denominator;
    V angle = AtanNear0(t) + (upper ? V{} + kQuarterPi : V{});
    angle = steep ? kHalfPi - angle : angle;
    angle = x < 0.0 ? kPi - angle : angle;
    const I negative = BitsAs<I>(y) < 0;
    return negative ? -angle : angle;
}

// log10 of positive normal lanes: x = 2^e m with m in [sqrt(1/2), sqrt(2)),
// ln m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| < 0.172.
template <typename V>
[[gnu::always_inline]] inline V Log10Lanes(V x)
{
    using I = typename IntegerLanes<V>::Type;
    const I bits = BitsAs<I>(x);
    I exponent = (bits >> 52) - 1023;
    V m = BitsAs<V>((bits & 0x000FFFFFFFFFFFFFLL) | 0x3FF0000000000000LL);
    const I high = m > 1.4142135623730951;
    m = high ? m * 0.5 : m;
    exponent -= high;
    const V s = (m - 1.0) / (m + 1.0);
    const V s2 = s * s;
    V p = s2 * (1.0 / 19.0) + 1.0 / 17.0;
    p = p * s2 + 1.0 / 15.0;
    p = p * s2 + 1.0 / 13.0;
    p = p * s2 + 1.0 / 11.0;
    p = p * s2 + 1.0 / 9.0;
    p = p * s2 + 1.0 / 7.0;
    p = p * s2 + 1.0 / 5.0;
    p = p * s2 + 1.0 / 3.0;
    const V lnM = 2.0 * s + 2.0 * s * s2 * p;
    const V e = IntegersAsDoubles<V>(exponent);
    // ln 2 in two parts, the first exact in e times it for any exponent.
    const V ln = e * 0.693147180369123816490 + (lnM + e * 1.90821492927058770002e-10);
    return ln * 0.43429448190325182765;
}

// exp for |x| < 708: x = k ln 2 + r with |r| <= ln 2 / 2, exp(r) by its series.
template <typename V>
[[gnu::always_inline]] inline V ExpLanes(V x)
{
    using I = typename IntegerLanes<V>::Type;
    // Lanes outside the range are the caller's to mend; kept finite here, their
    // exponent still makes a scale.
    x = x > 708.0 ? V{} + 708.0 : x;
    x = x > -708.0 ? x : V{} - 708.0;
    const V rounded = x * 1.4426950408889634 + kRoundToInteger;
    const V k = rounded - kRoundToInteger;
    const V r = (x - k * 0.693147180369123816490) - k * 1.90821492927058770002e-10;
    V p = r * (1.0 / 479001600.0) + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    p = p * r + 1.0;
    const I scale = (BitsAs<I>(rounded) - kRoundToIntegerBits + 1023) << 52;
    return p * BitsAs<V>(scale);
}

} // namespace vector_math

