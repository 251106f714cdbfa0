#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <utility>

// 16-bit recordings in the 44-byte layout whose name carries the centre
// frequency and start time (kAmRecordingName: 7100 kHz, 2 Jan 2014 03:04:05
// UTC), holding one station at kAmCarrierOffsetHz above the centre.
inline constexpr const char* kAmRecordingName = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";
inline constexpr double kAmCarrierOffsetHz = 10000.0;

// Writes `seconds` seconds at `rate` S/s of sample(k) = (I, Q) in 16-bit
// units; without `sample`, a sparse file of zeros.
inline bool writeIqRecording(const QString& path, int seconds, uint32_t rate,
                             const std::function<std::pair<double, double>(int64_t k)>& sample)
{
    const uint64_t frames = static_cast<uint64_t>(rate) * seconds;
    QByteArray header(44, '\0');
    auto put32 = [&header](int at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            header[at + k] = static_cast<char>(v >> (8 * k));
    };
    header.replace(0, 4, "RIFF");
    put32(4, static_cast<uint32_t>(36 + frames * 4));
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    header[20] = 1;
    header[22] = 2;
    put32(24, rate);
    put32(28, rate * 4);
    header[32] = 4;
    header[34] = 16;
    header.replace(36, 4, "data");
    put32(40, static_cast<uint32_t>(frames * 4));

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size())
        return false;
    if (!sample)
        return file.resize(44 + static_cast<qint64>(frames) * 4);
    QByteArray second(static_cast<qsizetype>(rate) * 4, '\0');
    for (int s = 0; s < seconds; ++s) {
        for (uint32_t k = 0; k < rate; ++k) {
            const auto [iValue, qValue] = sample(static_cast<int64_t>(s) * rate + k);
            const auto i = static_cast<int16_t>(std::lround(iValue));
            const auto q = static_cast<int16_t>(std::lround(qValue));
            second[4 * k] = static_cast<char>(i & 0xFF);
            second[4 * k + 1] = static_cast<char>((i >> 8) & 0xFF);
            second[4 * k + 2] = static_cast<char>(q & 0xFF);
            second[4 * k + 3] = static_cast<char>((q >> 8) & 0xFF);
        }
        if (file.write(second) != second.size())
            return false;
    }
    return true;
}

// An AM station; toneOfSecond(s): the modulating tone of second s, Hz.
inline bool writeAmRecording(const QString& path, int seconds, uint32_t rate,
                             const std::function<double(int)>& toneOfSecond, double depth = 0.5)
{
    double tonePhase = 0.0;
    return writeIqRecording(path, seconds, rate, [&](int64_t k) {
        const double t = static_cast<double>(k) / rate;
        const double carrierPhase = 2.0 * std::numbers::pi * std::fmod(kAmCarrierOffsetHz * t, 1.0);
        const double envelope = 6000.0 * (1.0 + depth * std::cos(tonePhase));
        tonePhase = std::fmod(tonePhase + 2.0 * std::numbers::pi * toneOfSecond(static_cast<int>(k / rate)) / rate,
                              2.0 * std::numbers::pi);
        return std::pair{envelope * std::cos(carrierPhase), envelope * std::sin(carrierPhase)};
    });
}

// A wide-FM station at kAmCarrierOffsetHz whose multiplex is a 19 kHz pilot,
// 10 kHz deviation.
inline bool writeWfmRecording(const QString& path, int seconds, uint32_t rate)
{
    return writeIqRecording(path, seconds, rate, [rate](int64_t k) {
        const double t = static_cast<double>(k) / rate;
        const double phase = 2.0 * std::numbers::pi * std::fmod(kAmCarrierOffsetHz * t, 1.0) +
                             10000.0 / 19000.0 * std::sin(2.0 * std::numbers::pi * std::fmod(19000.0 * t, 1.0));
        return std::pair{6000.0 * std::cos(phase), 6000.0 * std::sin(phase)};
    });
}
