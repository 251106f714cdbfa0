#pragma once

#include "recording/SampleFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The parts of a SigMF metadata file (.sigmf-meta, JSON) that describe the
// samples of its .sigmf-data file: the global data type and sample rate, and
// the first capture's centre frequency, start time and header bytes.
struct SigmfMetadata {
    // Largest metadata file read; real ones with many annotations stay far below.
    static constexpr uint64_t kMaxTextBytes = 16 * 1024 * 1024;

    SampleFormat format;
    std::string datatype;             // as the file names it, "cf32_le"
    double sampleRate = 0.0;          // S/s
    std::optional<double> centerFreq; // Hz
    std::optional<int64_t> start;     // Unix seconds, UTC
    uint64_t headerBytes = 0;         // bytes before the first sample in the data file
    std::string error;                // why the metadata cannot be used; empty when it can

    static SigmfMetadata parse(std::string_view text);
    // "2023-10-15T12:34:56.5Z" or with a "+02:00" offset: Unix seconds, nullopt if malformed.
    static std::optional<int64_t> parseDateTime(std::string_view text);
};
