#pragma once

// Builds recording files byte for byte, in every layout and sample width the
// recording model reads, for tests, fuzz seeds and benchmarks. Header-only and
// free of any test framework.

#include "common/ComplexSample.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fixtures {

enum class Encoding { UInt8, Int16, Int24, Int32, Float32 };

struct WaveFormat {
    Encoding encoding = Encoding::Int16;
    uint16_t channels = 2;
    uint32_t sampleRate = 48000;
    bool extensible = false; // tag 0xFFFE with the tag below as its sub-format

    uint16_t bitsPerValue() const
    {
        switch (encoding) {
        case Encoding::UInt8: return 8;
        case Encoding::Int16: return 16;
        case Encoding::Int24: return 24;
        default: return 32;
        }
    }
    uint16_t plainTag() const { return encoding == Encoding::Float32 ? 3 : 1; }
    uint32_t bytesPerFrame() const { return channels * bitsPerValue() / 8; }
};

// Little-endian byte assembly.
class Bytes {
public:
    std::vector<uint8_t> v;

    Bytes& u8(uint8_t x) { v.push_back(x); return *this; }
    Bytes& u16(uint16_t x) { return u8(x & 0xFF).u8(x >> 8); }
    Bytes& i16(int16_t x) { return u16(static_cast<uint16_t>(x)); }
    Bytes& u24(uint32_t x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF).u8((x >> 16) & 0xFF); }
    Bytes& u32(uint32_t x) { return u16(x & 0xFFFF).u16(x >> 16); }
    Bytes& i32(int32_t x) { return u32(static_cast<uint32_t>(x)); }
    // Byte by byte: GCC 12 takes a range insert into an empty vector for an
    // overflow (-Wstringop-overflow).
    Bytes& id(const char* fourChars)
    {
        for (int i = 0; i < 4; ++i)
            u8(static_cast<uint8_t>(fourChars[i]));
        return *this;
    }
    Bytes& zeros(size_t n) { v.insert(v.end(), n, 0); return *this; }
    Bytes& append(const std::vector<uint8_t>& more) { v.insert(v.end(), more.begin(), more.end()); return *this; }
    // UTF-16LE text with a terminating zero unit.
    Bytes& utf16(const std::string& text)
    {
        for (char c : text)
            u16(static_cast<uint8_t>(c));
        return u16(0);
    }
    size_t size() const { return v.size(); }
};

