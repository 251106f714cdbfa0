#include "WaveLayouts.h"

#include "common/ByteFields.h"

using namespace ByteFields;

Recognition tryToSdrSdrStudio1(const LayoutSource& file, LayoutParameters& d)
{
    const std::vector<uint8_t> b = file.head(1000);
    if (u32(&b[40]) != 38 || !(idIs(&b[36], "rcvr") || idIs(&b[36], "auxi"))) {
        file.logRejection("Not SdrSdrStudio1");
        return Recognition::Rejected;
    }
    d.layout = "SdrSdrStudio1";
    d.header.copyWaveFields(b.data());
    d.header.data_len = u32(&b[86]);
    if (d.header.bits_per_sample == 32)
        d.header.bits_per_sample = 24;
    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    d.countSeconds(d.header.f_len / d.header.samples_per_sec / 4, 4);
    d.bandwidth = d.sampleRate;
    d.centerFreq = u32(&b[44]);
    d.bitsPerSample = d.header.bits_per_sample;
    d.start = i32(&b[52]);
    d.endFollowsSeconds = true;
    d.header.CenterFreq = u32(&b[44]);
    d.header.Bandwidth = d.header.samples_per_sec;
    return Recognition::Accepted;
}
