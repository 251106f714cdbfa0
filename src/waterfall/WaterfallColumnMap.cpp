#include "waterfall/WaterfallColumnMap.h"

#include "waterfall/WaterfallPicture.h"

#include <algorithm>
#include <cmath>

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
        const int16_t strongest = *std::max_element(row + first_[x], row + last_[x] + 1);
        dBOut[x] = 0.01 * strongest;
    }
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
        const int16_t strongest = *std::max_element(row + first_[x], row + last_[x] + 1);
        const double y = (top - strongest) * gain;
        out[x] = y <= 0.0 ? 0 : y >= kOutside ? kOutside : static_cast<int>(y);
    }
}
