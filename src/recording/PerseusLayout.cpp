#include "WaveLayouts.h"

#include "common/ByteFields.h"
#include "common/UtcCalendar.h"

#include <algorithm>
#include <cstdio>

using namespace ByteFields;

namespace {

std::string formatLine(const char* format, long long value)
{
    char line[64];
    std::snprintf(line, sizeof line, format, value);
    return line;
}

} // namespace

Recognition tryToReadPerseusHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines)
{
    const std::vector<uint8_t> b = file.head(86);
    if (!idIs(&b[36], "rcvr"))
        return Recognition::Rejected;
    lines.push_back("Read Perseus file");
    d.layout = "Perseus";
    d.header.copyWaveFields(b.data());
    std::copy(&b[78], &b[82], d.header.chunkId);
    d.header.data_len = u32(&b[82]);

    const uint32_t centerFrequencyHz = u32(&b[44]);
    const int32_t samplingRateIdx = i32(&b[48]);
    const uint32_t timeStart = u32(&b[52]);
    const uint16_t attenId = u16(&b[56]);
    const auto adcPresel = static_cast<int8_t>(b[58]);
    const auto adcPreamp = static_cast<int8_t>(b[59]);
    const auto adcDither = static_cast<int8_t>(b[60]);

    const uint32_t byteRate = d.header.avg_bytes_per_sec;
    const uint32_t recSeconds = byteRate == 0 ? 0 : d.header.data_len / byteRate;
    d.start = timeStart;
    d.end = d.start + recSeconds;
    auto asSystemTime = [](int64_t unixSeconds) {
        const UtcCalendar::Fields f = UtcCalendar::fromUnix(unixSeconds);
        RecordingHeader::SystemTime t;
        t.wYear = static_cast<uint16_t>(f.year);
        t.wMonth = static_cast<uint16_t>(f.month);
        t.wDay = static_cast<uint16_t>(f.day);
        t.wHour = static_cast<uint16_t>(f.hour);
        t.wMinute = static_cast<uint16_t>(f.minute);
        t.wSecond = static_cast<uint16_t>(f.second);
        return t;
    };
    d.header.startTime = asSystemTime(d.start);
    d.header.stopTime = asSystemTime(d.end);

    static constexpr int32_t kBandwidths[5] = {100000, 200000, 400000, 800000, 1600000};
    static constexpr int32_t kSampleRates[5] = {125000, 250000, 500000, 1000000, 2000000};
    const bool tabled = samplingRateIdx >= 0 && samplingRateIdx <= 4;
    const int32_t bandwidth = tabled ? kBandwidths[samplingRateIdx] : 0;
    const int64_t sampleRate = tabled ? kSampleRates[samplingRateIdx] : int64_t{d.header.samples_per_sec};
    d.bitsPerSample = d.header.bits_per_sample;
    d.bandwidth = bandwidth;
    d.centerFreq = centerFrequencyHz;

    const UtcCalendar::Fields startFields = UtcCalendar::fromUnix(d.start);
    char startLine[96];
    std::snprintf(startLine, sizeof startLine, "%d %d %lld  %d %d %d", startFields.month,
                  startFields.day, static_cast<long long>(startFields.year - 1900), startFields.hour,
                  startFields.minute, startFields.second);
    auto asInt = [](int64_t value) { return static_cast<long long>(static_cast<int32_t>(value)); };
    lines.push_back(formatLine("Channels: %lld", d.header.channel));
    lines.push_back(formatLine("samples_per_sec: %lld", asInt(d.header.samples_per_sec)));
    lines.push_back(formatLine("avg_bytes_per_sec: %lld", asInt(d.header.avg_bytes_per_sec)));
    lines.push_back(formatLine("bits_per_sample: %lld", d.header.bits_per_sample));
    lines.push_back(formatLine("nCenterFrequencyHz: %lld", asInt(centerFrequencyHz)));
    lines.push_back(formatLine("nSamplingRateIdx: %lld", samplingRateIdx));
    lines.push_back(formatLine("timeStart: %lld", asInt(timeStart)));
    lines.push_back(startLine);
    lines.push_back(formatLine("wAttenId: %lld", attenId));
    lines.push_back(formatLine("bAdcPresel: %lld", adcPresel));
    lines.push_back(formatLine("bAdcPreamp: %lld", adcPreamp));
    lines.push_back(formatLine("bAdcDither: %lld", adcDither));
    lines.push_back("data: " + std::string(d.header.chunkId, 4));
    lines.push_back(formatLine("data_len: %lld", d.header.data_len));
    lines.push_back(formatLine("recSeconds: %lld", asInt(recSeconds)));
    lines.push_back(formatLine("waveheader samples_per_sec: %lld", asInt(d.header.samples_per_sec)));
    lines.push_back(formatLine("Bandwidth: %lld", bandwidth));
    lines.push_back(formatLine("mBitsPerSample: %lld", d.bitsPerSample));
    lines.push_back(formatLine("mSampleRate: %lld", asInt(sampleRate)));
    lines.push_back(formatLine("mBandwidth: %lld", bandwidth));
    lines.push_back(formatLine("mCenterFreq: %lld", asInt(centerFrequencyHz)));

    if (!d.takeSampleRate(sampleRate))
        return Recognition::Refused;
    const uint64_t perRate = d.header.f_len / static_cast<uint64_t>(d.sampleRate);
    if (d.bitsPerSample == 16)
        d.countSeconds(perRate / 4, 4);
    else if (d.bitsPerSample == 24)
        d.countSeconds(perRate / 6, 6);
    return Recognition::Accepted;
}
