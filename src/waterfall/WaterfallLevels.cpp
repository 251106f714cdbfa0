#include "waterfall/WaterfallLevels.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kBinDb = 0.1;
}

WaterfallLevels::WaterfallLevels()
    : bins_(static_cast<size_t>((kHighestDb - kLowestDb) / kBinDb) + 1)
{
}

void WaterfallLevels::add(const double* dB, int count)
{
    const double last = static_cast<double>(bins_.size() - 1);
    for (int i = 0; i < count; ++i) {
        const double level = dB[i];
        if (!std::isfinite(level))
            continue;
        const double bin = std::clamp((level - kLowestDb) / kBinDb, 0.0, last);
        ++bins_[static_cast<size_t>(bin)];
        ++total_;
        strongest_ = std::max(strongest_, std::min(level, kHighestDb));
    }
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
