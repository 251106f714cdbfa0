#include "waterfall/WaterfallLevels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {
constexpr double kBinDb = 0.1;
const size_t kBins = static_cast<size_t>((WaterfallLevels::kHighestDb - WaterfallLevels::kLowestDb) / kBinDb) + 1;

// The bin of a level in dB, as add() counts it.
size_t binOfLevel(double level)
{
    return static_cast<size_t>(
        std::clamp((level - WaterfallLevels::kLowestDb) / kBinDb, 0.0, static_cast<double>(kBins - 1)));
}
} // namespace

WaterfallLevels::WaterfallLevels()
    : bins_(kBins)
{
}

void WaterfallLevels::add(const double* dB, int count)
{
    for (int i = 0; i < count; ++i) {
        const double level = dB[i];
        if (!std::isfinite(level))
            continue;
        ++bins_[binOfLevel(level)];
        ++total_;
        strongest_ = std::max(strongest_, std::min(level, kHighestDb));
    }
}

void WaterfallLevels::addCentiDb(const int16_t* centiDb, int count)
{
    // The bin of every int16 level, worked out once, spares a division per level.
    struct CentiDbBins {
        std::array<uint16_t, 65536> of;
        CentiDbBins()
        {
            for (int c = INT16_MIN; c <= INT16_MAX; ++c)
                of[static_cast<size_t>(c - INT16_MIN)] = static_cast<uint16_t>(binOfLevel(0.01 * c));
        }
    };
    static const CentiDbBins bin;
    if (count <= 0)
        return;
    int strongest = INT16_MIN;
    for (int i = 0; i < count; ++i) {
        ++bins_[bin.of[static_cast<size_t>(centiDb[i] - INT16_MIN)]];
        strongest = std::max(strongest, static_cast<int>(centiDb[i]));
    }
    total_ += count;
    strongest_ = std::max(strongest_, std::min(0.01 * strongest, kHighestDb));
}

void WaterfallLevels::clear()
{
    std::fill(bins_.begin(), bins_.end(), 0);
    total_ = 0;
    strongest_ = kLowestDb;
}

double WaterfallLevels::levelOfBin(size_t bin) const { return kLowestDb + static_cast<double>(bin) * kBinDb; }

double WaterfallLevels::levelBelow(double share) const
{
    const auto below = static_cast<int64_t>(share * static_cast<double>(total_));
    int64_t counted = 0;
    size_t bin = 0;
    while (bin + 1 < bins_.size() && counted + bins_[bin] <= below)
        counted += bins_[bin++];
    return levelOfBin(bin);
}

std::optional<WaterfallLevels::Range> WaterfallLevels::suggest() const
{
    if (total_ == 0)
        return std::nullopt;
    Range range;
    range.minDb = static_cast<int>(std::floor(levelBelow(kNoiseFloorShare)));
    range.maxDb = std::max(static_cast<int>(std::ceil(strongest_)), range.minDb + kNarrowestDb);
    return range;
}
