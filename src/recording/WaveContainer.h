#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What the first bytes of a file say about its RIFF/WAVE container, and the
// messages for what it cannot be read as.
namespace WaveContainer {

// The length a recorder writes when it does not know it.
constexpr uint32_t kUnknownLength = 0xFFFFFFFF;

bool isChunkId(const uint8_t* p);
// RF64 and BW64 are RIFF/WAVE with 64-bit sizes in a "ds64" chunk.
bool isRf64(const uint8_t* first12);
bool isWave(const uint8_t* first12);
bool isRiffLike(const uint8_t* first12);
bool hasWavExtension(std::string_view name);
// What a file that is not RIFF/WAVE is, as far as its first bytes tell.
std::string notWave(const uint8_t* first12);
// Beyond two channels, the first two are I and Q (as multi-channel recorders
// write them); fewer cannot be I/Q.
bool iqChannelCount(uint16_t channels);
// What a "fmt " chunk declares that cannot be read as numbers.
std::string unsupportedSampleFormat(uint16_t tag, uint16_t bits);

} // namespace WaveContainer
