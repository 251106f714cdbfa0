#pragma once

#include "common/ComplexSample.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Minimum-shift keying of a bit sequence onto one channel of a recording's
// band, for demo recordings, tests and measurements: a 1 bit is sent on the
// upper tone (channel + baud/4), a 0 on the lower, with continuous phase.
// Silent before the first bit and after the last.
class MskModulator {
public:
    // offsetHz: channel frequency minus the recording's centre, Hz (|offset| <
    // sampleRate/2); baud: bits per second (> 0); sampleRate: S/s; amplitude:
    // 16-bit units; firstSample: the input sample at which bit 0 begins.
    MskModulator(double offsetHz, double baud, double sampleRate, double amplitude, std::vector<uint8_t> bits,
                 int64_t firstSample);

    // Adds the signal of samples first .. first + n - 1 to block[0 .. n).
    void add(int64_t first, int n, ComplexSample* block) const;

    // The sample at which bit k begins (truncated).
    int64_t bitStart(size_t k) const;
    // The first sample after the last bit.
    int64_t endSample() const { return bitStart(m_Bits.size()); }
    const std::vector<uint8_t>& bits() const { return m_Bits; }

private:
    double m_Offset, m_Baud, m_SampleRate, m_Amplitude;
    std::vector<uint8_t> m_Bits;
    std::vector<double> m_PhaseAtBit; // MSK phase at the start of each bit, radians
    int64_t m_First;
};
