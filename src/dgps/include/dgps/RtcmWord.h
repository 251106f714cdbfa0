#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// RTCM SC-104 version 2 words: 30 bits, 24 data bits then six parity bits
// formed from the data and the last two bits of the previous word (D29*, D30*)
// with the (32,26) Hamming equations of the GPS navigation message. Words are
// held as 30-bit numbers, the first bit sent most significant.
class RtcmWord {
public:
    static constexpr uint32_t kPreamble = 0x66;

    // The six parity bits (D25 most significant) of 24 source data bits
    // (d1 most significant), given the previous word's D29* and D30* (0 or 1).
    static uint32_t parity(uint32_t data24, int d29Star, int d30Star);

    // Whether a received 30-bit word passes its parity check. The data bits
    // are taken as received, so the caller undoes the D30* inversion first
    // (by inverting the whole word and the two bits before it when D30* is 1).
    static bool parityHolds(uint32_t word30, int d29Star, int d30Star);

    // The word as sent after a word that ended in D29*, D30*: data bits are
    // inverted when D30* is 1, the parity bits are not.
    static uint32_t encode(uint32_t data24, int d29Star, int d30Star);

    // Fields of a first word (data bits as sent with D30* = 0).
    static uint32_t messageType(uint32_t word30) { return (word30 >> 16) & 63; }
    static uint32_t stationId(uint32_t word30) { return (word30 >> 6) & 0x3FF; }

    // Bits of a serial "6-of-8" byte stream: every byte whose top two bits are
    // 0 1 carries six bits, the earliest in bit 0; other bytes carry none.
    static std::vector<uint8_t> unpackSixOfEight(const uint8_t* bytes, size_t count);
};
