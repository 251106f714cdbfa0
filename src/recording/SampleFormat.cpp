#include "recording/SampleFormat.h"

#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kMaxChannels = 16;

uint32_t bytesPerValue(SampleFormat::Encoding encoding)
{
    switch (encoding) {
    case SampleFormat::Encoding::UInt8:
    case SampleFormat::Encoding::Int8: return 1;
    case SampleFormat::Encoding::Int16:
    case SampleFormat::Encoding::Int16BigEndian: return 2;
    case SampleFormat::Encoding::Int24: return 3;
    case SampleFormat::Encoding::Int32:
    case SampleFormat::Encoding::Float32: return 4;
    }
    return 2;
}

struct UInt8Value {
    static double read(const uint8_t* p) { return (static_cast<int>(p[0]) - 128) * 256.0; }
};
struct Int8Value {
    static double read(const uint8_t* p) { return static_cast<int8_t>(p[0]) * 256.0; }
};
struct Int16BigEndianValue {
    static double read(const uint8_t* p) { return static_cast<int16_t>(p[0] << 8 | p[1]); }
};
struct Int16Value {
    static double read(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
};
struct Int24Value {
    static double read(const uint8_t* p)
    {
        const int32_t raw = p[0] | p[1] << 8 | p[2] << 16;
        return ((raw ^ 0x800000) - 0x800000) * (1.0 / 256.0);
    }
};
struct Int32Value {
    static double read(const uint8_t* p)
    {
        const uint32_t raw = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                             static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        return static_cast<int32_t>(raw) * (1.0 / 65536.0);
    }
};
struct Float32Value {
    static double read(const uint8_t* p)
    {
        const uint32_t raw = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                             static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return std::isfinite(value) ? value * 32768.0 : 0.0;
    }
};

// Stride and value width are template arguments where the layout is the plain
// interleaved pair, so the compiler can unroll and vectorise the common case.
template <typename Value, uint32_t ValueBytes>
void convertPairs(const uint8_t* in, int64_t count, ComplexSample* out)
{
    for (int64_t k = 0; k < count; ++k) {
        const uint8_t* p = in + k * (2 * ValueBytes);
        out[k].im = Value::read(p);
        out[k].re = Value::read(p + ValueBytes);
    }
}

// The commonest layout, 16-bit little-endian pairs, two samples at a time: four
// values widened together come out in the {im, re} order of the samples.
template <>
void convertPairs<Int16Value, 2>(const uint8_t* in, int64_t count, ComplexSample* out)
{
    int64_t k = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        for (; k + 2 <= count; k += 2) {
            const __m128i values = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 4 * k));
            const __m128i widened = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
            _mm_storeu_pd(&out[k].im, _mm_cvtepi32_pd(widened));
            _mm_storeu_pd(&out[k + 1].im, _mm_cvtepi32_pd(_mm_shuffle_epi32(widened, 0xEE)));
        }
    }
#endif
    for (; k < count; ++k) {
        out[k].im = Int16Value::read(in + 4 * k);
        out[k].re = Int16Value::read(in + 4 * k + 2);
    }
}

template <typename Value, uint32_t ValueBytes>
void convertStrided(const uint8_t* in, int64_t count, uint32_t stride, ComplexSample* out)
{
    if (stride == 2 * ValueBytes) {
        convertPairs<Value, ValueBytes>(in, count, out);
        return;
    }
    for (int64_t k = 0; k < count; ++k) {
        const uint8_t* p = in + k * stride;
        out[k].im = Value::read(p);
        out[k].re = Value::read(p + ValueBytes);
    }
}

} // namespace

SampleFormat::SampleFormat(Encoding encoding, uint32_t channels)
    : encoding_(encoding), stride_(bytesPerValue(encoding) * (channels < 2 ? 2 : channels))
{
}

std::optional<SampleFormat> SampleFormat::fromWave(uint16_t formatTag, uint16_t channels,
                                                   uint16_t bitsPerSample, uint16_t subFormatTag)
{
    constexpr uint16_t kPcm = 1, kFloat = 3, kExtensible = 0xFFFE;
    if (channels == 0 || channels > kMaxChannels)
        return std::nullopt;
    const uint16_t tag = formatTag == kExtensible ? subFormatTag : formatTag;
    if (tag == kFloat && bitsPerSample == 32)
        return SampleFormat(Encoding::Float32, channels);
    if (tag != kPcm)
        return std::nullopt;
    switch (bitsPerSample) {
    case 8: return SampleFormat(Encoding::UInt8, channels);
    case 16: return SampleFormat(Encoding::Int16, channels);
    case 24: return SampleFormat(Encoding::Int24, channels);
    case 32: return SampleFormat(Encoding::Int32, channels);
    default: return std::nullopt;
    }
}

void SampleFormat::convert(const uint8_t* in, int64_t count, ComplexSample* out) const
{
    switch (encoding_) {
    case Encoding::UInt8: convertStrided<UInt8Value, 1>(in, count, stride_, out); break;
    case Encoding::Int8: convertStrided<Int8Value, 1>(in, count, stride_, out); break;
    case Encoding::Int16: convertStrided<Int16Value, 2>(in, count, stride_, out); break;
    case Encoding::Int16BigEndian: convertStrided<Int16BigEndianValue, 2>(in, count, stride_, out); break;
    case Encoding::Int24: convertStrided<Int24Value, 3>(in, count, stride_, out); break;
    case Encoding::Int32: convertStrided<Int32Value, 4>(in, count, stride_, out); break;
    case Encoding::Float32: convertStrided<Float32Value, 4>(in, count, stride_, out); break;
    }
}
