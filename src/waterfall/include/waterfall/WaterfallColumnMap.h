#pragma once

#include <cstdint>
#include <vector>

class WaterfallPicture;

// Maps the stored columns of a WaterfallPicture onto the pixel columns of a
// view of the band: pixel x shows the frequencies from leftHz + x * hzPerPixel
// to leftHz + (x + 1) * hzPerPixel (Hz from the centre) and takes the
// strongest stored column among them, or the one under its middle when it is
// narrower than a column. Built once per view geometry; mapping rows then
// allocates nothing.
class WaterfallColumnMap {
public:
    // Screen level of a pixel outside the transform's band: drawn as the weakest.
    static constexpr int kOutside = 1023;

    // width: pixel columns (>= 0); hzPerPixel > 0.
    void set(const WaterfallPicture& picture, double leftHz, double hzPerPixel, int width);
    int width() const { return static_cast<int>(first_.size()); }

    // Levels in dB of the pixel columns for one picture row (columns() entries);
    // pixels outside the band read as the floor, -220 dB.
    void levels(const int16_t* row, double* dBOut) const;
    // The same levels as the picture keeps them, in hundredths of a dB.
    void strongest(const int16_t* row, int16_t* out) const;
    // Screen levels, 0 (at or above maxDb) to 1023 (at or below minDb, or
    // outside the band), for one picture row; maxDb != minDb.
    void screenRow(const int16_t* row, double maxDb, double minDb, int* out) const;

private:
    std::vector<int> first_; // first stored column of each pixel, -1 outside the band
    std::vector<int> last_;
};
