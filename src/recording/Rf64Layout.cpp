#include "WaveLayouts.h"

#include "LayoutNames.h"
#include "WaveChunks.h"
#include "recording/IqFileName.h"

#include <algorithm>
#include <optional>

using namespace LayoutNames;

Recognition readRf64Header(const LayoutSource& file, const WaveChunks& chunks, LayoutParameters& d,
                           std::vector<std::string>& lines)
{
    if (!chunks.sizesIn64Bits) {
        d.refusal = "an RF64 file without its \"ds64\" chunk";
        return Recognition::Refused;
    }
    if (!chunks.formatFound) {
        d.refusal = "an RF64 file without a \"fmt \" chunk";
        return Recognition::Refused;
    }
    d.layout = "RF64";
    if (!d.takeSampleRate(chunks.declaredRate))
        return Recognition::Refused;
    d.bandwidth = d.sampleRate;
    d.bitsPerSample = chunks.declaredBits;
    d.endFollowsSeconds = true;
    d.header.channel = chunks.declaredChannels;
    d.header.samples_per_sec = chunks.declaredRate;
    d.header.bits_per_sample = chunks.declaredBits;
    const IqFileName named = IqFileName::parse(file.fileName);
    if (const std::optional<KiwiName> kiwi = kiwiName(file.fileName)) {
        d.centerFreq = kiwi->frequency;
        d.start = kiwi->start;
    } else if (named.convention == "SDR++") {
        d.centerFreq = named.centerFreq.value_or(0.0);
        d.start = named.start.value_or(0);
    } else {
        lines.push_back("No receiver information: centre frequency and start time unknown");
        d.startKnown = false;
    }
    d.header.CenterFreq = static_cast<uint32_t>(std::clamp(d.centerFreq, 0.0, double{UINT32_MAX}));
    d.header.Bandwidth = static_cast<uint32_t>(d.sampleRate);
    lines.insert(lines.begin(), "RF64 file");
    return Recognition::Accepted;
}
