#include "common/UtcCalendar.h"

#include <cstdio>

namespace {

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Days since 1970-01-01 of a proleptic Gregorian date with month 1 to 12
// (Howard Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2;
    const int64_t era = floorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

int64_t UtcCalendar::toUnix(int64_t year, int64_t month, int64_t day,
                            int64_t hour, int64_t minute, int64_t second)
{
    const int64_t monthIndex = month - 1;
    year += floorDiv(monthIndex, 12);
    month = monthIndex - floorDiv(monthIndex, 12) * 12 + 1;
    const int64_t days = daysFromCivil(year, month, 1) + day - 1;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

UtcCalendar::Fields UtcCalendar::fromUnix(int64_t unixSeconds)
{
    const int64_t days = floorDiv(unixSeconds, 86400);
    const int64_t secondOfDay = unixSeconds - days * 86400;

    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthPrime = (5 * dayOfYear + 2) / 153;

    Fields f;
    f.day = static_cast<int>(dayOfYear - (153 * monthPrime + 2) / 5 + 1);
    f.month = static_cast<int>(monthPrime < 10 ? monthPrime + 3 : monthPrime - 9);
    f.year = yearOfEra + era * 400 + (f.month <= 2);
    f.hour = static_cast<int>(secondOfDay / 3600);
    f.minute = static_cast<int>(secondOfDay / 60 % 60);
    f.second = static_cast<int>(secondOfDay % 60);
    return f;
}

const char* UtcCalendar::monthAbbreviation(int month)
{
    static const char* const names[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return (month >= 1 && month <= 12) ? names[month - 1] : "???";
}

std::string UtcCalendar::format(int64_t unixSeconds, char timeSeparator)
{
    const Fields f = fromUnix(unixSeconds);
    char text[255];
    std::snprintf(text, sizeof text, "%02d-%s-%lld %02d%c%02d%c%02d", f.day,
                  monthAbbreviation(f.month), static_cast<long long>(f.year), f.hour,
                  timeSeparator, f.minute, timeSeparator, f.second);
    return text;
}
