#include "common/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace {

struct Unit {
    Quantity quantity;
    std::string_view name; // lower case
    int exponent;          // of ten, applied to the decimal text so that 2.048M is exactly 2048000
    double scale;
};

constexpr Unit kUnits[] = {
    {Quantity::Frequency, "hz", 0, 1.0},  {Quantity::Frequency, "sps", 0, 1.0},  {Quantity::Frequency, "k", 3, 1.0},
    {Quantity::Frequency, "khz", 3, 1.0}, {Quantity::Frequency, "ksps", 3, 1.0}, {Quantity::Frequency, "m", 6, 1.0},
    {Quantity::Frequency, "mhz", 6, 1.0}, {Quantity::Frequency, "msps", 6, 1.0}, {Quantity::Frequency, "g", 9, 1.0},
    {Quantity::Frequency, "ghz", 9, 1.0}, {Quantity::Seconds, "s", 0, 1.0},      {Quantity::Seconds, "ms", -3, 1.0},
    {Quantity::Seconds, "min", 0, 60.0},  {Quantity::Seconds, "h", 0, 3600.0},   {Quantity::Decibels, "db", 0, 1.0},
};

// The number `digits` (as from_chars reads it) times 10^exponent, rounded once.
std::optional<double> scaled(std::string_view digits, int exponent, double scale)
{
    std::string text(digits);
    const size_t e = text.find_first_of("eE");
    long long power = exponent;
    if (e != std::string::npos) {
        long long own = 0;
        const char* first = text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0);
        if (std::from_chars(first, text.data() + text.size(), own).ec != std::errc() || own > 100000 || own < -100000)
            return std::nullopt;
        power += own;
        text.resize(e);
    }
    text += 'e' + std::to_string(power);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    value *= scale;
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

std::optional<double> NumberText::parse(std::string_view text, Quantity quantity)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    const std::string_view digits = text.substr(0, static_cast<size_t>(end - text.data()));
    std::string_view unit = text.substr(digits.size());
    while (!unit.empty() && isBlank(unit.front()))
        unit.remove_prefix(1);
    if (unit.empty())
        return value;
    std::string lower(unit);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const Unit& u : kUnits) {
        if (u.quantity == quantity && u.name == lower)
            return scaled(digits, u.exponent, u.scale);
    }
    return std::nullopt;
}
