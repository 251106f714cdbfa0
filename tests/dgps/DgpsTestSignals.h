#pragma once

#include "dgps/MskModulator.h"
#include "dgps/RtcmWord.h"
#include "common/ComplexSample.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace dgpstest {

inline std::string dataPath(const std::string& name)
{
#ifdef KORVEL_TEST_DATA
    return std::string(KORVEL_TEST_DATA) + "/" + name;
#else
    return name;
#endif
}

inline std::optional<std::vector<uint8_t>> readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// Bits of a real RTCM stream file, or nothing when the test data is absent.
inline std::optional<std::vector<uint8_t>> rtcmBits(const std::string& file)
{
    const auto bytes = readFile(dataPath("rtcm2/" + file));
    if (!bytes)
        return std::nullopt;
    return RtcmWord::unpackSixOfEight(bytes->data(), bytes->size());
}

// A first word in a bit stream, as an exact receiver would see it.
struct SentWord {
    size_t bit;       // index of its first bit
    int stationId;
    int type;
    int polarity;
    bool headerHolds; // so does the second word of the message
};

// Every place where a first word of any type starts: preamble either way up,
// parity holding with the two bits before it.
inline std::vector<SentWord> firstWordsIn(const std::vector<uint8_t>& bits)
{
    std::vector<SentWord> found;
    for (size_t i = 2; i + 30 <= bits.size(); ++i) {
        uint32_t raw = 0;
        for (int k = 0; k < 30; ++k)
            raw = raw << 1 | bits[i + k];
        const int polarity = (raw >> 22) == 0x99 ? 1 : (raw >> 22) == 0x66 ? 0 : -1;
        if (polarity < 0)
            continue;
        const uint32_t word = polarity ? raw ^ 0x3FFFFFFF : raw;
        if (!RtcmWord::parityHolds(word, bits[i - 2] ^ polarity, bits[i - 1] ^ polarity))
            continue;
        bool second = false;
        if (i + 60 <= bits.size()) {
            uint32_t next = 0;
            for (int k = 30; k < 60; ++k)
                next = next << 1 | bits[i + k];
            const int d29 = bits[i + 28], d30 = bits[i + 29];
            second = RtcmWord::parityHolds(d30 ? next ^ 0x3FFFFFC0 : next, d29, d30);
        }
        const int type = static_cast<int>(RtcmWord::messageType(word));
        found.push_back({i, static_cast<int>(RtcmWord::stationId(word)), type, polarity, second});
        // A word of another type whose message does not go on is a chance
        // pattern across two words: the real first word may begin within it.
        if (second || type == 6 || type == 9)
            i += 29;
    }
    return found;
}

// Complex white noise, each of I and Q with standard deviation sigma.
class Noise {
public:
    Noise(double sigma, uint64_t seed) : m_Rng(seed), m_Normal(0.0, sigma) {}
    void add(int n, ComplexSample* block)
    {
        for (int k = 0; k < n; ++k) {
            block[k].im += m_Normal(m_Rng);
            block[k].re += m_Normal(m_Rng);
        }
    }

private:
    std::mt19937_64 m_Rng;
    std::normal_distribution<double> m_Normal;
};

// Amplitude giving Eb/N0 (dB) against noise of sigma per component.
inline double amplitudeFor(double ebN0Db, double sigma, double sampleRate, double baud)
{
    return std::sqrt(std::pow(10.0, ebN0Db / 10.0) * 2.0 * sigma * sigma * baud / sampleRate);
}

} // namespace dgpstest
