#include "waterfall/WaterfallRowPlan.h"

#include <algorithm>
#include <cmath>

WaterfallRowPlan::WaterfallRowPlan(int lines, int maxRows)
    : lines_(std::max(lines, 0))
{
    maxRows = std::max(maxRows, 1);
    secondsPerRow_ = std::max(1, (lines_ + maxRows - 1) / maxRows);
    rows_ = (lines_ + secondsPerRow_ - 1) / secondsPerRow_;
}

WaterfallRowPlan WaterfallRowPlan::forTransforms(int lines, int maxRows, double sampleRate, int fftSize)
{
    const double windowSeconds = sampleRate > 0.0 ? std::ceil(fftSize / sampleRate) : 1.0;
    const int window = static_cast<int>(std::clamp(windowSeconds, 1.0, static_cast<double>(std::max(lines, 1))));
    // Fewer rows than lines / window makes every row at least `window` seconds.
    return WaterfallRowPlan(lines, std::min(std::max(maxRows, 1), std::max(lines / window, 1)));
}

int WaterfallRowPlan::firstSecond(int row) const
{
    return static_cast<int>(std::min<int64_t>(static_cast<int64_t>(row) * secondsPerRow_, lines_));
}

int WaterfallRowPlan::endSecond(int row) const
{
    return static_cast<int>(std::min<int64_t>((static_cast<int64_t>(row) + 1) * secondsPerRow_, lines_));
}

int WaterfallRowPlan::rowOfSecond(double seconds) const
{
    if (rows_ == 0 || !(seconds > 0.0))
        return 0;
    return static_cast<int>(std::min<double>(std::floor(seconds / secondsPerRow_), rows_ - 1));
}

int WaterfallRowPlan::analysedSeconds(int row, double sampleRate, int fftSize, int* seconds) const
{
    if (row < 0 || row >= rows_)
        return 0;
    const int first = firstSecond(row);
    const int span = endSecond(row) - first;
    const double windowSeconds = sampleRate > 0.0 ? std::ceil(fftSize / sampleRate) : 1.0;
    const int apart = static_cast<int>(std::clamp(windowSeconds, 1.0, static_cast<double>(span)));
    // At least `apart` seconds between the analysed seconds, as span / count >= apart.
    const int count = std::clamp(span / apart, 1, kMaxSecondsAnalysedPerRow);
    for (int k = 0; k < count; ++k)
        seconds[k] = first + static_cast<int>(static_cast<int64_t>(k) * span / count);
    return count;
}
