#include "WaveChunks.h"

#include "LayoutParameters.h"
#include "WaveContainer.h"
#include "common/ByteFields.h"

#include <algorithm>
#include <cstring>

using namespace ByteFields;
using WaveContainer::isChunkId;
using WaveContainer::kUnknownLength;

namespace {

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
// Bounds on the chunk walk for damaged files: a day of a KiwiSDR recording at
// 12 kS/s is about two million data chunks.
constexpr int kMaxChunksWalked = 1 << 24;
constexpr size_t kMaxDataChunks = size_t{1} << 23;
constexpr size_t kChunkWalkWindow = 64 * 1024;
constexpr uint64_t kFixedDataOffset16 = 118;
constexpr uint64_t kFixedDataOffsetOther = 86;

uint64_t u64(const uint8_t* p) { return uint64_t{u32(p)} | uint64_t{u32(p + 4)} << 32; }

} // namespace

WaveChunks WaveChunks::find(const RecordingFile& file, uint64_t fileSize)
{
    // Chunk headers are read through a window of the file: a KiwiSDR file has
    // two chunks for every 512 samples.
    std::vector<uint8_t> window(kChunkWalkWindow);
    uint64_t windowStart = 0;
    size_t windowBytes = 0;
    auto bytesAt = [&](uint64_t position, uint8_t* into, size_t count) {
        if (position < windowStart || position + count > windowStart + windowBytes) {
            windowStart = position;
            windowBytes = file.readAt(position, window.data(), window.size());
        }
        const size_t available =
            position + count <= windowStart + windowBytes ? count : windowStart + windowBytes - position;
        std::memcpy(into, window.data() + (position - windowStart), available);
        return available;
    };

    // Where the next KiwiSDR block ("kiwi" of 10 bytes, then "data") starts,
    // counted from `from`; 0 when none follows within reach.
    auto nextKiwiBlock = [&](uint64_t from) -> uint64_t {
        constexpr uint64_t kReach = 1u << 20;
        const uint64_t limit = std::min<uint64_t>(fileSize, from + kReach);
        uint8_t block[26] = {};
        for (uint64_t p = from; p + sizeof block <= limit; ++p) {
            if (bytesAt(p, block, 4) == 4 && idIs(block, "kiwi") && bytesAt(p, block, sizeof block) == sizeof block &&
                u32(block + 4) == 10 && idIs(block + 18, "data"))
                return p - from;
        }
        return 0;
    };

    WaveChunks found;
    uint64_t position = 12;
    bool afterKiwi = false; // the chunk before was a KiwiSDR block's header
    for (int chunk = 0; chunk < kMaxChunksWalked && position + 8 <= fileSize; ++chunk) {
        uint8_t chunkHeader[8];
        if (bytesAt(position, chunkHeader, 8) < 8)
            break;
        // After the first samples, anything but a chunk is the end of the chunks.
        if (!found.data.empty() && !isChunkId(chunkHeader))
            break;
        uint64_t length = u32(chunkHeader + 4);
        const uint64_t payload = position + 8;
        if (idIs(chunkHeader, "ds64") && chunk == 0 && length >= 24) {
            uint8_t sizes[24] = {};
            if (bytesAt(payload, sizes, sizeof sizes) == sizeof sizes) {
                found.sizesIn64Bits = true;
                found.dataLength64 = u64(sizes + 8);
            }
        }
        if (idIs(chunkHeader, "data") && found.sizesIn64Bits && length == kUnknownLength)
            length = found.dataLength64;
        if (idIs(chunkHeader, "data") && length == 0 && payload < fileSize) {
            // Samples after a length of 0: a recorder that never came back to
            // write it. Such a chunk among others of one length (KiwiSDR)
            // has theirs when a chunk follows at that distance; otherwise
            // the samples run to the end of the file.
            uint8_t after[4] = {}, atPrevious[4] = {};
            if (bytesAt(payload, after, 4) == 4 && !isChunkId(after)) {
                // The first block has no previous one: it ends where the next begins.
                const uint64_t previous = !found.data.empty() ? found.data.back().length
                                          : afterKiwi         ? nextKiwiBlock(payload)
                                                              : 0;
                const bool previousFits =
                    previous > 0 && previous < fileSize - payload &&
                    (payload + previous + 8 > fileSize ||
                     (bytesAt(payload + previous, atPrevious, 4) == 4 && isChunkId(atPrevious)));
                length = previousFits ? previous : fileSize - payload;
                ++found.zeroLengthsRead;
            }
        }
        if (idIs(chunkHeader, "data")) {
            if (found.data.size() >= kMaxDataChunks)
                break;
            found.data.push_back({payload, length});
            // A length that cannot be right ends the walk: the samples run to the end.
            if ((length == kUnknownLength && !found.sizesIn64Bits) || length > fileSize - payload)
                break;
        }
        if (idIs(chunkHeader, "fmt ") && !found.formatFound && found.data.empty() && length >= 16) {
            uint8_t fmt[40] = {};
            file.readAt(payload, fmt, static_cast<size_t>(std::min<uint64_t>(length, sizeof fmt)));
            found.formatFound = true;
            found.declaredChannels = u16(fmt + 2);
            found.declaredBits = u16(fmt + 14);
            found.declaredRate = u32(fmt + 4);
            const uint16_t subFormat = length >= 40 ? u16(fmt + 24) : 0;
            found.declaredTag = u16(fmt) == kWaveFormatExtensible ? subFormat : u16(fmt);
            found.declared = SampleFormat::fromWave(u16(fmt), u16(fmt + 2), u16(fmt + 14), subFormat);
        }
        // A chunk running past the end of the file ends the walk (a 64-bit
        // length could otherwise wrap the position back to the start).
        if (length > fileSize - payload)
            break;
        uint64_t next = payload + length;
        if (length & 1) {
            // Chunks are padded to even lengths, but some writers leave the pad out.
            uint8_t padded[4] = {}, unpadded[4] = {};
            bytesAt(next + 1, padded, 4);
            bytesAt(next, unpadded, 4);
            if (isChunkId(padded) || !isChunkId(unpadded))
                ++next;
        }
        position = next;
        afterKiwi = idIs(chunkHeader, "kiwi");
    }
    return found;
}

