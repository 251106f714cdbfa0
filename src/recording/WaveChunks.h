#pragma once

#include "recording/RecordingFile.h"
#include "recording/SampleFormat.h"
#include "recording/SampleSpans.h"

#include <cstdint>
#include <optional>
#include <vector>

struct LayoutParameters;

// The RIFF chunks of a WAVE file (also RF64/BW64) that locate the samples:
// the format a "fmt " chunk declares and the "data" chunks in file order, so
// that a file of many data chunks (KiwiSDR) is read through this index.
struct WaveChunks {
    struct DataChunk {
        uint64_t offset = 0;
        uint64_t length = 0;
    };
    std::optional<SampleFormat> declared;
    bool formatFound = false;
    uint16_t declaredTag = 0; // the sub-format's tag for WAVE_FORMAT_EXTENSIBLE
    uint16_t declaredBits = 0;
    uint16_t declaredChannels = 0;
    uint32_t declaredRate = 0;
    bool sizesIn64Bits = false; // RF64: a "ds64" chunk holds the data length
    uint64_t dataLength64 = 0;
    std::vector<DataChunk> data;
    int zeroLengthsRead = 0; // data chunks stating 0 bytes whose samples were found

    // Walks the chunks of `file` (`fileSize` bytes) after its 12-byte RIFF header.
    static WaveChunks find(const RecordingFile& file, uint64_t fileSize);
    // Where the samples of a file whose layout gave `d` are and their format;
    // `missingBytes` receives the bytes the last data chunk declares beyond
    // the file's end. Returns whether the layout's own count of seconds applies.
    bool takeSamples(uint64_t fileSize, const LayoutParameters& d, SampleFormat& format, SampleSpans& spans,
                     uint64_t& missingBytes) const;
};
