#include "WaveLayouts.h"

#include "common/ByteFields.h"
#include "common/UtcCalendar.h"

using namespace ByteFields;

Recognition tryToSdrSdrStudio2(const LayoutSource& file, LayoutParameters& d)
{
    const std::vector<uint8_t> b = file.head(1000);
    if (u32(&b[40]) != 164 || !(idIs(&b[36], "rcvr") || idIs(&b[36], "auxi"))) {
        file.logRejection("Not SdrSdrStudio2");
        return Recognition::Rejected;
    }
    if (!idIs(&b[208], "data")) {
        file.logRejection("Not SdrSdrStudio2 bad chunk ID");
        return Recognition::Rejected;
    }
    d.layout = "SdrSdrStudio2";
    d.header.copyWaveFields(b.data());
    d.header.data_len = u32(&b[212]);
    auto timeAt = [&b](size_t offset) {
        return UtcCalendar::toUnix(i16(&b[offset]), i16(&b[offset + 2]), i16(&b[offset + 6]),
                                   i16(&b[offset + 8]), i16(&b[offset + 10]), i16(&b[offset + 12]));
    };
    d.start = timeAt(44);
    d.end = timeAt(60);
    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    const uint32_t bits = d.header.bits_per_sample;
    if (bits == 0) {
        d.refusal = "0 bits per sample";
        return Recognition::Refused;
    }
    const uint64_t quarterBytes = (uint64_t{d.header.f_len} / d.header.samples_per_sec * 4) & ~uint64_t{7};
    d.countSeconds(quarterBytes / bits, bits / 4);
    d.bandwidth = d.sampleRate;
    d.centerFreq = u32(&b[76]);
    d.bitsPerSample = static_cast<int32_t>(bits);
    d.header.CenterFreq = u32(&b[76]);
    d.header.Bandwidth = d.header.samples_per_sec;
    return Recognition::Accepted;
}
