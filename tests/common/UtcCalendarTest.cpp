#include "common/UtcCalendar.h"

#include <gtest/gtest.h>

#include <ctime>

// The system's timegm and gmtime_r are the reference over ranges where they work.
TEST(UtcCalendar, AgreesWithTheSystemCalendarIncludingNormalisedFields)
{
    for (int year = 1890; year <= 2110; year += 7) {
        for (int month = -13; month <= 26; month += 3) {
            for (int day = -31; day <= 62; day += 9) {
                std::tm fields{};
                fields.tm_year = year - 1900;
                fields.tm_mon = month - 1;
                fields.tm_mday = day;
                fields.tm_hour = 25;
                fields.tm_min = -7;
                fields.tm_sec = 61;
                const int64_t expected = timegm(&fields);
                ASSERT_EQ(UtcCalendar::toUnix(year, month, day, 25, -7, 61), expected)
                    << year << "-" << month << "-" << day;
            }
        }
    }
}

TEST(UtcCalendar, BreaksDownLikeTheSystemCalendar)
{
    for (int64_t t = -5000000000; t < 7000000000; t += 86399 * 37 + 17) {
        const time_t system = static_cast<time_t>(t);
        std::tm want{};
        gmtime_r(&system, &want);
        const UtcCalendar::Fields got = UtcCalendar::fromUnix(t);
        ASSERT_EQ(got.year, want.tm_year + 1900) << t;
        ASSERT_EQ(got.month, want.tm_mon + 1) << t;
        ASSERT_EQ(got.day, want.tm_mday) << t;
        ASSERT_EQ(got.hour, want.tm_hour) << t;
        ASSERT_EQ(got.minute, want.tm_min) << t;
        ASSERT_EQ(got.second, want.tm_sec) << t;
    }
}

TEST(UtcCalendar, FormatsEveryMonthInEnglish)
{
    const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 1; m <= 12; ++m) {
        const int64_t t = UtcCalendar::toUnix(2026, m, 5, 6, 7, 8);
        EXPECT_EQ(UtcCalendar::format(t, ':'), std::string("05-") + months[m - 1] + "-2026 06:07:08");
    }
}
