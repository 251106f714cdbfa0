#include "waterfall/WaterfallAxes.h"

#include "common/UtcCalendar.h"

#include <cmath>
#include <cstdio>

namespace {

// The smallest of 1, 2, 5 x 10^k at or above `least`.
double roundStep(double least)
{
    const double decade = std::pow(10.0, std::floor(std::log10(least)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= least * (1.0 - 1e-9))
            return m * decade;
    return 10.0 * decade;
}

std::string timeOfDay(int64_t unixSeconds)
{
    const UtcCalendar::Fields t = UtcCalendar::fromUnix(unixSeconds);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

} // namespace

std::vector<WaterfallAxes::Tick> WaterfallAxes::frequencyTicks(double lowKHz, double highKHz, double lengthPixels,
                                                               double minSpacing)
{
    std::vector<Tick> ticks;
    const double spanHz = (highKHz - lowKHz) * 1000.0;
    if (!(spanHz > 0.0) || !(lengthPixels > 0.0) || !(minSpacing > 0.0))
        return ticks;
    const double stepHz = roundStep(std::max(spanHz * minSpacing / lengthPixels, 1.0));
    const double largest = std::max(std::fabs(lowKHz), std::fabs(highKHz)) * 1000.0;
    const double unitHz = largest >= 30e6 ? 1e6 : largest >= 1e4 ? 1e3 : 1.0;
    const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(stepHz / unitHz) - 1e-9)));
    const double pixelsPerHz = lengthPixels / spanHz;
    for (double hz = std::ceil(lowKHz * 1000.0 / stepHz) * stepHz; hz <= highKHz * 1000.0 + 1e-6; hz += stepHz) {
        char text[48];
        std::snprintf(text, sizeof text, "%.*f", decimals, hz / unitHz + 0.0);
        ticks.push_back({(hz - lowKHz * 1000.0) * pixelsPerHz, text});
    }
    if (!ticks.empty()) {
        const char* unit = unitHz == 1e6 ? " MHz" : unitHz == 1e3 ? " kHz" : " Hz";
        ticks.back().text += unit;
    }
    return ticks;
}

std::vector<WaterfallAxes::Tick> WaterfallAxes::timeTicks(double firstSecond, double lastSecond, double lengthPixels,
                                                          double minSpacing, std::optional<int64_t> startUnix)
{
    std::vector<Tick> ticks;
    const double span = lastSecond - firstSecond;
    if (!(span > 0.0) || !(lengthPixels > 0.0) || !(minSpacing > 0.0))
        return ticks;
    static constexpr double kSteps[] = {1,    2,    5,    10,    15,    30,    60,    120,    300,   600,
                                        900,  1800, 3600, 7200,  10800, 21600, 43200, 86400, 172800, 432000};
    const double least = span * minSpacing / lengthPixels;
    double step = kSteps[std::size(kSteps) - 1];
    for (const double candidate : kSteps)
        if (candidate >= least) {
            step = candidate;
            break;
        }
    // UTC ticks fall on round times of day, recording-time ticks on round offsets.
    const double origin = startUnix ? static_cast<double>(*startUnix) : 0.0;
    const double pixelsPerSecond = lengthPixels / span;
    for (double t = std::ceil((origin + firstSecond) / step) * step; t <= origin + lastSecond + 1e-9; t += step) {
        const int64_t whole = static_cast<int64_t>(std::llround(t));
        ticks.push_back({(t - origin - firstSecond) * pixelsPerSecond,
                         startUnix ? timeOfDay(whole) : recordingTime(whole)});
    }
    return ticks;
}

std::string WaterfallAxes::recordingTime(int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

std::string WaterfallAxes::readout(double kHz, double seconds, std::optional<int64_t> startUnix,
                                   std::optional<double> levelDb)
{
    const int64_t whole = static_cast<int64_t>(std::floor(std::max(seconds, 0.0)));
    std::string text;
    char part[64];
    std::snprintf(part, sizeof part, "%.3f kHz   %s", kHz, recordingTime(whole).c_str());
    text = part;
    if (startUnix)
        text += "  " + timeOfDay(*startUnix + whole) + " UTC";
    if (levelDb) {
        std::snprintf(part, sizeof part, "   %.1f dB", *levelDb);
        text += part;
    }
    return text;
}