bool WaveChunks::takeSamples(uint64_t fileSize, const LayoutParameters& d, SampleFormat& format, SampleSpans& spans,
                             uint64_t& missingBytes) const
{
    // Samples are read as the format chunk declares; without one, by the
    // header's width: 16-bit pairs, or 24-bit pairs for any other width.
    const bool dataFound = !data.empty();
    const bool sixteenBit = d.bitsPerSample == 16;
    format = declared.value_or(
        SampleFormat(sixteenBit ? SampleFormat::Encoding::Int16 : SampleFormat::Encoding::Int24, 2));
    const uint64_t dataOffset =
        dataFound ? data.front().offset : (sixteenBit ? kFixedDataOffset16 : kFixedDataOffsetOther);
    const uint64_t dataLength = dataFound ? data.front().length : 0;

    // Recorders that pass 4 GiB write 0xFFFFFFFF or a wrapped length, and a
    // copy cut short leaves a length that runs past the end: then the samples
    // run to the end of the file. A file of several data chunks states each
    // length; only its last may be cut short.
    const bool severalChunks = data.size() > 1;
    const bool sizeUnknown = !severalChunks && !sizesIn64Bits &&
                             (d.header.f_len == kUnknownLength || fileSize > uint64_t{UINT32_MAX} + 8 ||
                              (dataFound && (dataLength == kUnknownLength || dataOffset + dataLength > fileSize)));
    if (severalChunks) {
        for (const DataChunk& chunk : data) {
            const uint64_t end = std::min<uint64_t>(chunk.offset + chunk.length, fileSize);
            if (end <= chunk.offset)
                continue;
            spans.append(chunk.offset, end - chunk.offset);
        }
    } else {
        const uint64_t held = fileSize - std::min(dataOffset, fileSize);
        spans.append(dataOffset, (dataFound && !sizeUnknown) ? std::min(dataLength, held) : held);
    }
    // The last data chunk stating more than the file holds: a copy cut short.
    // A length written as unknown (or wrapped, past 4 GiB) says nothing.
    if (dataFound) {
        const DataChunk& last = data.back();
        const uint64_t held = fileSize - std::min(last.offset, fileSize);
        const bool stated = sizesIn64Bits || (last.length != kUnknownLength && fileSize <= uint64_t{UINT32_MAX} + 8);
        if (stated && last.length > held)
            missingBytes = last.length - held;
    }
    // A "data" chunk that fits the file is the measure: the layouts' formulas
    // use the RIFF length, which a recorder stopped by a crash leaves at 0.
    return !sizeUnknown && !dataFound && d.headerSecondsBytesPerSample == format.bytesPerSample();
}
