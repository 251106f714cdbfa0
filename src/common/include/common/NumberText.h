#pragma once

#include <optional>
#include <string_view>

// What a number typed by the user measures, and so which unit words may
// follow it.
enum class Quantity {
    Plain,     // no unit
    Frequency, // Hz (also a rate in samples per second): Hz, k/kHz, M/MHz, G/GHz, sps/ksps/Msps
    Seconds,   // s, ms, min, h
    Decibels,  // dB
};

// The one reader of numbers the user types, in fields and on the command
// line: C conventions whatever the locale ("12.5", "1e3", not "12,5"),
// spaces around it and a leading '+' allowed, no hex, no infinities. The
// unit is optional, may be set off by a space, its case does not matter; the
// result is in the base unit (Hz, seconds, dB).
class NumberText {
public:
    static std::optional<double> parse(std::string_view text, Quantity quantity = Quantity::Plain);
};
