#include "WaveLayouts.h"

#include "LayoutNames.h"
#include "common/ByteFields.h"
#include "common/UtcCalendar.h"
#include "recording/IqFileName.h"

#include <algorithm>
#include <optional>

using namespace ByteFields;
using namespace LayoutNames;

Recognition readRfspaceHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines)
{
    const std::vector<uint8_t> b = file.head(RecordingHeader::kSize);
    // Bytes 44 to 113 describe the receiver only when they are the "auxi" chunk;
    // in a plain WAVE file they are samples. Such a file is named as what it
    // is, not after the layout whose reader takes it.
    const bool hasReceiverInfo = idIs(&b[36], "auxi");
    const std::optional<KiwiName> kiwi = hasReceiverInfo ? std::nullopt : kiwiName(file.fileName);
    d.layout = hasReceiverInfo ? "SpectraVue" : kiwi ? "KiwiSDR WAV" : "WAV";
    lines.push_back(hasReceiverInfo ? "Read Spectravue file" : "Read " + d.layout + " file");
    d.header = RecordingHeader::fromBytes(b.data());
    auto timeOf = [](const RecordingHeader::SystemTime& t) {
        return UtcCalendar::toUnix(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    };
    // Samples read as receiver information would give a nonsense band, centre
    // and date; a plain file keeps the band of its sample rate instead.
    if (!hasReceiverInfo)
        d.header.clearReceiverInfo();
    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    d.countSeconds(d.header.f_len / d.header.samples_per_sec / 4, 4);
    if (hasReceiverInfo) {
        d.start = timeOf(d.header.startTime);
        d.end = timeOf(d.header.stopTime);
    } else if (kiwi) {
        lines.push_back("KiwiSDR file: centre frequency and start time from its name");
        d.start = kiwi->start;
        d.header.CenterFreq = static_cast<uint32_t>(std::min(kiwi->frequency, double{UINT32_MAX}));
        d.endFollowsSeconds = true;
    } else if (const IqFileName named = IqFileName::parse(file.fileName); named.convention == "SDR++") {
        lines.push_back("SDR++ file: centre frequency and start time from its name");
        d.start = named.start.value_or(0);
        d.header.CenterFreq = static_cast<uint32_t>(std::clamp(named.centerFreq.value_or(0.0), 0.0, double{UINT32_MAX}));
        d.endFollowsSeconds = true;
    } else {
        lines.push_back("No receiver information: centre frequency and start time unknown");
        d.start = 0;
        d.startKnown = false;
        d.endFollowsSeconds = true;
    }
    d.bandwidth = hasReceiverInfo ? static_cast<double>(d.header.Bandwidth) : d.sampleRate;
    d.centerFreq = d.header.CenterFreq;
    d.bitsPerSample = 16;
    d.widthAssumed = true;
    return Recognition::Accepted;
}
