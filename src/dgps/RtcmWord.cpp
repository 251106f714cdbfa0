#include "dgps/RtcmWord.h"

#include <bit>

namespace {

// Data bits d1 .. d24 in each parity equation, d1 as bit 23 of the mask.
constexpr uint32_t maskOf(std::initializer_list<int> bits)
{
    uint32_t mask = 0;
    for (int b : bits)
        mask |= 1u << (24 - b);
    return mask;
}

struct Equation {
    uint32_t dataMask;
    bool usesD29Star; // otherwise D30*
};

constexpr Equation kEquations[6] = {
    {maskOf({1, 2, 3, 5, 6, 10, 11, 12, 13, 14, 17, 18, 20, 23}), true},
    {maskOf({2, 3, 4, 6, 7, 11, 12, 13, 14, 15, 18, 19, 21, 24}), false},
    {maskOf({1, 3, 4, 5, 7, 8, 12, 13, 14, 15, 16, 19, 20, 22}), true},
    {maskOf({2, 4, 5, 6, 8, 9, 13, 14, 15, 16, 17, 20, 21, 23}), false},
    {maskOf({1, 3, 5, 6, 7, 9, 10, 14, 15, 16, 17, 18, 21, 22, 24}), false},
    {maskOf({3, 5, 6, 8, 9, 10, 11, 13, 15, 19, 22, 23, 24}), true},
};

} // namespace

uint32_t RtcmWord::parity(uint32_t data24, int d29Star, int d30Star)
{
    uint32_t bits = 0;
    for (const Equation& e : kEquations) {
        const uint32_t star = static_cast<uint32_t>(e.usesD29Star ? d29Star : d30Star) & 1;
        bits = bits << 1 | ((std::popcount(data24 & e.dataMask) & 1) ^ star);
    }
    return bits;
}

bool RtcmWord::parityHolds(uint32_t word30, int d29Star, int d30Star)
{
    return parity(word30 >> 6, d29Star, d30Star) == (word30 & 63);
}

uint32_t RtcmWord::encode(uint32_t data24, int d29Star, int d30Star)
{
    data24 &= 0xFFFFFF;
    const uint32_t sent = d30Star ? data24 ^ 0xFFFFFF : data24;
    return sent << 6 | parity(data24, d29Star, d30Star);
}

std::vector<uint8_t> RtcmWord::unpackSixOfEight(const uint8_t* bytes, size_t count)
{
    std::vector<uint8_t> bits;
    bits.reserve(count * 6);
    for (size_t i = 0; i < count; ++i) {
        if ((bytes[i] & 0xC0) != 0x40)
            continue;
        for (int b = 0; b < 6; ++b)
            bits.push_back((bytes[i] >> b) & 1);
    }
    return bits;
}
