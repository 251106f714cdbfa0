#include "WaveContainer.h"

#include "common/ByteFields.h"

#include <algorithm>
#include <cstdio>

using namespace ByteFields;

namespace WaveContainer {

namespace {

constexpr uint16_t kMaxIqChannels = 16;

const char* formatTagName(uint16_t tag)
{
    switch (tag) {
    case 0x0002: return "ADPCM";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0050: return "MPEG";
    case 0x0055: return "MP3";
    case 0x00FF: return "AAC";
    case 0x2000: return "AC-3";
    default: return nullptr;
    }
}

} // namespace

bool iqChannelCount(uint16_t channels) { return channels >= 2 && channels <= kMaxIqChannels; }

std::string unsupportedSampleFormat(uint16_t tag, uint16_t bits)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", tag);
    if (tag == 1 || tag == 3)
        return "unsupported sample format: " + std::to_string(bits) + "-bit " + (tag == 1 ? "PCM" : "float") +
               " (format tag " + hex + ")";
    const char* name = formatTagName(tag);
    return std::string("unsupported sample format: format tag ") + hex + (name ? std::string(" (") + name + ")" : "") +
           ", not PCM or float";
}

bool isChunkId(const uint8_t* p)
{
    return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

bool isRf64(const uint8_t* first12) { return (idIs(first12, "RF64") || idIs(first12, "BW64")) && idIs(first12 + 8, "WAVE"); }
bool isWave(const uint8_t* first12) { return (idIs(first12, "RIFF") && idIs(first12 + 8, "WAVE")) || isRf64(first12); }
bool isRiffLike(const uint8_t* first12) { return idIs(first12, "RIFF") || idIs(first12, "RF64") || idIs(first12, "BW64"); }

bool hasWavExtension(std::string_view name)
{
    return name.size() >= 4 && (name.substr(name.size() - 4) == ".wav" || name.substr(name.size() - 4) == ".WAV");
}

std::string notWave(const uint8_t* first12)
{
    if (idIs(first12, ".snd"))
        return "not a WAV file (a Sun/NeXT .au audio file)";
    if (idIs(first12, "RIFF"))
        return "not a WAV file (a RIFF file of type \"" +
               (isChunkId(first12 + 8) ? std::string(reinterpret_cast<const char*>(first12 + 8), 4) : "?") + "\")";
    if (idIs(first12, "RF64") || idIs(first12, "BW64"))
        return "not a WAV file (an RF64 file of another type)";
    return "not a WAV file (no RIFF/WAVE header: raw samples, such as .cu8 or .bin captures, are not read)";
}

} // namespace WaveContainer
