#include "audio/SoundOutputObject.h"

#include "common/SystemLog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <numbers>

namespace {

// Gain of a cut's fade with `left` samples of it still to play (1..kFadeSamples):
// a raised cosine from just below 1 down to just above 0.
const std::array<float, SoundOutputObject::kFadeSamples + 1>& FadeGains()
{
    static const auto gains = [] {
        std::array<float, SoundOutputObject::kFadeSamples + 1> g{};
        for (int left = 0; left <= SoundOutputObject::kFadeSamples; ++left)
            g[left] = static_cast<float>(
                0.5 - 0.5 * std::cos(std::numbers::pi * left / (SoundOutputObject::kFadeSamples + 1)));
        return g;
    }();
    return gains;
}

int16_t Limited(double v)
{
    v = std::clamp(v, -32767.0, 32767.0);
    return v == v ? static_cast<int16_t>(v) : int16_t{0};
}

} // namespace

SoundOutputObject::SoundOutputObject()
    : fracResampler(kMaxResamplerInput), soundScratch(kSoundScratchSize), soundFloats(kSoundScratchSize),
      soundRing(kSoundRingSize)
{
    FadeGains();
}

void SoundOutputObject::addSoundData(const double* data, int n, double rate)
{
    if (n <= 0)
        return;
    if (!(rate >= 2.0) || !std::isfinite(rate)) {
        SystemLog("sound output: rate %g Hz refused", rate);
        return;
    }
    const double ratio = rate * kOutputPeriod;
    // The resampler emits at most piece / ratio + 1 samples per call; the
    // piece is kept small enough for that to fit in soundScratch.
    const int piece = std::clamp(static_cast<int>((kSoundScratchSize - 2) * ratio), 1, kMaxResamplerInput);
    for (int done = 0; done < n;) {
        const int len = std::min(piece, n - done);
        const int out = fracResampler.ResampleLength(len, ratio, data + done, soundScratch.data());
        std::copy(soundScratch.begin(), soundScratch.begin() + out, soundFloats.begin());
        appendToRing(soundFloats.data(), out);
        done += len;
    }
}

void SoundOutputObject::addAudio(const int16_t* samples, int n)
{
    for (int done = 0; done < n;) {
        const int len = std::min(n - done, kSoundScratchSize);
        std::copy(samples + done, samples + done + len, soundFloats.begin());
        appendToRing(soundFloats.data(), len);
        done += len;
    }
}

int SoundOutputObject::room() const
{
    return kSoundRingSize - 1 - numSoundSamples();
}

void SoundOutputObject::appendToRing(const float* samples, int n)
{
    const int64_t total = writeTotal_.load(std::memory_order_relaxed);
    const auto waiting = static_cast<int>(total - readTotal_.load(std::memory_order_acquire));
    // Overwriting unplayed audio would corrupt it and the reader's count: the
    // newest samples give way instead.
    const int space = kSoundRingSize - 1 - waiting;
    if (n > space) {
        if (!ringFullLogged_)
            SystemLog("sound ring full: %d samples dropped", n - space);
        ringFullLogged_ = true;
        n = space;
    } else {
        ringFullLogged_ = false;
    }
    const auto write = static_cast<int>(total % kSoundRingSize);
    const int first = std::min(n, kSoundRingSize - write);
    std::copy(samples, samples + first, soundRing.begin() + write);
    std::copy(samples + first, samples + n, soundRing.begin());
    writeTotal_.store(total + n, std::memory_order_release);
}

void SoundOutputObject::setNoOutput(bool noOutput)
{
    if (noOutput)
        flush();
    soundNoOutput.store(noOutput, std::memory_order_release);
}

void SoundOutputObject::flush()
{
    // What follows is a new stream: the resampler must not carry the old one into it.
    fracResampler.reset();
    flushTo_.store(writeTotal_.load(std::memory_order_relaxed), std::memory_order_release);
}

