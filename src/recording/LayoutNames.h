#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Reading numbers, dates and frequencies out of header text and file names.
namespace LayoutNames {

// Reads a decimal integer the way C's atoi does (leading blanks, an optional
// sign, then digits), saturating instead of overflowing.
int64_t leadingInteger(std::string_view text);

// Characters [from, from + count) of `text`, as many of them as exist.
std::string_view charactersAt(std::string_view text, size_t from, size_t count);

// A frequency in a file name: digits, an optional fraction and a unit of Hz,
// kHz or MHz (Hz when none follows). 0 when there are no digits.
double frequencyInName(std::string_view text);

// A KiwiSDR recorder's name: 20171127T104156Z_77500_..., the start in UTC and
// the tuned frequency in Hz.
struct KiwiName {
    int64_t start = 0;
    double frequency = 0.0;
};
std::optional<KiwiName> kiwiName(std::string_view name);

} // namespace LayoutNames
