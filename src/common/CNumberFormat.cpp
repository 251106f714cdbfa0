#include "common/CNumberFormat.h"

#include <charconv>

std::string formatFixed(double value, int precision, int width)
{
    char text[400];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
    std::string result(text, ec == std::errc() ? end : text);
    if (static_cast<int>(result.size()) < width)
        result.insert(0, static_cast<size_t>(width) - result.size(), ' ');
    return result;
}

std::string formatGeneral(double value)
{
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, ec == std::errc() ? end : text);
}
