#include "waterfall/WaterfallWindowFields.h"

#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

double WaterfallWindowFields::value(Field field) const
{
    switch (field) {
    case kFftSize: return fftSize;
    case kMinDb: return minDb;
    case kMaxDb: return maxDb;
    case kCenterKHz: return centerKHz;
    case kSpanKHz: return spanKHz;
    case kStartSeconds: return startSeconds;
    case kLinesPerSecond: return linesPerSecond;
    }
    return 0.0;
}

void WaterfallWindowFields::setValue(Field field, double value)
{
    switch (field) {
    case kFftSize: fftSize = value; break;
    case kMinDb: minDb = value; break;
    case kMaxDb: maxDb = value; break;
    case kCenterKHz: centerKHz = value; break;
    case kSpanKHz: spanKHz = value; break;
    case kStartSeconds: startSeconds = value; break;
    case kLinesPerSecond: linesPerSecond = value; break;
    }
}

WaterfallWindowFields WaterfallWindowFields::fromPreferences(const std::array<int, kFieldCount>& stored)
{
    WaterfallWindowFields fields;
    for (int f = 0; f < kFieldCount; ++f) {
        const auto field = static_cast<Field>(f);
        fields.setValue(field, stored[f] != 0 ? stored[f] : kDefaults[f]);
    }
    return fields;
}

std::array<int, WaterfallWindowFields::kFieldCount> WaterfallWindowFields::toPreferences() const
{
    std::array<int, kFieldCount> stored{};
    for (int f = 0; f < kFieldCount; ++f) {
        const double v = value(static_cast<Field>(f));
        stored[f] = std::isfinite(v) ? static_cast<int>(std::clamp(v, double(INT_MIN), double(INT_MAX))) : 0;
    }
    return stored;
}

std::optional<WaterfallWindowFields> WaterfallWindowFields::fromTexts(
    const std::array<std::string, kFieldCount>& texts, bool zoomToSpan, std::string& problem)
{
    WaterfallWindowFields fields;
    fields.zoomToSpan = zoomToSpan;
    for (int f = 0; f < kFieldCount; ++f) {
        const std::optional<double> number = parseNumber(texts[f]);
        if (!number) {
            problem = std::string(kCaptions[f]) + " must be a number";
            return std::nullopt;
        }
        fields.setValue(static_cast<Field>(f), *number);
    }
    return fields;
}

std::optional<double> WaterfallWindowFields::parseNumber(std::string_view text)
{
    return NumberText::parse(text);
}

std::string WaterfallWindowFields::text(double value)
{
    // Shortest exact form, so that 1048576 does not turn into 1.04858e+06.
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, error == std::errc() ? end : buffer);
}
