#pragma once

#include "support/RecordingFixtures.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace carriertest {

// Small recordings for the carrier analysis: 16000 S/s around 1000 kHz hold
// the channels 999 and 1000 kHz, so that a whole analysis runs in moments.
inline constexpr uint32_t kRate = 16000;
inline constexpr int64_t kCenter = 1000000;
inline constexpr int kFftSize = 16384;
inline constexpr int64_t kStart = 1765000810; // 2025-12-06 06:00:10 UTC

// A carrier `offsetHz` from the centre whose frequency rises by `driftHzPerSecond`.
struct Carrier {
    double offsetHz = 0.0;
    double driftHzPerSecond = 0.0;
    double amplitude = 8000.0;
};

// An SdrRadio recording (16-bit I/Q) of `seconds` seconds holding the carriers.
inline fixtures::Recording recording(double seconds, int64_t start, const std::vector<Carrier>& carriers,
                                     uint32_t rate = kRate, int64_t center = kCenter)
{
    fixtures::WaveFormat format;
    format.sampleRate = rate;
    const auto frames = static_cast<int64_t>(seconds * rate);
    fixtures::Bytes samples;
    samples.v.reserve(static_cast<size_t>(frames) * 4);
    std::vector<double> phase(carriers.size(), 0.0);
    for (int64_t k = 0; k < frames; ++k) {
        double i = 0.0;
        double q = 0.0;
        const double t = static_cast<double>(k) / rate;
        for (size_t c = 0; c < carriers.size(); ++c) {
            i += carriers[c].amplitude * std::cos(phase[c]);
            q += carriers[c].amplitude * std::sin(phase[c]);
            const double f = carriers[c].offsetHz + carriers[c].driftHzPerSecond * t;
            phase[c] = std::fmod(phase[c] + 2.0 * M_PI * f / rate, 2.0 * M_PI);
        }
        samples.i16(static_cast<int16_t>(std::lround(i))).i16(static_cast<int16_t>(std::lround(q)));
    }
    fixtures::Bytes auxi;
    auxi.zeros(6).utf16(fixtures::sdrRadioText(16, rate, center, start));
    return fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 18)}, {"auxi", auxi}}, samples.v);
}

} // namespace carriertest
