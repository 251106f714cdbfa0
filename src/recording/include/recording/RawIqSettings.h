#pragma once

#include "recording/SampleFormat.h"

#include <cstdint>
#include <optional>

// What the user says about a raw I/Q file (samples without any header): each
// value given takes the place of what the file's name says.
struct RawIqSettings {
    int64_t sampleRate = 0;            // S/s; 0 when not given
    std::optional<double> centerFreq;  // Hz
    std::optional<SampleFormat> format;

    bool given() const { return sampleRate > 0 || centerFreq || format; }
};
