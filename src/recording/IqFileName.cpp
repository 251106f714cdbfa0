#include "recording/IqFileName.h"

#include "common/UtcCalendar.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace {

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    size_t from = 0;
    while (true) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

bool allDigits(std::string_view text)
{
    return !text.empty() && text.size() <= 15 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t digitsValue(std::string_view text)
{
    int64_t value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// "433.92M", "250k", "14074000Hz", "2.4MHz": a number with a unit, in Hz or
// S/s. nullopt when the token is not one, or has no unit and `unitNeeded`.
std::optional<double> numberWithUnit(std::string_view token, bool unitNeeded)
{
    size_t i = 0;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9')
        ++i;
    if (i == 0 || i > 15)
        return std::nullopt;
    // Digit by digit: the process locale may not use '.' for a fraction.
    double value = static_cast<double>(digitsValue(token.substr(0, i)));
    size_t end = i;
    if (end < token.size() && token[end] == '.') {
        size_t fraction = end + 1;
        double scale = 0.1;
        for (; fraction < token.size() && token[fraction] >= '0' && token[fraction] <= '9'; ++fraction, scale *= 0.1)
            value += (token[fraction] - '0') * scale;
        if (fraction == end + 1 || fraction - end > 10)
            return std::nullopt;
        end = fraction;
    }
    const std::string unit = lowerCase(token.substr(end));
    double scale = 0.0;
    if (unit == "k" || unit == "khz" || unit == "ksps")
        scale = 1e3;
    else if (unit == "m" || unit == "mhz" || unit == "msps")
        scale = 1e6;
    else if (unit == "g" || unit == "ghz")
        scale = 1e9;
    else if (unit == "hz" || unit == "sps" || (unit.empty() && !unitNeeded))
        scale = 1.0;
    if (scale == 0.0)
        return std::nullopt;
    return std::round(value * scale);
}

// NAME_433.92M_250k: the last two numbers with units are centre and rate.
void readCaptureName(std::string_view stem, IqFileName& name)
{
    std::vector<double> numbers;
    for (const std::string_view token : split(stem, '_')) {
        if (const auto value = numberWithUnit(token, true))
            numbers.push_back(*value);
    }
    if (numbers.size() >= 2) {
        name.centerFreq = numbers[numbers.size() - 2];
        // Fifteen digits in GHz pass int64_t: such a rate says nothing.
        name.sampleRate = numbers.back() < 1e18 ? static_cast<int64_t>(numbers.back()) : 0;
    }
}

// gqrx_YYYYMMDD_HHMMSS_FREQ_RATE_fc
bool readGqrxName(std::string_view stem, IqFileName& name)
{
    const std::vector<std::string_view> t = split(stem, '_');
    if (t.size() < 5 || lowerCase(t[0]) != "gqrx" || t[1].size() != 8 || !allDigits(t[1]) || t[2].size() != 6 ||
        !allDigits(t[2]) || !allDigits(t[3]) || !allDigits(t[4]))
        return false;
    name.convention = "gqrx";
    name.start = UtcCalendar::toUnix(digitsValue(t[1].substr(0, 4)), digitsValue(t[1].substr(4, 2)),
                                     digitsValue(t[1].substr(6, 2)), digitsValue(t[2].substr(0, 2)),
                                     digitsValue(t[2].substr(2, 2)), digitsValue(t[2].substr(4, 2)));
    name.centerFreq = static_cast<double>(digitsValue(t[3]));
    name.sampleRate = digitsValue(t[4]);
    name.format = SampleFormat(SampleFormat::Encoding::Float32, 2);
    return true;
}

// baseband_FREQHz_HH-MM-SS_DD-MM-YYYY
bool readBasebandName(std::string_view stem, IqFileName& name)
{
    const std::vector<std::string_view> t = split(stem, '_');
    if (t.size() < 4 || t[0] != "baseband")
        return false;
    const std::optional<double> frequency = numberWithUnit(t[1], true);
    const std::vector<std::string_view> time = split(t[2], '-');
    const std::vector<std::string_view> date = split(t[3], '-');
    const auto twoDigits = [](std::string_view s) { return s.size() == 2 && allDigits(s); };
    if (!frequency || time.size() != 3 || date.size() != 3 || !twoDigits(time[0]) || !twoDigits(time[1]) ||
        !twoDigits(time[2]) || !twoDigits(date[0]) || !twoDigits(date[1]) || date[2].size() != 4 ||
        !allDigits(date[2]))
        return false;
    name.convention = "SDR++";
    name.centerFreq = *frequency;
    name.start = UtcCalendar::toUnix(digitsValue(date[2]), digitsValue(date[1]), digitsValue(date[0]),
                                     digitsValue(time[0]), digitsValue(time[1]), digitsValue(time[2]));
    return true;
}

// STATION.KHZ[.N].RATE.iq.au: the first whole number after the station.
void readAuName(std::string_view stem, IqFileName& name)
{
    const std::vector<std::string_view> t = split(stem, '.');
    for (size_t i = 1; i < t.size(); ++i) {
        if (allDigits(t[i])) {
            name.convention = "KiwiSDR";
            name.centerFreq = static_cast<double>(digitsValue(t[i])) * 1e3;
            return;
        }
    }
}

} // namespace

IqFileName IqFileName::parse(std::string_view fileName)
{
    IqFileName name;
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return name;
    const std::string extension = lowerCase(fileName.substr(dot + 1));
    const std::string_view stem = fileName.substr(0, dot);
    if (extension == "cu8" || extension == "cs8" || extension == "cs16" || extension == "cf32") {
        name.format = formatNamed(extension);
        readCaptureName(stem, name);
        if (name.sampleRate > 0)
            name.convention = "rtl_433";
    } else if (extension == "raw") {
        readGqrxName(stem, name);
    } else if (extension == "wav") {
        readBasebandName(stem, name);
    } else if (extension == "au") {
        readAuName(stem, name);
    }
    return name;
}

std::optional<SampleFormat> IqFileName::formatNamed(std::string_view text)
{
    using E = SampleFormat::Encoding;
    const std::string name = lowerCase(text);
    if (name == "cu8")
        return SampleFormat(E::UInt8, 2);
    if (name == "cs8" || name == "ci8")
        return SampleFormat(E::Int8, 2);
    if (name == "cs16" || name == "ci16_le" || name == "ci16")
        return SampleFormat(E::Int16, 2);
    if (name == "ci16_be")
        return SampleFormat(E::Int16BigEndian, 2);
    if (name == "ci32_le")
        return SampleFormat(E::Int32, 2);
    if (name == "cf32" || name == "cf32_le")
        return SampleFormat(E::Float32, 2);
    return std::nullopt;
}

std::optional<double> IqFileName::valueWithUnit(std::string_view text) { return numberWithUnit(text, false); }

const char* IqFileName::formatNames() { return "cu8, cs8, cs16, cf32, ci8, ci16_le, ci16_be, ci32_le, cf32_le"; }

int32_t IqFileName::bitsOf(const SampleFormat& format)
{
    switch (format.encoding()) {
    case SampleFormat::Encoding::UInt8:
    case SampleFormat::Encoding::Int8: return 8;
    case SampleFormat::Encoding::Int16:
    case SampleFormat::Encoding::Int16BigEndian: return 16;
    case SampleFormat::Encoding::Int24: return 24;
    case SampleFormat::Encoding::Int32:
    case SampleFormat::Encoding::Float32: return 32;
    }
    return 16;
}
