#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The picture of one channel of a carrier analysis, as plain values: one
// row per analysed second, kWidth columns, kMargin rows below the last for
// the frequency marks; levels become screen values as the waterfall's rows
// are (0 the strongest, 1023 the weakest), marks become positions and texts.
class CarrierPicture {
public:
    static constexpr int kWidth = 2048;
    static constexpr int kMargin = 50;
    static constexpr int kScreenLevels = 1023;
    // The rows that make an hour on the picture, and the marks drawn.
    static constexpr int kRowsPerHour = 120;
    static constexpr int kSecondsPerRow = 30;
    static constexpr int kHourMarks = 50;

    static int height(int rows) { return rows + kMargin; }

    // Levels in dB to screen values: minDb and below give 1023, maxDb and
    // above 0 (values outside that are limited by the painter). A level that
    // is no number gives 1023. Needs minDb < maxDb; otherwise everything
    // from minDb up is the strongest. Returns count.
    static int process(int count, const float* levelsDb, double minDb, double maxDb, int* screenOut);

    struct FrequencyMark {
        int x;       // column of a 5-pixel tick (kWidth is just past the right edge)
        int hertz;   // its offset from the channel, truncated: the caption
    };
    // Ticks every 4 % of halfSpan from -halfSpan to +halfSpan (> 0).
    static std::vector<FrequencyMark> frequencyMarks(double halfSpan);
    // Rows of the picture counted from the top: the ticks span
    // [H - kTickTop, H - kTickBottom), the captions are centred on H - kCaptionFromBottom.
    static constexpr int kTickTop = 35;
    static constexpr int kTickBottom = 30;
    static constexpr int kCaptionFromBottom = 10;

    struct HourMark {
        int captionRow;      // row from the top the caption "HHMM" is centred on
        int lineRow;         // row from the top of the tick that ends this hour
        std::string caption; // "%H%M" in UTC
    };
    // kHourMarks marks from the start of the hour of startingTime (Unix
    // seconds), one every kRowsPerHour rows: the first is placed
    // -(minutes x 60 + seconds) / kSecondsPerRow rows from the top.
    static std::vector<HourMark> hourMarks(int32_t startingTime);
};