int64_t SoundOutputObject::cut()
{
    fracResampler.reset();
    const int64_t at = writeTotal_.load(std::memory_order_relaxed);
    cutTo_.store(at, std::memory_order_release);
    return at;
}

void SoundOutputObject::markStreamEnd()
{
    streamEndAt_.store(writeTotal_.load(std::memory_order_relaxed), std::memory_order_release);
}

int SoundOutputObject::numSoundSamples() const
{
    return static_cast<int>(writeTotal_.load(std::memory_order_acquire) -
                            readTotal_.load(std::memory_order_acquire));
}

void SoundOutputObject::setPlaybackVolume(double volume)
{
    playbackVolume_.store(volume, std::memory_order_relaxed);
}

double SoundOutputObject::playbackVolume() const
{
    return playbackVolume_.load(std::memory_order_relaxed);
}

bool SoundOutputObject::fillSoundBuffer(int16_t* buffer)
{
    return readSound(buffer, frameCount) > 0;
}

void SoundOutputObject::skipTo(int64_t total)
{
    readTotal_.store(total, std::memory_order_release);
    bufferLeft_ = 0;
    fadeLeft_ = 0;
    fadingTo_ = -1;
    sounding_ = false;
}

int SoundOutputObject::readSound(int16_t* out, int n)
{
    // Never contended in the app, where one device reads; a test may read too.
    const std::lock_guard lock(readerMutex_);
    std::fill(out, out + n, int16_t{0});
    // The write total is read before the requests, so that every request seen
    // lies at or before it.
    const int64_t write = writeTotal_.load(std::memory_order_acquire);
    const int64_t flushTo = flushTo_.exchange(-1, std::memory_order_acq_rel);
    const int64_t cutTo = cutTo_.exchange(-1, std::memory_order_acq_rel);
    if (soundNoOutput.load(std::memory_order_acquire)) {
        skipTo(write);
        return 0;
    }
    int64_t read = readTotal_.load(std::memory_order_relaxed);
    if (flushTo >= read) {
        skipTo(flushTo);
        read = flushTo;
    }
    if (cutTo > read) {
        // Only audio in play fades; a stream that has not started yet is dropped at once.
        if (bufferLeft_ > 0 || fadeLeft_ > 0 || sounding_) {
            fadeLeft_ = static_cast<int>(std::min<int64_t>(fadeLeft_ > 0 ? fadeLeft_ : kFadeSamples, cutTo - read));
            fadingTo_ = cutTo;
        } else {
            skipTo(cutTo);
            read = cutTo;
        }
    }
    const int64_t streamEnd = streamEndAt_.load(std::memory_order_acquire);
    const std::array<float, kFadeSamples + 1>& fade = FadeGains();
    const double gain = playbackVolume_.load(std::memory_order_relaxed);
    int played = 0;
    while (played < n) {
        const auto at = static_cast<int>(read % kSoundRingSize);
        if (fadeLeft_ > 0) {
            const int take = std::min({n - played, fadeLeft_, kSoundRingSize - at});
            for (int i = 0; i < take; ++i)
                out[played + i] = Limited(soundRing[at + i] * gain * fade[fadeLeft_ - i]);
            played += take;
            fadeLeft_ -= take;
            read += take;
            if (fadeLeft_ == 0) {
                read = fadingTo_;
                fadingTo_ = -1;
                bufferLeft_ = 0;
            }
            continue;
        }
        if (bufferLeft_ == 0) {
            const int64_t waiting = write - read;
            if (waiting >= frameCount)
                bufferLeft_ = frameCount;
            else if (waiting > 0 && streamEnd == write)
                bufferLeft_ = static_cast<int>(waiting);
            else
                break;
        }
        const int take = std::min({n - played, bufferLeft_, kSoundRingSize - at});
        for (int i = 0; i < take; ++i)
            out[played + i] = Limited(soundRing[at + i] * gain);
        played += take;
        bufferLeft_ -= take;
        read += take;
    }
    sounding_ = played == n;
    readTotal_.store(read, std::memory_order_release);
    return played;
}
