#pragma once

#include <array>
#include <cstdint>

// One colour of the waterfall ramp, 0 to 255 per component.
struct WaterfallColor {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// The waterfall's colour ramp (black, blue, cyan, green, yellow, red, ending red
// with a little blue) and its grey alternative. Shared by every view that paints
// rows from the display FFT.
class WaterfallColorTable {
public:
    static constexpr int kNumLevels = 1024;

    WaterfallColorTable();

    // level: 0 (weakest) to 1023 (strongest); values outside are limited to that range.
    WaterfallColor Entry(int level) const;

    // Turns one screen row of the display FFT into RGBA pixels (alpha 255).
    // count: pixels, >= 0. screenRow: count screen levels as the display FFT gives
    // them, 0 for the strongest signal, 1023 or more for the weakest (negative
    // values count as the strongest). drawInColor: ramp, else grey (level / 4).
    // rgbaOut: 4 × count bytes, red, green, blue, alpha; may be the memory of
    // screenRow itself. Returns count.
    int PaintRow(int count, const int* screenRow, bool drawInColor, std::uint8_t* rgbaOut) const;

private:
    std::array<WaterfallColor, kNumLevels> colors_;
};
