#pragma once

#include "recording/RawIqSettings.h"
#include "recording/SampleFormat.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A recording that is not a RIFF/WAVE file: SigMF (metadata in .sigmf-meta,
// samples in .sigmf-data), a Sun .au file of I/Q pairs, or raw I/Q samples
// whose rate and format come from the file name or from the user.
struct ForeignRecording {
    std::string layout;               // "SigMF", "AU", "Raw I/Q"
    std::string dataPath;             // the file that holds the samples
    SampleFormat format;
    uint64_t dataOffset = 0;          // byte of the first sample
    uint64_t dataLength = UINT64_MAX; // bytes of samples; beyond the file's end it runs to the end
    int64_t sampleRate = 0;
    double centerFreq = 0.0;
    std::optional<int64_t> start;     // Unix seconds
    std::vector<std::string> lines;   // information lines
    std::string refusal;              // why the file is refused; empty when it is taken
    // Refused only because nothing says the rate and format of its raw samples.
    bool needsRawSettings = false;

    // Recognises the file at `path` (named `fileName`, `fileSize` bytes) from
    // `head`: the whole text of a .sigmf-meta file, else the file's first
    // bytes (at least 24 when the file has them). Never nullopt for a file
    // that is not RIFF/WAVE: what cannot be read is refused with a reason.
    static ForeignRecording recognise(const std::string& path, std::string_view fileName, std::string_view head,
                                      uint64_t fileSize, const RawIqSettings& settings);

    // Extensions capture tools give raw I/Q files, in lower case.
    static constexpr std::array<const char*, 14> kRawExtensions = {
        "cu8", "cs8", "cs16", "cf32", "raw", "bin", "iq", "dat", "cfile", "u8", "s8", "s16", "c16", "c32"};
    // One of kRawExtensions, in any case.
    static bool hasRawExtension(std::string_view fileName);
    static bool isSigmfMeta(std::string_view fileName);
    static bool isSigmfData(std::string_view fileName);
    // "x.sigmf-data" for "x.sigmf-meta" and the other way round.
    static std::string sigmfSibling(const std::string& path);
};
