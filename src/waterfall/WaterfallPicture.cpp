#include "waterfall/WaterfallPicture.h"

#include "dsp/SampleVector.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Bels to hundredths of a dB, within what int16 holds (the floor is -220 dB);
// NaN fails both tests and reads as the floor.
int16_t CentiDbOf(double bels)
{
    double centiDb = bels * 1000.0;
    centiDb = centiDb < -32000.0 ? -32000.0 : centiDb > 32000.0 ? 32000.0 : centiDb;
    return centiDb == centiDb ? static_cast<int16_t>(std::lrint(centiDb)) : WaterfallPicture::kFloor;
}

using Float4 = float __attribute__((vector_size(16)));
using Double4 = double __attribute__((vector_size(32)));
using Int4 = int32_t __attribute__((vector_size(16)));
using Short4 = int16_t __attribute__((vector_size(8)));

// CentiDbOf() four bins at a time, each kept in out[] where stronger than
// what out[] holds (Merge) or than the floor. The same arithmetic as
// CentiDbOf(): the product of a float and 1000 is exact in double, and adding
// and taking away 1.5 * 2^52 rounds to the nearest, ties to even, as lrint().
template <bool Merge>
__attribute__((always_inline)) inline int StoreLevels(int count, const float* bels, int16_t* out)
{
    const Double4 low = Double4{} - 32000.0;
    const Double4 high = Double4{} + 32000.0;
    const Double4 floorLevel = Double4{} + WaterfallPicture::kFloor;
    const Double4 rounder = Double4{} + 0x1.8p52;
    int c = 0;
    for (; c + 4 <= count; c += 4) {
        Float4 b;
        std::memcpy(&b, bels + c, sizeof b);
        Double4 centiDb = __builtin_convertvector(b, Double4) * 1000.0;
        centiDb = centiDb == centiDb ? centiDb : floorLevel;
        centiDb = centiDb < low ? low : centiDb;
        centiDb = centiDb > high ? high : centiDb;
        const Double4 rounded = (centiDb + rounder) - rounder;
        const Short4 level = __builtin_convertvector(__builtin_convertvector(rounded, Int4), Short4);
        Short4 held = Short4{} + WaterfallPicture::kFloor;
        if constexpr (Merge)
            std::memcpy(&held, out + c, sizeof held);
        const Short4 kept = level > held ? level : held;
        std::memcpy(out + c, &kept, sizeof kept);
    }
    return c;
}

KORVEL_WIDE_TARGET int MergeLevelsWide(int count, const float* bels, int16_t* out)
{
    return StoreLevels<true>(count, bels, out);
}

KORVEL_WIDE_TARGET int SetLevelsWide(int count, const float* bels, int16_t* out)
{
    return StoreLevels<false>(count, bels, out);
}

} // namespace

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

template <typename Level>
void WaterfallPicture::mergeColumns(int16_t* out, const Level* bels) const
{
    for (int c = 0; c < columns_; ++c) {
        const Level* bins = bels + static_cast<size_t>(c) * binsPerColumn_;
        Level strongest = bins[0];
        for (int k = 1; k < binsPerColumn_; ++k)
            strongest = std::max(strongest, bins[k]);
        out[c] = std::max(out[c], CentiDbOf(strongest));
    }
}

void WaterfallPicture::mergeSpectrum(int row, const double* bels)
{
    mergeColumns(levels_.data() + static_cast<size_t>(row) * columns_, bels);
}

void WaterfallPicture::mergeSpectrum(int row, const float* bels)
{
    int16_t* out = levels_.data() + static_cast<size_t>(row) * columns_;
    if (binsPerColumn_ > 1) {
        mergeColumns(out, bels);
        return;
    }
    int c = WideVectorsAvailable() ? MergeLevelsWide(columns_, bels, out) : StoreLevels<true>(columns_, bels, out);
    for (; c < columns_; ++c)
        out[c] = std::max(out[c], CentiDbOf(bels[c]));
}

void WaterfallPicture::setSpectrum(int row, const float* bels)
{
    if (binsPerColumn_ > 1) {
        clearRow(row);
        mergeSpectrum(row, bels);
        return;
    }
    int16_t* out = levels_.data() + static_cast<size_t>(row) * columns_;
    int c = WideVectorsAvailable() ? SetLevelsWide(columns_, bels, out) : StoreLevels<false>(columns_, bels, out);
    for (; c < columns_; ++c)
        out[c] = std::max(kFloor, CentiDbOf(bels[c]));
}
