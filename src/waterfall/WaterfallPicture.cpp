#include "waterfall/WaterfallPicture.h"

#include <algorithm>
#include <cmath>

WaterfallPicture::WaterfallPicture(int rows, int fftSize, double sampleRate, int64_t budgetBytes)
    : rows_(std::max(rows, 0))
    , fftSize_(std::max(fftSize, 1))
    , sampleRate_(sampleRate)
{
    while (binsPerColumn_ < fftSize_ &&
           static_cast<int64_t>(rows_) * (fftSize_ / binsPerColumn_) * static_cast<int64_t>(sizeof(int16_t)) > budgetBytes)
        binsPerColumn_ *= 2;
    columns_ = fftSize_ / binsPerColumn_;
    levels_.assign(static_cast<size_t>(rows_) * columns_, kFloor);
}

double WaterfallPicture::frequencyOfColumn(double column) const
{
    // Transform entry m holds frequency (m + 1 - N/2) * Fs / N; its bin reaches half a bin either side.
    const double binHz = sampleRate_ / fftSize_;
    return (column * binsPerColumn_ + 0.5 - fftSize_ / 2) * binHz;
}

double WaterfallPicture::columnAtFrequency(double hz) const
{
    const double binHz = sampleRate_ / fftSize_;
    return (hz / binHz + fftSize_ / 2 - 0.5) / binsPerColumn_;
}

void WaterfallPicture::clearRow(int row)
{
    std::fill_n(levels_.data() + static_cast<size_t>(row) * columns_, columns_, kFloor);
}

void WaterfallPicture::mergeSpectrum(int row, const double* bels)
{
    int16_t* out = levels_.data() + static_cast<size_t>(row) * columns_;
    for (int c = 0; c < columns_; ++c) {
        const double* bins = bels + static_cast<size_t>(c) * binsPerColumn_;
        double strongest = bins[0];
        for (int k = 1; k < binsPerColumn_; ++k)
            strongest = std::max(strongest, bins[k]);
        // Bels to hundredths of a dB, within what int16 holds (the floor is -220 dB); NaN fails both tests.
        double centiDb = strongest * 1000.0;
        centiDb = centiDb < -32000.0 ? -32000.0 : centiDb > 32000.0 ? 32000.0 : centiDb;
        const int16_t level = centiDb == centiDb ? static_cast<int16_t>(std::lrint(centiDb)) : kFloor;
        out[c] = std::max(out[c], level);
    }
}
