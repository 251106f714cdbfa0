#include "carrier/CarrierPicture.h"

#include "common/UtcCalendar.h"

#include <cmath>
#include <cstdio>

int CarrierPicture::process(int count, const float* levelsDb, double minDb, double maxDb, int* screenOut)
{
    const double range = maxDb - minDb;
    for (int x = 0; x < count; ++x) {
        const double level = levelsDb[x];
        double value;
        if (!std::isfinite(level))
            value = kScreenLevels;
        else if (range > 0.0)
            value = std::trunc((minDb - level) * kScreenLevels / range + kScreenLevels);
        else
            value = level >= minDb ? 0.0 : kScreenLevels;
        // Limited well before int's range; the painter limits to 0..1023.
        screenOut[x] = static_cast<int>(std::fmax(-1.0e6, std::fmin(1.0e6, value)));
    }
    return count;
}

std::vector<CarrierPicture::FrequencyMark> CarrierPicture::frequencyMarks(double halfSpan)
{
    std::vector<FrequencyMark> marks;
    if (!(halfSpan > 0.0) || !std::isfinite(halfSpan))
        return marks;
    // The step accumulates, as the marks always have: at some spans the last
    // one falls just short of +halfSpan and is left out.
    const double step = 0.04 * halfSpan;
    for (double delta = -halfSpan; delta <= halfSpan; delta += step)
        marks.push_back({static_cast<int>(delta * (kWidth / 2) / halfSpan + kWidth / 2), static_cast<int>(delta)});
    return marks;
}

std::vector<CarrierPicture::HourMark> CarrierPicture::hourMarks(int32_t startingTime)
{
    const UtcCalendar::Fields start = UtcCalendar::fromUnix(startingTime);
    const int64_t hourStart = static_cast<int64_t>(startingTime) - start.minute * 60 - start.second;
    const int r0 = -(start.minute * 60 + start.second) / kSecondsPerRow;
    std::vector<HourMark> marks;
    for (int j = 0; j < kHourMarks; ++j) {
        const UtcCalendar::Fields hour = UtcCalendar::fromUnix(hourStart + 3600 * static_cast<int64_t>(j));
        char caption[8];
        std::snprintf(caption, sizeof caption, "%02d%02d", hour.hour, hour.minute);
        marks.push_back({r0 + kRowsPerHour * j, r0 + kRowsPerHour * (j + 1), caption});
    }
    return marks;
}
