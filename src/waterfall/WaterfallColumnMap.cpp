#include "waterfall/WaterfallColumnMap.h"

#include "waterfall/WaterfallPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The strongest of row[first .. last], eight at a time where the span allows.
int16_t StrongestOf(const int16_t* row, int first, int last)
{
    using Short8 = int16_t __attribute__((vector_size(16)));
    int k = first;
    int16_t strongest = row[k];
    if (last - first + 1 >= 8) {
        Short8 held;
        std::memcpy(&held, row + k, sizeof held);
        for (k += 8; k + 8 <= last + 1; k += 8) {
            Short8 next;
            std::memcpy(&next, row + k, sizeof next);
            held = next > held ? next : held;
        }
        for (int lane = 0; lane < 8; ++lane)
            strongest = std::max(strongest, held[lane]);
    }
    for (; k <= last; ++k)
        strongest = std::max(strongest, row[k]);
    return strongest;
}

} // namespace

void WaterfallColumnMap::set(const WaterfallPicture& picture, double leftHz, double hzPerPixel, int width)
{
    width = std::max(width, 0);
    first_.assign(static_cast<size_t>(width), -1);
    last_.assign(static_cast<size_t>(width), -1);
    const int columns = picture.columns();
    if (!(hzPerPixel > 0.0))
        return;
    for (int x = 0; x < width; ++x) {
        const double low = picture.columnAtFrequency(leftHz + x * hzPerPixel);
        const double high = picture.columnAtFrequency(leftHz + (x + 1) * hzPerPixel);
        // A stored column belongs to the pixel that holds its middle.
        int first = static_cast<int>(std::ceil(low - 0.5));
        int last = static_cast<int>(std::ceil(high - 0.5)) - 1;
        if (last < first)
            first = last = static_cast<int>(std::floor(0.5 * (low + high)));
        if (last < 0 || first >= columns)
            continue;
        first_[x] = std::max(first, 0);
        last_[x] = std::min(last, columns - 1);
    }
}

void WaterfallColumnMap::levels(const int16_t* row, double* dBOut) const
{
    for (size_t x = 0; x < first_.size(); ++x) {
        if (first_[x] < 0) {
            dBOut[x] = 0.01 * WaterfallPicture::kFloor;
            continue;
        }
        dBOut[x] = 0.01 * StrongestOf(row, first_[x], last_[x]);
    }
}

void WaterfallColumnMap::strongest(const int16_t* row, int16_t* out) const
{
    for (size_t x = 0; x < first_.size(); ++x)
        out[x] = first_[x] < 0 ? WaterfallPicture::kFloor : StrongestOf(row, first_[x], last_[x]);
}

void WaterfallColumnMap::screenRow(const int16_t* row, double maxDb, double minDb, int* out) const
{
    // Hundredths of a dB to a screen level, as the display transform maps dB.
    const double gain = static_cast<double>(kOutside) / (maxDb - minDb) * 0.01;
    const double top = maxDb * 100.0;
    for (size_t x = 0; x < first_.size(); ++x) {
        if (first_[x] < 0) {
            out[x] = kOutside;
            continue;
        }
        const double y = (top - StrongestOf(row, first_[x], last_[x])) * gain;
        out[x] = y <= 0.0 ? 0 : y >= kOutside ? kOutside : static_cast<int>(y);
    }
}
