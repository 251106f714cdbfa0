#include "WaveLayouts.h"

#include "LayoutNames.h"
#include "common/UtcCalendar.h"

#include <algorithm>
#include <string_view>

using namespace LayoutNames;

Recognition tryToSdrSharpHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines)
{
    const std::string_view name = file.fileName;
    if (name.substr(0, 9) != "SDRSharp_")
        return Recognition::Rejected;
    lines.push_back("SDRSharp File");
    const std::vector<uint8_t> b = file.head(44);
    d.layout = "SDRSharp";
    d.header.copyWaveFields(b.data());

    // SDRSharp_YYYYMMDD_HHMMSSZ_<frequency>Hz...; missing characters read as no digits.
    const int64_t year = leadingInteger(charactersAt(name, 9, 4));
    const int64_t month = leadingInteger(charactersAt(name, 13, 2));
    const int64_t day = leadingInteger(charactersAt(name, 15, 2));
    const int64_t hour = leadingInteger(charactersAt(name, 18, 2));
    const int64_t minute = leadingInteger(charactersAt(name, 20, 2));
    const int64_t second = leadingInteger(charactersAt(name, 22, 2));
    // Older versions wrote the frequency in kHz ("14053kHz"), later ones in Hz.
    const double frequency = frequencyInName(charactersAt(name, 26, std::string::npos));

    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    d.countSeconds(d.header.f_len / d.header.samples_per_sec / 4, 4);
    d.bandwidth = d.sampleRate;
    d.centerFreq = frequency;
    d.bitsPerSample = 16;
    d.widthAssumed = true;
    d.start = UtcCalendar::toUnix(year, month, day, hour, minute, second);
    d.endFollowsSeconds = true;
    d.header.CenterFreq = static_cast<uint32_t>(std::min(frequency, double{UINT32_MAX}));
    d.header.Bandwidth = d.header.samples_per_sec;
    d.header.startTime.wYear = static_cast<uint16_t>(year);
    d.header.startTime.wMonth = static_cast<uint16_t>(month);
    d.header.startTime.wDay = static_cast<uint16_t>(day);
    d.header.startTime.wHour = static_cast<uint16_t>(hour);
    d.header.startTime.wMinute = static_cast<uint16_t>(minute);
    d.header.startTime.wSecond = static_cast<uint16_t>(second);
    return Recognition::Accepted;
}
