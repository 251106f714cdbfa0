#include "dsp/FloatLog10.h"

#include "dsp/SampleVector.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int32_t __attribute__((vector_size(16)));
using Float8 = float __attribute__((vector_size(32)));
using Int8 = int32_t __attribute__((vector_size(32)));

template <int Lanes>
struct LogVector {
    using Float = Float4;
    using Int = Int4;
};

template <>
struct LogVector<8> {
    using Float = Float8;
    using Int = Int8;
};

// Whether any lane is set, the halves folded onto each other.
__attribute__((always_inline)) inline bool AnyLane(const Int4& lanes)
{
    Int4 v = lanes;
    v |= __builtin_shufflevector(v, v, 2, 3, 0, 1);
    v |= __builtin_shufflevector(v, v, 1, 0, 3, 2);
    return v[0] != 0;
}

__attribute__((always_inline)) inline bool AnyLane(const Int8& lanes)
{
    Int8 v = lanes;
    v |= __builtin_shufflevector(v, v, 4, 5, 6, 7, 0, 1, 2, 3);
    v |= __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5);
    v |= __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
    return v[0] != 0;
}

// log10 of `Lanes` values at once. For a positive normal x = m * 2^k with m in
// [sqrt(1/2), sqrt(2)), log(m) = f - f^2/2 + f^3 P(f), f = m - 1 (a minimax
// polynomial of degree 8), and log10(x) = k log10(2) + log(m) log10(e), each
// constant split in a short exact head and a tail so that the sum keeps the
// precision of the small terms. Other lanes are mended with std::log10.
template <int Lanes>
__attribute__((always_inline)) inline void Log10Lanes(const float* in, float* out, float offset)
{
    using Float = typename LogVector<Lanes>::Float;
    using Int = typename LogVector<Lanes>::Int;
    Float x;
    std::memcpy(&x, in, sizeof x);
    Int bits;
    std::memcpy(&bits, &x, sizeof bits);
    // Counting the exponent from the bits of sqrt(1/2) instead of 1 puts m in
    // [sqrt(1/2), sqrt(2)), where the polynomial is most accurate.
    // The sign bit is dropped first: negative lanes are mended below anyway,
    // and their bits would overflow the subtraction.
    constexpr int32_t kSqrtHalfBits = 0x3f3504f3;
    const Int magnitudeBits = bits & 0x7fffffff;
    const Int fromSqrtHalf = magnitudeBits - kSqrtHalfBits;
    const Int exponent = fromSqrtHalf >> 23;
    const Int mantissaBits = magnitudeBits - (exponent << 23);
    Float m;
    std::memcpy(&m, &mantissaBits, sizeof m);
    const Float f = m - 1.0f;
    const Float k = __builtin_convertvector(exponent, Float);

    const Float f2 = f * f;
    Float p = 7.0376836292e-2f * f - 1.1514610310e-1f;
    p = p * f + 1.1676998740e-1f;
    p = p * f - 1.2420140846e-1f;
    p = p * f + 1.4249322787e-1f;
    p = p * f - 1.6668057665e-1f;
    p = p * f + 2.0000714765e-1f;
    p = p * f - 2.4999993993e-1f;
    p = p * f + 3.3333331174e-1f;
    const Float tail = f * f2 * p - 0.5f * f2; // log(m) = f + tail

    constexpr float kLog10EHead = 4.3359375e-1f;
    constexpr float kLog10ETail = 7.00731903251827651129e-4f;
    constexpr float kLog10TwoHead = 3.0078125e-1f;
    constexpr float kLog10TwoTail = 2.48745663981195213739e-4f;
    Float y = tail * kLog10ETail;
    y += f * kLog10ETail;
    y += k * kLog10TwoTail;
    y += tail * kLog10EHead;
    y += f * kLog10EHead;
    y += k * kLog10TwoHead;

    const Int normal = (x >= FLT_MIN) & (x <= FLT_MAX);
    if (AnyLane(~normal)) {
        for (int l = 0; l < Lanes; ++l)
            if (!normal[l])
                y[l] = std::log10(x[l]);
    }
    y += offset;
    std::memcpy(out, &y, sizeof y);
}

template <int Lanes>
__attribute__((always_inline)) inline int Log10Block(int count, const float* in, float* out, float offset)
{
    int i = 0;
    for (; i + Lanes <= count; i += Lanes)
        Log10Lanes<Lanes>(in + i, out + i, offset);
    if (i < count) {
        // The rest through the same code, so that a value's result does not depend on its place.
        float rest[Lanes];
        for (int l = 0; l < Lanes; ++l)
            rest[l] = i + l < count ? in[i + l] : 1.0f;
        Log10Lanes<Lanes>(rest, rest, offset);
        std::memcpy(out + i, rest, static_cast<size_t>(count - i) * sizeof(float));
    }
    return count;
}

KORVEL_WIDE_TARGET int Log10BlockWide(int count, const float* in, float* out, float offset)
{
    return Log10Block<8>(count, in, out, offset);
}

} // namespace

int FloatLog10::process(int count, const float* in, float* out, float offset)
{
    if (count <= 0)
        return 0;
    return WideVectorsAvailable() ? Log10BlockWide(count, in, out, offset) : Log10Block<4>(count, in, out, offset);
}

float FloatLog10::of(float value, float offset)
{
    float level;
    process(1, &value, &level, offset);
    return level;
}
