#pragma once

#include <cstdint>

// A recording's parameters as its header gives them.
struct RecordingParameters {
    int32_t mSampleRate = 0;     // complex samples per second
    double mBandwidth = 50000.0; // Hz
    double mCenterFreq = 0.0;    // Hz
    int32_t mBitsPerSample = 16; // width of one I or Q value as the header states it
    int32_t mNumSeconds = 0;     // whole seconds of samples
    int64_t mStartTimestamp = 0; // Unix seconds (UTC) of the first sample
};