inline void patchU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}
inline void patchU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value)
{
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

// The test signal: small integers, different for I and Q and from one index
// to the next, so that a swap, an offset or a wrong stride shows.
inline int32_t signalI(int64_t k) { return static_cast<int32_t>((k * 37 + 11) % 251) - 125; }
inline int32_t signalQ(int64_t k) { return static_cast<int32_t>((k * 53 + 97) % 241) - 120; }

// How the small integer `s` is stored in each encoding.
inline void appendValue(Bytes& out, Encoding e, int32_t s)
{
    switch (e) {
    case Encoding::UInt8: out.u8(static_cast<uint8_t>(s + 128)); break;
    case Encoding::Int16: out.i16(static_cast<int16_t>(s * 251)); break;
    case Encoding::Int24: out.u24(static_cast<uint32_t>(s * 65521 + 7) & 0xFFFFFF); break;
    case Encoding::Int32: out.i32(s * 16777213 + 5); break;
    case Encoding::Float32: {
        const float f = static_cast<float>(s) / 128.0f;
        uint32_t raw;
        std::memcpy(&raw, &f, 4);
        out.u32(raw);
        break;
    }
    }
}

// The value in 16-bit units that the stored `s` must read as.
inline double expectedValue(Encoding e, int32_t s)
{
    switch (e) {
    case Encoding::UInt8: return s * 256.0;
    case Encoding::Int16: return s * 251.0;
    case Encoding::Int24: return (s * 65521.0 + 7.0) / 256.0;
    case Encoding::Int32: return (s * 16777213.0 + 5.0) / 65536.0;
    case Encoding::Float32: return static_cast<double>(static_cast<float>(s) / 128.0f) * 32768.0;
    }
    return 0.0;
}

inline ComplexSample expectedSample(Encoding e, int64_t k)
{
    return ComplexSample{expectedValue(e, signalI(k)), expectedValue(e, signalQ(k))};
}

// `frames` samples of the test signal; channels beyond the second hold a
// value that must never be read.
inline std::vector<uint8_t> iqPayload(const WaveFormat& f, int64_t frames)
{
    Bytes out;
    out.v.reserve(static_cast<size_t>(frames) * f.bytesPerFrame());
    for (int64_t k = 0; k < frames; ++k) {
        appendValue(out, f.encoding, signalI(k));
        if (f.channels >= 2)
            appendValue(out, f.encoding, signalQ(k));
        for (int c = 2; c < f.channels; ++c)
            appendValue(out, f.encoding, 127);
        if (f.channels == 1)
            appendValue(out, f.encoding, signalQ(k));
    }
    return out.v;
}

// A "fmt " chunk payload of `length` bytes (16, 18, or 40 for the extensible form).
inline Bytes fmtPayload(const WaveFormat& f, uint16_t length)
{
    Bytes p;
    p.u16(f.extensible ? 0xFFFE : f.plainTag()).u16(f.channels).u32(f.sampleRate);
    p.u32(f.sampleRate * f.bytesPerFrame()).u16(static_cast<uint16_t>(f.bytesPerFrame())).u16(f.bitsPerValue());
    if (f.extensible) {
        // cbSize, valid bits, channel mask, then the sub-format GUID led by the tag.
        p.u16(22).u16(f.bitsPerValue()).u32(3).u16(f.plainTag()).zeros(14);
    }
    while (p.size() < length)
        p.u8(0);
    return p;
}

// A recording file and where its samples begin.
struct Recording {
    std::vector<uint8_t> bytes;
    uint64_t dataOffset = 0;
};

// RIFF/WAVE file of the given chunks (id, payload), with a correct RIFF length
// and a "data" chunk of `samples` last.
inline Recording riffFile(const std::vector<std::pair<std::string, Bytes>>& chunks,
                          const std::vector<uint8_t>& samples)
{
    Bytes out;
    out.id("RIFF").u32(0).id("WAVE");
    for (const auto& [id, payload] : chunks) {
        out.id(id.c_str()).u32(static_cast<uint32_t>(payload.size())).append(payload.v);
    }
    out.id("data").u32(static_cast<uint32_t>(samples.size()));
    Recording r;
    r.dataOffset = out.size();
    out.append(samples);
    patchU32(out.v, 4, static_cast<uint32_t>(out.size() - 8));
    r.bytes = std::move(out.v);
    return r;
}

// A KiwiSDR-style file: "fmt ", then for every `chunkBytes` of samples a
// 10-byte "kiwi" chunk and a "data" chunk (the last one shorter). chunkBytes
// need not be a whole number of samples: then samples straddle two chunks.
inline Recording kiwiFile(const WaveFormat& f, int64_t frames, uint32_t chunkBytes)
{
    const std::vector<uint8_t> samples = iqPayload(f, frames);
    Bytes out;
    out.id("RIFF").u32(0).id("WAVE");
    const Bytes fmt = fmtPayload(f, 16);
    out.id("fmt ").u32(static_cast<uint32_t>(fmt.size())).append(fmt.v);
    Recording r;
    for (size_t at = 0; at < samples.size(); at += chunkBytes) {
        const size_t n = std::min<size_t>(chunkBytes, samples.size() - at);
        out.id("kiwi").u32(10).u8(0).u32(static_cast<uint32_t>(at)).zeros(5);
        out.id("data").u32(static_cast<uint32_t>(n));
        if (at == 0)
            r.dataOffset = out.size();
        out.v.insert(out.v.end(), samples.begin() + static_cast<std::ptrdiff_t>(at),
                     samples.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (n & 1)
            out.u8(0);
    }
    patchU32(out.v, 4, static_cast<uint32_t>(out.size() - 8));
    r.bytes = std::move(out.v);
    return r;
}

struct SystemTime {
    int16_t year = 2024, month = 3, dayOfWeek = 0, day = 9, hour = 12, minute = 34, second = 56, milliseconds = 0;
    void appendTo(Bytes& b) const
    {
        b.i16(year).i16(month).i16(dayOfWeek).i16(day).i16(hour).i16(minute).i16(second).i16(milliseconds);
    }
};

// SdrRadio: an 18-byte format chunk, an "auxi" chunk whose UTF-16 text starts
// 6 bytes into it, then "data".
inline Recording sdrRadio(const WaveFormat& f, int64_t frames, const std::string& auxiText)
{
    Bytes auxi;
    auxi.zeros(6).utf16(auxiText);
    return riffFile({{"fmt ", fmtPayload(f, 18)}, {"auxi", auxi}}, iqPayload(f, frames));
}

inline std::string sdrRadioText(int64_t bits, int64_t sampleRate, int64_t centerFreq, int64_t utcSeconds)
{
    return "<SDR BitsPerSample=\"" + std::to_string(bits) + "\" BytesPerSecond=\"" +
           std::to_string(sampleRate * bits / 4) + "\" RadioCenterFreq=\"" + std::to_string(centerFreq) +
           "\" SampleRate=\"" + std::to_string(sampleRate) + "\" UTCSeconds=\"" +
           std::to_string(utcSeconds) + "\"/>";
}

// SDRSharp: a plain 44-byte header; the parameters are in the file name.
inline Recording sdrSharp(const WaveFormat& f, int64_t frames)
{
    return riffFile({{"fmt ", fmtPayload(f, f.extensible ? 40 : 16)}}, iqPayload(f, frames));
}

// SdrSdrStudio version 1: a 38-byte "rcvr" or "auxi" chunk; samples at byte 90.
inline Recording sdrSdrStudio1(const WaveFormat& f, int64_t frames, uint32_t centerFreq, int32_t start,
                               const char* chunkId = "rcvr")
{
    Bytes rcvr;
    rcvr.u32(centerFreq).zeros(4).i32(start).zeros(26);
    return riffFile({{"fmt ", fmtPayload(f, 16)}, {chunkId, rcvr}}, iqPayload(f, frames));
}

// SdrSdrStudio version 2: a 164-byte chunk with start and stop times; samples at byte 216.
inline Recording sdrSdrStudio2(const WaveFormat& f, int64_t frames, uint32_t centerFreq,
                               const SystemTime& start, const SystemTime& stop, const char* chunkId = "auxi")
{
    Bytes auxi;
    start.appendTo(auxi);
    stop.appendTo(auxi);
    auxi.u32(centerFreq).zeros(128);
    return riffFile({{"fmt ", fmtPayload(f, 16)}, {chunkId, auxi}}, iqPayload(f, frames));
}

struct PerseusFields {
    uint32_t centerFrequencyHz = 7100000;
    int32_t samplingRateIdx = 0;
    uint32_t timeStart = 1700000000;
    uint16_t attenId = 2;
    int8_t adcPresel = 1, adcPreamp = 0, adcDither = -1;
};

// Perseus: a 34-byte "rcvr" chunk; samples at byte 86.
inline Recording perseus(const WaveFormat& f, int64_t frames, const PerseusFields& p)
{
    Bytes rcvr;
    rcvr.u32(p.centerFrequencyHz).i32(p.samplingRateIdx).u32(p.timeStart).u16(p.attenId);
    rcvr.u8(static_cast<uint8_t>(p.adcPresel)).u8(static_cast<uint8_t>(p.adcPreamp)).u8(static_cast<uint8_t>(p.adcDither));
    rcvr.zeros(34 - rcvr.size());
    return riffFile({{"fmt ", fmtPayload(f, 16)}, {"rcvr", rcvr}}, iqPayload(f, frames));
}

struct SpectraVueFields {
    SystemTime start{2019, 11, 0, 30, 23, 59, 58, 0};
    SystemTime stop{2019, 12, 0, 1, 0, 0, 8, 0};
    uint32_t centerFreq = 1000000, adFrequency = 66666667, ifFrequency = 0, bandwidth = 150000;
};

// SpectraVue: a 66-byte "auxi" chunk, so that the 114-byte header record is
// followed by the "data" length and samples at byte 118.
inline Recording spectraVue(const WaveFormat& f, int64_t frames, const SpectraVueFields& s)
{
    Bytes auxi;
    auxi.i16(0);
    s.start.appendTo(auxi);
    s.stop.appendTo(auxi);
    auxi.u32(s.centerFreq).u32(s.adFrequency).u32(s.ifFrequency).u32(s.bandwidth).u32(0).u32(0).zeros(8);
    return riffFile({{"fmt ", fmtPayload(f, 16)}, {"auxi", auxi}}, iqPayload(f, frames));
}

// A fresh directory under the system temp dir, removed with everything in it.
// Raw 8-bit signed pairs (cs8, SigMF ci8) of the test signal; they read as
// the UInt8 encoding's values.
inline std::vector<uint8_t> int8Payload(int64_t frames)
{
    std::vector<uint8_t> out;
    for (int64_t k = 0; k < frames; ++k) {
        out.push_back(static_cast<uint8_t>(static_cast<int8_t>(signalI(k))));
        out.push_back(static_cast<uint8_t>(static_cast<int8_t>(signalQ(k))));
    }
    return out;
}

// The Int16 test signal with every value's bytes swapped (big-endian); it
// reads as the Int16 encoding's values.
inline std::vector<uint8_t> bigEndian16Payload(int64_t frames)
{
    WaveFormat f;
    std::vector<uint8_t> out = iqPayload(f, frames);
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        std::swap(out[i], out[i + 1]);
    return out;
}

// SigMF metadata text: `rate` and `capture` are JSON as they stand.
inline std::string sigmfMeta(const std::string& datatype, const std::string& rate, const std::string& capture)
{
    return "{\"global\": {\"core:datatype\": \"" + datatype + "\", \"core:sample_rate\": " + rate +
           ", \"core:version\": \"1.0.0\"},\n \"captures\": [" + capture + "],\n \"annotations\": []}\n";
}

// A Sun .au file: big-endian header of 24 bytes plus `gap`, then `payload`.
inline std::vector<uint8_t> auFile(uint32_t encoding, uint32_t channels, uint32_t rate,
                                   const std::vector<uint8_t>& payload, uint32_t gap = 8)
{
    std::vector<uint8_t> out = {'.', 's', 'n', 'd'};
    const auto be32 = [&out](uint32_t x) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<uint8_t>(x >> shift));
    };
    be32(24 + gap);
    be32(static_cast<uint32_t>(payload.size()));
    be32(encoding);
    be32(rate);
    be32(channels);
    out.insert(out.end(), gap, 0);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// An RF64 WAVE file: "ds64" (with the data length), "fmt ", "data" of
// length 0xFFFFFFFF, then a trailing "LIST" chunk that is not samples.
inline Recording rf64File(const WaveFormat& f, int64_t frames)
{
    const std::vector<uint8_t> samples = iqPayload(f, frames);
    Bytes out;
    out.id("RF64").u32(0xFFFFFFFF).id("WAVE");
    out.id("ds64").u32(28).u32(0).u32(0).u32(static_cast<uint32_t>(samples.size())).u32(0);
    out.u32(static_cast<uint32_t>(frames)).u32(0).u32(0);
    const Bytes fmt = fmtPayload(f, 16);
    out.id("fmt ").u32(16).append(fmt.v);
    out.id("data").u32(0xFFFFFFFF);
    Recording r;
    r.dataOffset = out.size();
    out.append(samples);
    out.id("LIST").u32(4).id("INFO");
    patchU32(out.v, 20, static_cast<uint32_t>(out.size() - 8));
    r.bytes = std::move(out.v);
    return r;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvel-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to `name` in this directory and returns the full path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        const std::string full = path + "/" + name;
        writeTo(full, bytes);
        return full;
    }

    static void writeTo(const std::string& fullPath, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(fullPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + fullPath);
    }

    std::string path;
};

} // namespace fixtures
