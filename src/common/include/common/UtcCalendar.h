#pragma once

#include <cstdint>
#include <string>

// Calendar arithmetic in UTC, independent of the process time zone and locale.
// Covers every 64-bit second count a recording header can produce, where
// gmtime/timegm would fail or depend on the platform.
struct UtcCalendar {
    struct Fields {
        int64_t year = 1970; // full year, e.g. 2026
        int month = 1;       // 1 to 12
        int day = 1;         // 1 to 31
        int hour = 0;        // 0 to 23
        int minute = 0;      // 0 to 59
        int second = 0;      // 0 to 59
    };

    // Unix seconds of a broken-down UTC time. Fields out of their range are
    // normalised as timegm does (month 13 is January of the next year, second
    // 60 the next minute, day 0 the last day of the previous month).
    static int64_t toUnix(int64_t year, int64_t month, int64_t day,
                          int64_t hour, int64_t minute, int64_t second);

    // Broken-down UTC time of Unix seconds.
    static Fields fromUnix(int64_t unixSeconds);

    // "Jan" to "Dec" for month 1 to 12, English whatever the locale.
    static const char* monthAbbreviation(int month);

    // "05-Dec-2026 16:39:35" when timeSeparator is ':', "05-Dec-2026 16.39.35" for '.'.
    static std::string format(int64_t unixSeconds, char timeSeparator);
};
