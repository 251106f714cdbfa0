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
    : recording(recording)
    , maxdB(maxdB)
    , mindB(mindB)
    , startFreq(-halfBand(recording.mBandwidth))
    , stopFreq(halfBand(recording.mBandwidth))
    , dBRow(kColumns + 1)
{
    fft.ResetFFT();
    fft.SetFFTAve(1);
    fft.SetFFTParamsSize(fftSize, false, 0.0, static_cast<double>(recording.mSampleRate));
    size = fft.FFTSize();
    block.resize(static_cast<size_t>(size));
}

int WaterfallGenerator::lineCount() const { return lineCountOf(recording); }

int WaterfallGenerator::lineCountOf(const RecordingObject& recording)
{
    if (recording.mNumSeconds == 0 && recording.sampleCount() > 0)
        return 1;
    return recording.mNumSeconds;
}

void WaterfallGenerator::computeLine(int second, int* row)
{
    recording.getData(block.data(), static_cast<double>(second), size);
    fft.PutInDisplayFFT(size, block.data());
    fft.GetScreenIntegerFFTDataMaxHeight(kRowHeight, kColumns, maxdB, mindB, startFreq, stopFreq, row, dBRow.data());
    levels_.add(dBRow.data(), kColumns);
}
