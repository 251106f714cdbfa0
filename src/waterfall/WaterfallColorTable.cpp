#include "waterfall/WaterfallColorTable.h"

#include <algorithm>
#include <cstddef>

namespace {

std::uint8_t ColorComponent(double value)
{
    if (value <= 0.0)
        return 0;
    if (value >= 256.0)
        return 255;
    return static_cast<std::uint8_t>(value);
}

WaterfallColor RampColor(double i)
{
    if (i < 172)
        return {0, 0, ColorComponent(1.4825581395348837 * i)};
    if (i < 348)
        return {0, ColorComponent(1.4825581395348837 * i - 255), 255};
    if (i < 480)
        return {0, 255, ColorComponent(948.28125 - 1.9921875 * i)};
    if (i < 616)
        return {ColorComponent(1.9318181818181819 * i - 927.2727272727273), 255, 0};
    if (i < 868)
        return {255, ColorComponent(888.3870967741935 - 1.0282258064516128 * i), 0};
    return {255, 0, ColorComponent(0.8421052631578947 * i - 730.9473684210526)};
}

} // namespace

WaterfallColorTable::WaterfallColorTable()
{
    for (int i = 0; i < kNumLevels; ++i)
        colors_[i] = RampColor(i);
}

WaterfallColor WaterfallColorTable::Entry(int level) const
{
    return colors_[std::clamp(level, 0, kNumLevels - 1)];
}

int WaterfallColorTable::PaintRow(int count, const int* screenRow, bool drawInColor, std::uint8_t* rgbaOut) const
{
    for (int x = 0; x < count; ++x) {
        const int screenLevel = screenRow[x];
        // Subtract in 64 bits: a screen level near INT_MIN must not overflow.
        const long long strength = (kNumLevels - 1) - static_cast<long long>(screenLevel);
        const int level = static_cast<int>(std::clamp(strength, 0LL, static_cast<long long>(kNumLevels - 1)));
        std::uint8_t* pixel = rgbaOut + 4 * static_cast<std::size_t>(x);
        if (drawInColor) {
            const WaterfallColor& color = colors_[level];
            pixel[0] = color.red;
            pixel[1] = color.green;
            pixel[2] = color.blue;
        } else {
            const auto grey = static_cast<std::uint8_t>(level / 4);
            pixel[0] = pixel[1] = pixel[2] = grey;
        }
        pixel[3] = 255;
    }
    return count;
}
