#include "dgps/MskModulator.h"

#include <cmath>
#include <numbers>

MskModulator::MskModulator(double offsetHz, double baud, double sampleRate, double amplitude,
                           std::vector<uint8_t> bits, int64_t firstSample)
    : m_Offset(offsetHz), m_Baud(baud), m_SampleRate(sampleRate), m_Amplitude(amplitude), m_Bits(std::move(bits)),
      m_First(firstSample)
{
    m_PhaseAtBit.reserve(m_Bits.size() + 1);
    double phase = 0.0;
    for (uint8_t b : m_Bits) {
        m_PhaseAtBit.push_back(phase);
        phase = std::fmod(phase + (b ? 0.5 : -0.5) * std::numbers::pi, 2.0 * std::numbers::pi);
    }
    m_PhaseAtBit.push_back(phase);
}

int64_t MskModulator::bitStart(size_t k) const
{
    return m_First + static_cast<int64_t>(static_cast<double>(k) * m_SampleRate / m_Baud);
}

void MskModulator::add(int64_t first, int n, ComplexSample* block) const
{
    const double carrierStep = 2.0 * std::numbers::pi * m_Offset / m_SampleRate;
    for (int k = 0; k < n; ++k) {
        const int64_t s = first + k;
        const double bitTime = static_cast<double>(s - m_First) * m_Baud / m_SampleRate;
        if (bitTime < 0.0 || bitTime >= static_cast<double>(m_Bits.size()))
            continue;
        const size_t bit = static_cast<size_t>(bitTime);
        const double msk = m_PhaseAtBit[bit] + (m_Bits[bit] ? 0.5 : -0.5) * std::numbers::pi * (bitTime - bit);
        const double carrier = std::fmod(carrierStep * static_cast<double>(s), 2.0 * std::numbers::pi);
        // In-phase in im, quadrature in re, as the recording readers deliver them.
        block[k].im += m_Amplitude * std::cos(carrier + msk);
        block[k].re += m_Amplitude * std::sin(carrier + msk);
    }
}
