#pragma once

#include "common/ComplexSample.h"
#include "dsp/FftObject.h"

#include <string>
#include <vector>

class RecordingObject;

// Measures one second of a recording: fftSize samples from the start of the
// second through the display transform (Hann window), then for every channel
// the kLevels levels in dB across [f - halfSpan, f + halfSpan] Hz: column x
// stands for f + (x - kLevels / 2) * halfSpan / (kLevels / 2) and shows the
// strongest bin within its width, or the bin nearest to it when bins are
// wider than columns. (The display's screen mapping shows the bin at or below
// a column, a bin off, which at these resolutions misplaces a carrier by as
// much as the offsets the picture is there to tell apart.) Buffers and bin
// tables are made at construction; measuring allocates nothing.
class CarrierAnalyzer {
public:
    // fftSize: a power of two, 512 to 16777216; sampleRate S/s (> 0);
    // centerFreq Hz; halfSpan Hz (> 0); channelsKHz: the channels to measure.
    CarrierAnalyzer(int fftSize, double sampleRate, double centerFreq, double halfSpan, std::vector<int> channelsKHz);

    // Measures `count` samples (fewer than fftSize are followed by zeros) into
    // `row`: numChannels() x kLevels levels, channel by channel. Returns the
    // number of levels written.
    int process(int count, const ComplexSample* block, float* row);

    // Measures second `second` of `recording`; the part of the block beyond
    // the recording's end is zeros. A second wholly past the end is no
    // measurement: its levels are NaN ("no levels", drawn as the weakest).
    // false when the read failed (the recording's readError() says why); the
    // row is then not written.
    bool measureSecond(RecordingObject& recording, int second, float* row);

    int fftSize() const { return fftSize_; }
    int numChannels() const { return static_cast<int>(channelsKHz_.size()); }

private:
    int fftSize_;
    std::vector<int> channelsKHz_;
    FftObject fft_;
    std::vector<ComplexSample> block_;
    // For channel k and column x, entry k * kLevels + x: its first and last bin.
    std::vector<int> firstBin_;
    std::vector<int> lastBin_;
};
