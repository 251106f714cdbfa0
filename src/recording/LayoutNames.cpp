#include "LayoutNames.h"

#include "common/UtcCalendar.h"

#include <algorithm>
#include <cmath>

namespace LayoutNames {

namespace {

bool digitsAt(std::string_view text, size_t from, size_t count)
{
    return from + count <= text.size() &&
           std::all_of(text.begin() + from, text.begin() + from + count, [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

int64_t leadingInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\f' || text[i] == '\v'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT64_MAX / 16);
    return negative ? -value : value;
}

std::string_view charactersAt(std::string_view text, size_t from, size_t count)
{
    if (from >= text.size())
        return {};
    return text.substr(from, count);
}

double frequencyInName(std::string_view text)
{
    size_t i = 0;
    double value = 0.0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        value = std::min(value * 10.0 + (text[i++] - '0'), 1e18);
    if (i + 1 < text.size() && text[i] == '.' && text[i + 1] >= '0' && text[i + 1] <= '9') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale *= 0.1)
            value += (text[i] - '0') * scale;
    }
    const std::string_view unit = text.substr(i);
    if (unit.substr(0, 3) == "kHz" || unit.substr(0, 3) == "KHz")
        return std::round(value * 1e3);
    if (unit.substr(0, 3) == "MHz")
        return std::round(value * 1e6);
    return std::floor(value);
}

std::optional<KiwiName> kiwiName(std::string_view name)
{
    if (!digitsAt(name, 0, 8) || name.substr(8, 1) != "T" || !digitsAt(name, 9, 6) || name.substr(15, 2) != "Z_" ||
        !digitsAt(name, 17, 1))
        return std::nullopt;
    size_t end = 17;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end - 17 > 12 || (end < name.size() && name[end] != '_' && name[end] != '.'))
        return std::nullopt;
    auto number = [&name](size_t from, size_t count) { return leadingInteger(name.substr(from, count)); };
    return KiwiName{UtcCalendar::toUnix(number(0, 4), number(4, 2), number(6, 2), number(9, 2), number(11, 2),
                                        number(13, 2)),
                    static_cast<double>(number(17, end - 17))};
}

} // namespace LayoutNames
