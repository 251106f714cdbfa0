#include "WaveLayouts.h"

#include "LayoutNames.h"
#include "common/ByteFields.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string_view>

using namespace ByteFields;
using namespace LayoutNames;

namespace {

int32_t clampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

Recognition tryToSdrRadioHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines)
{
    const std::vector<uint8_t> b = file.head(10000);
    const int32_t auxiLength = i32(&b[42]);
    if (auxiLength < 0 || auxiLength >= 4001 || !idIs(&b[38], "auxi") || !idIs(&b[46 + auxiLength], "data")) {
        file.logRejection("Not SdrRadio");
        return Recognition::Rejected;
    }

    // The auxi text is UTF-16; its low bytes are the ASCII we look for.
    std::string text;
    for (size_t i = 0; i < 4000 && b[52 + 2 * i] != 0; ++i)
        text.push_back(static_cast<char>(b[52 + 2 * i]));

    // Each value is quoted: it starts one character after the key.
    auto valueOf = [&text](std::string_view key) -> std::optional<int64_t> {
        const size_t at = text.find(key);
        if (at == std::string::npos)
            return std::nullopt;
        return leadingInteger(charactersAt(text, at + key.size() + 1, std::string::npos));
    };
    const auto bits = valueOf("BitsPerSample=");
    const auto bytesPerSecond = valueOf("BytesPerSecond=");
    const auto centerFreq = valueOf("RadioCenterFreq=");
    const auto sampleRate = valueOf("SampleRate=");
    const auto utcSeconds = valueOf("UTCSeconds=");
    if (!bits || !bytesPerSecond || !centerFreq || !sampleRate || !utcSeconds) {
        file.logRejection("Not SdrRadio");
        return Recognition::Rejected;
    }

    d.layout = "SdrRadio";
    d.header.copyWaveFields(b.data());
    if (!d.takeSampleRate(*sampleRate))
        return Recognition::Refused;
    d.bitsPerSample = clampToInt32(*bits);
    const uint64_t perRate = d.header.f_len / static_cast<uint64_t>(d.sampleRate);
    switch (d.bitsPerSample) {
    case 16: d.countSeconds(perRate / 4, 4); break;
    case 24: d.countSeconds(perRate / 6, 6); break;
    case 32: d.countSeconds(perRate / 8, 8); break;
    default: d.countSeconds(perRate, 1); break;
    }
    d.bandwidth = d.sampleRate;
    d.centerFreq = static_cast<double>(*centerFreq);
    d.start = static_cast<int32_t>(static_cast<uint32_t>(*utcSeconds));
    d.endFollowsSeconds = true;
    d.header.CenterFreq = static_cast<uint32_t>(*centerFreq);
    d.header.Bandwidth = static_cast<uint32_t>(d.sampleRate);
    return Recognition::Accepted;
}
