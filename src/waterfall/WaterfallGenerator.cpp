#include "waterfall/WaterfallGenerator.h"

#include "recording/RecordingObject.h"

#include <algorithm>
#include <climits>

namespace {
// Half the band in whole Hz, as the screen mapping takes it; a header may claim any bandwidth.
int halfBand(double bandwidthHz)
{
    return static_cast<int>(std::clamp(0.5 * bandwidthHz, 0.0, static_cast<double>(INT_MAX)));
}
} // namespace

WaterfallGenerator::WaterfallGenerator(RecordingObject& recording, int fftSize, double maxdB, double mindB)
    : recording_(recording)
    , maxdB_(maxdB)
    , mindB_(mindB)
    , startFreq_(-halfBand(recording.parameters().mBandwidth))
    , stopFreq_(halfBand(recording.parameters().mBandwidth))
    , dBRow_(kColumns + 1)
{
    fft_.SetFFTParamsSize(fftSize, false, 0.0, static_cast<double>(recording_.parameters().mSampleRate));
    size_ = fft_.FFTSize();
    block_.resize(static_cast<size_t>(size_));
}

int WaterfallGenerator::lineCount() const { return lineCountOf(recording_); }

int WaterfallGenerator::lineCountOf(const RecordingObject& recording)
{
    if (recording.parameters().mNumSeconds == 0 && recording.sampleCount() > 0)
        return 1;
    return recording.parameters().mNumSeconds;
}

void WaterfallGenerator::computeLine(int second, int* row)
{
    recording_.getData(block_.data(), static_cast<double>(second), size_);
    fft_.PutInDisplayFFT(size_, block_.data());
    fft_.GetScreenIntegerFFTDataMaxHeight(kRowHeight, kColumns, maxdB_, mindB_, startFreq_, stopFreq_, row,
                                          dBRow_.data());
    levels_.add(dBRow_.data(), kColumns);
}
