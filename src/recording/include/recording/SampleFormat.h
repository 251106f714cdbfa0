#pragma once

#include "common/ComplexSample.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// How one complex sample is stored in a recording's data: the encoding of
// each value and the distance between consecutive samples. The first value of
// a sample is I, the second Q; further channels are skipped. A one-channel
// file holds I and Q as consecutive values.
class SampleFormat {
public:
    enum class Encoding {
        UInt8,   // unsigned, 128 is zero
        Int8,    // signed
        Int16,   // signed little-endian
        Int16BigEndian,
        Int24,   // signed little-endian, three bytes
        Int32,   // signed little-endian
        Float32, // IEEE 754 single, full scale +-1.0
    };

    SampleFormat() = default;
    SampleFormat(Encoding encoding, uint32_t channels);

    // The format a WAVE format chunk declares: tag 1 (integer PCM of 8, 16,
    // 24 or 32 bits), tag 3 (32-bit float), or tag 0xFFFE with subFormatTag
    // 1 or 3. Anything else, or 0 or more than 16 channels, gives nullopt.
    static std::optional<SampleFormat> fromWave(uint16_t formatTag, uint16_t channels,
                                                uint16_t bitsPerSample, uint16_t subFormatTag);

    Encoding encoding() const { return encoding_; }
    // Bytes from the start of one complex sample to the start of the next, 2 to 64.
    uint32_t bytesPerSample() const { return stride_; }

    // Converts `count` complex samples starting at `in` (count x bytesPerSample()
    // bytes) into `out`, in 16-bit units: full scale about +-32768 whatever the
    // encoding. Non-finite floats become 0.
    void convert(const uint8_t* in, int64_t count, ComplexSample* out) const;

private:
    Encoding encoding_ = Encoding::Int16;
    uint32_t stride_ = 4;
};
