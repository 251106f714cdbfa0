#include "waterfall/WaterfallGenerator.h"

#include "recording/RecordingObject.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"

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
    , centiDbRow_(kColumns)
{
    fft_.SetFFTParamsSize(fftSize, false, 0.0, static_cast<double>(recording_.parameters().mSampleRate));
    size_ = fft_.fftSize();
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

double WaterfallGenerator::sampleRate() const
{
    return static_cast<double>(recording_.parameters().mSampleRate);
}

bool WaterfallGenerator::computeRow(const WaterfallRowPlan& plan, int row, WaterfallPicture& picture, int pictureRow)
{
    if (peakHold_)
        return computeRows(plan, row, 1, picture, pictureRow);
    int seconds[WaterfallRowPlan::kMaxSecondsAnalysedPerRow];
    const int count = plan.analysedSeconds(row, sampleRate(), size_, seconds);
    if (count == 0)
        picture.clearRow(pictureRow);
    for (int k = 0; k < count; ++k) {
        recording_.getData(block_.data(), static_cast<double>(seconds[k]), size_);
        if (!recording_.readError().empty())
            return false;
        fft_.PutInDisplayFFT(size_, block_.data());
        if (k == 0)
            picture.setSpectrum(pictureRow, fft_.floatLevels());
        else
            picture.mergeSpectrum(pictureRow, fft_.floatLevels());
    }
    countLevels(picture, pictureRow);
    return true;
}

bool WaterfallGenerator::computeRows(const WaterfallRowPlan& plan, int firstRow, int count, WaterfallPicture& picture,
                                     int firstPictureRow)
{
    if (!peakHold_) {
        for (int k = 0; k < count; ++k)
            if (!computeRow(plan, firstRow + k, picture, firstPictureRow + k))
                return false;
        return true;
    }
    if (!peakHold_->computeRows(plan, firstRow, count, picture, firstPictureRow))
        return false;
    for (int k = 0; k < count; ++k)
        countLevels(picture, firstPictureRow + k);
    return true;
}

void WaterfallGenerator::usePeakHold(int threads)
{
    peakHold_ = std::make_unique<WaterfallPeakHold>(recording_, size_, threads);
}

void WaterfallGenerator::countLevels(const WaterfallPicture& picture, int pictureRow)
{
    if (bandColumnsOf_ != picture.columns()) {
        bandColumns_.set(picture, startFreq_, static_cast<double>(stopFreq_ - startFreq_) / kColumns, kColumns);
        bandColumnsOf_ = picture.columns();
    }
    bandColumns_.strongest(picture.row(pictureRow), centiDbRow_.data());
    levels_.addCentiDb(centiDbRow_.data(), kColumns);
}
