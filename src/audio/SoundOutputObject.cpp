#include "audio/SoundOutputObject.h"

#include "common/SystemLog.h"

#include <algorithm>
#include <cmath>

SoundOutputObject::SoundOutputObject()
    : fracResampler(kMaxResamplerInput), soundScratch(kSoundScratchSize), soundRing(kSoundRingSize)
{
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
        appendToRing(soundScratch.data(), out);
        done += len;
    }
}

void SoundOutputObject::appendToRing(const double* samples, int n)
{
    const int write = soundWritePos.load(std::memory_order_relaxed);
    const int read = soundReadPos.load(std::memory_order_acquire);
    int waiting = write - read;
    if (waiting < 0)
        waiting += kSoundRingSize;
    // Overwriting unplayed audio would corrupt it and the reader's count: the
    // newest samples give way instead.
    const int room = kSoundRingSize - 1 - waiting;
    if (n > room) {
        if (!ringFullLogged_)
            SystemLog("sound ring full: %d samples dropped", n - room);
        ringFullLogged_ = true;
        n = room;
    } else {
        ringFullLogged_ = false;
    }
    const int first = std::min(n, kSoundRingSize - write);
    std::copy(samples, samples + first, soundRing.begin() + write);
    std::copy(samples + first, samples + n, soundRing.begin());
    soundWritePos.store((write + n) % kSoundRingSize, std::memory_order_release);
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
    fracResampler.Reset();
    soundFlushTo_.store(soundWritePos.load(std::memory_order_relaxed), std::memory_order_release);
}

int SoundOutputObject::numSoundSamples() const
{
    const int waiting = soundWritePos.load(std::memory_order_acquire) - soundReadPos.load(std::memory_order_acquire);
    return waiting < 0 ? waiting + kSoundRingSize : waiting;
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

int SoundOutputObject::readSound(int16_t* out, int n)
{
    std::fill(out, out + n, int16_t{0});
    const int write = soundWritePos.load(std::memory_order_acquire);
    if (soundNoOutput.load(std::memory_order_acquire)) {
        // The reader empties the ring by catching up with the writer; resetting
        // both positions to 0 would race a writer on another thread.
        soundReadPos.store(write, std::memory_order_release);
        bufferLeft_ = 0;
        return 0;
    }
    int read = soundReadPos.load(std::memory_order_relaxed);
    const int flushTo = soundFlushTo_.exchange(-1, std::memory_order_acq_rel);
    auto ahead = [read](int position) { return (position - read + kSoundRingSize) % kSoundRingSize; };
    if (flushTo >= 0 && ahead(flushTo) <= ahead(write)) {
        read = flushTo;
        bufferLeft_ = 0;
    }
    const double gain = playbackVolume_.load(std::memory_order_relaxed);
    int played = 0;
    while (played < n) {
        if (bufferLeft_ == 0) {
            if (ahead(write) - ahead(read) < frameCount)
                break;
            bufferLeft_ = frameCount;
        }
        const int take = std::min({n - played, bufferLeft_, kSoundRingSize - read});
        for (int i = 0; i < take; ++i) {
            const double v = std::clamp(soundRing[read + i] * gain, -32767.0, 32767.0);
            out[played + i] = v == v ? static_cast<int16_t>(v) : 0;
        }
        played += take;
        bufferLeft_ -= take;
        read = (read + take) % kSoundRingSize;
    }
    soundReadPos.store(read, std::memory_order_release);
    return played;
}
