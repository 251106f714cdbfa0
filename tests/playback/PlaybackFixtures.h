#pragma once

// A test recording, the audio of a selection as a WAV file run writes it, and
// a listener that takes the sound ring's output as a device would, for the
// playback tests.

#include "audio/SoundOutputObject.h"
#include "demod/DemodFileJob.h"
#include "demod/DemodPipeline.h"
#include "playback/PlaybackEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

namespace playbacktest {

constexpr const char* kAmName = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav"; // 7100 kHz, 03:04:05 UTC
constexpr const char* kOtherName = "SDRSharp_20140102_040000Z_7200000Hz_IQ.wav";
constexpr int kSeconds = 30;
constexpr int kRate = 48000;

// `seconds` of a 16-bit recording in the 44-byte layout holding an AM
// station 10 kHz above the centre, modulated with a 1 kHz tone.
inline void writeAmRecording(const std::string& path, int seconds, int rate)
{
    const uint32_t frames = static_cast<uint32_t>(rate) * seconds;
    std::vector<uint8_t> bytes(44 + 4ull * frames);
    auto put32 = [&bytes](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
    };
    std::copy_n("RIFF", 4, bytes.begin());
    put32(4, 36 + frames * 4);
    std::copy_n("WAVEfmt ", 8, bytes.begin() + 8);
    put32(16, 16);
    bytes[20] = 1;
    bytes[22] = 2;
    put32(24, rate);
    put32(28, rate * 4);
    bytes[32] = 4;
    bytes[34] = 16;
    std::copy_n("data", 4, bytes.begin() + 36);
    put32(40, frames * 4);
    for (uint32_t k = 0; k < frames; ++k) {
        const double t = static_cast<double>(k) / rate;
        const double carrier = 2.0 * std::numbers::pi * std::fmod(10000.0 * t, 1.0);
        const double envelope = 6000.0 * (1.0 + 0.5 * std::cos(2.0 * std::numbers::pi * std::fmod(1000.0 * t, 1.0)));
        const auto i = static_cast<int16_t>(std::lround(envelope * std::cos(carrier)));
        const auto q = static_cast<int16_t>(std::lround(envelope * std::sin(carrier)));
        uint8_t* at = bytes.data() + 44 + 4ull * k;
        at[0] = static_cast<uint8_t>(i & 0xFF);
        at[1] = static_cast<uint8_t>((i >> 8) & 0xFF);
        at[2] = static_cast<uint8_t>(q & 0xFF);
        at[3] = static_cast<uint8_t>((q >> 8) & 0xFF);
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// The audio a WAV file run writes for the selection `typed` in `mode`.
inline std::vector<int16_t> fileRunAudio(const std::string& folder, const std::string& name,
                                         const SelectionFields& typed, int mode)
{
    DemodPipeline pipeline;
    std::vector<std::string> lines;
    if (!pipeline.open(folder, name, lines).empty())
        return {};
    DemodSetup setup = pipeline.setUp(typed, mode);
    if (!setup.ok() || !pipeline.configure(setup, false, {}) || !pipeline.makeFeeder())
        return {};
    pipeline.demodulator().setShowsReadings(false);
    DemodFileJob job(pipeline.demodulator(), *pipeline.feeder(), setup.startSecond(), setup.endSecond(), folder,
                     "reference.wav");
    if (!job.run().ok)
        return {};
    std::ifstream in(folder + "/reference.wav", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> audio((bytes.size() - DemodFileJob::kWavHeaderBytes) / 2);
    for (size_t k = 0; k < audio.size(); ++k) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + DemodFileJob::kWavHeaderBytes + 2 * k;
        audio[k] = static_cast<int16_t>(p[0] | (p[1] << 8));
    }
    return audio;
}

// Takes the output as a device would, in pieces of irregular length, letting a
// manually run engine fill the ring before each piece.
class Listener {
public:
    Listener(SoundOutputObject& sound, PlaybackEngine& engine)
        : sound_(sound)
        , engine_(engine)
    {
    }

    // Hears `n` samples (silence included) and returns them.
    std::vector<int16_t> hear(int n)
    {
        std::vector<int16_t> heard;
        std::vector<int16_t> piece(4096);
        while (static_cast<int>(heard.size()) < n) {
            engine_.work();
            const int length = std::min({kPieces[next_++ % std::size(kPieces)], n - static_cast<int>(heard.size())});
            sound_.readSound(piece.data(), length);
            heard.insert(heard.end(), piece.begin(), piece.begin() + length);
        }
        return heard;
    }

    // Hears until the ring stays empty, and returns what came from it.
    std::vector<int16_t> hearToTheEnd()
    {
        std::vector<int16_t> heard;
        std::vector<int16_t> piece(4096);
        for (;;) {
            engine_.work();
            const int length = kPieces[next_++ % std::size(kPieces)];
            const int played = sound_.readSound(piece.data(), length);
            if (played == 0 && sound_.numSoundSamples() == 0)
                return heard;
            heard.insert(heard.end(), piece.begin(), piece.begin() + played);
        }
    }

private:
    static constexpr int kPieces[] = {882, 1, 4096, 257, 1024, 3000, 13};
    SoundOutputObject& sound_;
    PlaybackEngine& engine_;
    size_t next_ = 0;
};

} // namespace playbacktest
