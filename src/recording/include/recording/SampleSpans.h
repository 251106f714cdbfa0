#pragma once

#include "recording/RecordingFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Where a recording's samples lie in its file: the payload of each "data"
// chunk (one span for most files, thousands for a KiwiSDR file) and where it
// starts in the samples' bytes, which run on from span to span.
class SampleSpans {
public:
    void clear();
    // Adds `bytes` of samples at `fileOffset` after those held.
    void append(uint64_t fileOffset, uint64_t bytes);
    bool empty() const { return spans_.empty(); }
    uint64_t firstOffset() const { return spans_.empty() ? 0 : spans_.front().fileOffset; }
    // Bytes of samples in all spans.
    uint64_t bytes() const { return bytes_; }

    // Reads `bytes` bytes of the samples from `logical` on into `into`; a
    // sample may straddle two spans. Returns how many were read: fewer when
    // the file holds less than when it was opened, which is noted as its
    // read error. Allocates nothing.
    size_t read(const RecordingFile& file, uint64_t logical, uint8_t* into, size_t bytes) const;

private:
    struct Span {
        uint64_t fileOffset = 0;
        uint64_t dataStart = 0;
    };
    std::vector<Span> spans_; // ascending dataStart
    uint64_t bytes_ = 0;
};
