#include "carrier/CarrierAnalyzer.h"

#include "carrier/CarrierAnalysis.h"
#include "recording/RecordingObject.h"

#include <algorithm>
#include <cmath>
#include <limits>

CarrierAnalyzer::CarrierAnalyzer(int fftSize, double sampleRate, double centerFreq, double halfSpan,
                                 std::vector<int> channelsKHz)
    : fftSize_(fftSize)
    , channelsKHz_(std::move(channelsKHz))
    , block_(static_cast<size_t>(fftSize))
{
    fft_.ResetFFT();
    fft_.SetFFTParamsSize(fftSize, false, 0.0, sampleRate);

    // Entry m of the display levels is frequency (m + 1 - N/2) * Fs / N from the centre.
    constexpr int levels = CarrierAnalysis::kLevels;
    const int n = fft_.fftSize();
    const double binsPerHz = n / sampleRate;
    const double entryOfZero = n / 2 - 1;
    const double columnHz = 2.0 * halfSpan / levels;
    const auto clampBin = [n](double bin) { return static_cast<int>(std::clamp(bin, 0.0, n - 1.0)); };
    firstBin_.resize(channelsKHz_.size() * levels);
    lastBin_.resize(channelsKHz_.size() * levels);
    for (size_t k = 0; k < channelsKHz_.size(); ++k) {
        const double offset = channelsKHz_[k] * 1000.0 - centerFreq;
        for (int x = 0; x < levels; ++x) {
            const double hz = offset + (x - levels / 2) * columnHz;
            const double first = std::ceil((hz - 0.5 * columnHz) * binsPerHz) + entryOfZero;
            const double last = std::ceil((hz + 0.5 * columnHz) * binsPerHz) + entryOfZero - 1.0;
            const size_t at = k * levels + static_cast<size_t>(x);
            if (last < first) {
                firstBin_[at] = lastBin_[at] = clampBin(std::round(hz * binsPerHz) + entryOfZero);
            } else {
                firstBin_[at] = clampBin(first);
                lastBin_[at] = clampBin(last);
            }
        }
    }
}

int CarrierAnalyzer::process(int count, const ComplexSample* block, float* row)
{
    fft_.PutInDisplayFFT(count, block);
    const double* bels = fft_.fftAveBuf();
    const size_t total = channelsKHz_.size() * CarrierAnalysis::kLevels;
    for (size_t at = 0; at < total; ++at) {
        double strongest = bels[firstBin_[at]];
        for (int m = firstBin_[at] + 1; m <= lastBin_[at]; ++m)
            strongest = std::max(strongest, bels[m]);
        row[at] = static_cast<float>(10.0 * strongest);
    }
    return static_cast<int>(total);
}

bool CarrierAnalyzer::measureSecond(RecordingObject& recording, int second, float* row)
{
    const int64_t filled = recording.getData(block_.data(), second, fftSize_);
    if (!recording.readError().empty())
        return false;
    if (filled == 0) {
        std::fill(row, row + channelsKHz_.size() * CarrierAnalysis::kLevels, std::numeric_limits<float>::quiet_NaN());
        return true;
    }
    process(static_cast<int>(filled), block_.data(), row);
    return true;
}
