#pragma once

#include "recording/RecordingHeader.h"
#include "recording/RecordingObject.h"
#include "recording/SampleFormat.h"

#include <cstdint>
#include <optional>
#include <string>

// What a layout parser makes of a file: not its layout, its layout, or its
// layout with values that cannot be used (the reason in `refusal`).
enum class Recognition { Rejected, Accepted, Refused };

// The parameters one layout parser derives, committed only when the file is taken.
struct LayoutParameters {
    std::string layout;
    RecordingHeader header;
    int32_t sampleRate = 0;
    double bandwidth = 0.0;
    double centerFreq = 0.0;
    int32_t bitsPerSample = 16;
    // The layout's own count of seconds, and the bytes per complex sample it
    // assumes (0 when the layout gives no count).
    uint64_t headerSeconds = 0;
    uint32_t headerSecondsBytesPerSample = 0;
    int64_t start = 0;
    int64_t end = 0;
    bool endFollowsSeconds = false;
    bool startKnown = true;
    bool widthAssumed = false; // the layout takes 16 bits whatever the file says
    std::string refusal;
    // Where the samples of a file other than RIFF/WAVE are, and their format.
    std::optional<SampleFormat> foreignFormat;
    uint64_t foreignOffset = 0;
    uint64_t foreignLength = 0;

    bool takeSampleRate(int64_t rate)
    {
        if (rate <= 0 || rate > RecordingObject::kMaxSampleRate) {
            refusal = "sample rate " + std::to_string(rate);
            return false;
        }
        sampleRate = static_cast<int32_t>(rate);
        return true;
    }
    void countSeconds(uint64_t seconds, uint32_t bytesPerComplexSample)
    {
        headerSeconds = seconds;
        headerSecondsBytesPerSample = bytesPerComplexSample;
    }
};
