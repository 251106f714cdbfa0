#include "recording/SelectionRules.h"

#include <algorithm>
#include <cmath>

namespace {

// Truncation toward zero that stays defined for any double.
int TruncateWithin(double value, double limit)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -limit, limit));
}

constexpr double kIntLimit = 2147483000.0;

} // namespace

int NormalizeFftSize(double stored)
{
    if (std::isnan(stored) || stored == 0.0)
        return 8192;
    const double limited = std::clamp(stored, 1024.0, 65536.0);
    int size = 1024;
    while (size < limited)
        size *= 2;
    return size;
}

int TruncateDb(double db)
{
    return TruncateWithin(db, 1000.0);
}

DbRange DbRangeFromPreferences(double storedMinDb, double storedMaxDb)
{
    const int minDb = TruncateDb(storedMinDb);
    const int maxDb = TruncateDb(storedMaxDb);
    if (minDb == 0 && maxDb == 0)
        return {-110, -80};
    return {minDb, maxDb};
}

const char* DbRangeProblem(double minDb, double maxDb)
{
    if (!(minDb < maxDb))
        return "The minimum dB must be below the maximum dB";
    return nullptr;
}

const char* BandwidthProblem(double bandwidthHz)
{
    if (!(bandwidthHz > 0.0))
        return "The recording has no bandwidth to draw";
    return nullptr;
}

SelectionFieldChange RightClickFieldChange(float frequencyKHz, float seconds, unsigned modifiers, int numSeconds)
{
    const unsigned keys = modifiers & (kShiftKey | kControlKey | kOptionKey | kCommandKey);
    const int second = TruncateWithin(seconds, kIntLimit);
    const int wholeKHz = TruncateWithin(static_cast<double>(frequencyKHz) + 0.5, kIntLimit);
    switch (keys) {
    case kShiftKey:
        return {SelectionField::StartTime, second};
    case kControlKey:
        return {SelectionField::EndTime, second};
    case kOptionKey:
        return {SelectionField::LowFrequency, wholeKHz};
    case kCommandKey:
        return {SelectionField::HighFrequency, wholeKHz};
    case kShiftKey | kOptionKey:
        return {SelectionField::StartTime, 0};
    case kShiftKey | kCommandKey:
        return {SelectionField::EndTime, numSeconds};
    default:
        return {SelectionField::None, 0};
    }
}

double FrequencyAtColumn(double x, const WaterfallBand& band)
{
    return (x / band.pixelsWide - 0.5) * band.bandwidthKHz + band.centerKHz;
}

std::optional<double> ColumnAtFrequency(double frequencyKHz, const WaterfallBand& band)
{
    if (!(band.bandwidthKHz > 0.0))
        return std::nullopt;
    return ((frequencyKHz - band.centerKHz) / band.bandwidthKHz + 0.5) * band.pixelsWide;
}

int SecondAtRow(double y, int pixelsHigh)
{
    if (std::isnan(y))
        return 0;
    return static_cast<int>(std::floor(std::clamp(y, 0.0, static_cast<double>(pixelsHigh))));
}

WaterfallSelection SelectionFromDrag(double anchorX, double anchorY, double cornerX, double cornerY,
                                     int pixelsHigh, const WaterfallBand& band)
{
    const auto column = [&](double x) { return std::isnan(x) ? 0.0 : std::clamp(x, 0.0, double(band.pixelsWide)); };
    const int anchorSecond = SecondAtRow(anchorY, pixelsHigh);
    const int cornerSecond = SecondAtRow(cornerY, pixelsHigh);
    const double anchorKHz = FrequencyAtColumn(column(anchorX), band);
    const double cornerKHz = FrequencyAtColumn(column(cornerX), band);
    return {std::min(anchorSecond, cornerSecond), std::max(anchorSecond, cornerSecond),
            std::min(anchorKHz, cornerKHz), std::max(anchorKHz, cornerKHz)};
}

RecordingBand RecordingBandOf(double sampleRate, double centerHz)
{
    return {(centerHz - sampleRate / 2.0) / 1000.0, (centerHz + sampleRate / 2.0) / 1000.0};
}

bool SelectionFitsBand(double lowKHz, double highKHz, const RecordingBand& band)
{
    // The waterfall's edges come back from the fields rounded to 0.001 kHz.
    constexpr double kRoundingKHz = 0.0005;
    return std::min(lowKHz, highKHz) >= band.lowKHz - kRoundingKHz &&
           std::max(lowKHz, highKHz) <= band.highKHz + kRoundingKHz;
}

std::array<int, 11> FrequencyScaleLabels(double bandwidthKHz, double centerKHz)
{
    std::array<int, 11> labels{};
    for (int k = -5; k <= 5; ++k)
        labels[k + 5] = TruncateWithin(centerKHz + k * 0.1 * bandwidthKHz, kIntLimit);
    return labels;
}
