#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The level distribution of the waterfall lines drawn, and the dB range that
// shows them: from the noise floor (a low share of all levels) to the
// strongest signal. Recordings differ by tens of dB in level (receivers,
// sample widths, gain), so one fixed range draws many as a solid colour.
class WaterfallLevels {
public:
    struct Range {
        int minDb = 0;
        int maxDb = 0;
    };
    // Levels are counted in 0.1 dB steps from kLowestDb to kHighestDb; those
    // outside count at the ends.
    static constexpr double kLowestDb = -300.0;
    static constexpr double kHighestDb = 100.0;
    // The share of levels below the noise floor.
    static constexpr double kNoiseFloorShare = 0.20;
    // The narrowest range suggested, for a band of plain noise.
    static constexpr int kNarrowestDb = 10;

    WaterfallLevels();

    // Counts `count` levels in dB (non-finite ones are left out). Allocates nothing.
    void add(const double* dB, int count);
    // Counts `count` levels in hundredths of a dB (as a WaterfallPicture keeps
    // them), as add() counts the same levels in dB. Allocates nothing.
    void addCentiDb(const int16_t* centiDb, int count);
    void clear();
    int64_t count() const { return total_; }

    // Whole dB, the noise floor rounded down and the strongest level rounded
    // up; nullopt before any level was counted.
    std::optional<Range> suggest() const;
    // The level that `share` (0 to 1) of the counted levels lie below, to 0.1 dB.
    double levelBelow(double share) const;

private:
    double levelOfBin(size_t bin) const;

    std::vector<int64_t> bins_;
    int64_t total_ = 0;
    double strongest_ = kLowestDb;
};
