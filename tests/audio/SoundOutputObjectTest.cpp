#include "audio/SoundOutputObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr int resamplerDelay = 14;  // outputs of the zeroed history before the first input

// At 44100 Hz the resampler passes values through with a fixed delay; x + 0.5
// truncates back to x whatever the last bits of the kernel sum are.
double countingValue(long k)
{
    return static_cast<double>(k % 30000) + 0.5;
}

int16_t countingSample(long k)
{
    return k < resamplerDelay ? 0 : static_cast<int16_t>((k - resamplerDelay) % 30000);
}

class SoundOutputObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sound.setPlaybackVolume(1.0);
        sound.setNoOutput(false);
    }

    // Adds `n` values of the counting sequence at 44100 Hz, in pipeline-sized blocks.
    void addCounting(int n)
    {
        std::vector<double> block;
        for (int done = 0; done < n;) {
            const int len = std::min(441, n - done);
            block.resize(len);
            for (int i = 0; i < len; ++i)
                block[i] = countingValue(written + i);
            sound.addSoundData(block.data(), len, 44100.0);
            written += len;
            done += len;
        }
    }

    // Takes one buffer and checks that it continues the counting sequence.
    void expectCountingBuffer()
    {
        ASSERT_TRUE(sound.fillSoundBuffer(buffer.data()));
        for (int i = 0; i < SoundOutputObject::frameCount; ++i, ++played)
            ASSERT_EQ(buffer[i], countingSample(played)) << "sample " << played;
    }

    SoundOutputObject sound;
    std::vector<int16_t> buffer = std::vector<int16_t>(SoundOutputObject::frameCount, 1);
    long written = 0;
    long played = 0;
};

TEST(SoundOutputObject, StartsSilentAndFlushesUntilOutputIsSwitchedOn)
{
    SoundOutputObject sound;
    sound.setPlaybackVolume(1.0);
    std::vector<int16_t> buffer(SoundOutputObject::frameCount, 7);
    EXPECT_EQ(sound.numSoundSamples(), 0);
    EXPECT_FALSE(sound.fillSoundBuffer(buffer.data()));
    EXPECT_EQ(buffer, std::vector<int16_t>(SoundOutputObject::frameCount, 0));

    std::vector<double> tone(20000, 1000.0);
    sound.addSoundData(tone.data(), 20000, 44100.0);
    EXPECT_EQ(sound.numSoundSamples(), 20000);
    EXPECT_FALSE(sound.fillSoundBuffer(buffer.data()));
    EXPECT_EQ(sound.numSoundSamples(), 0);

    sound.setNoOutput(false);
    sound.addSoundData(tone.data(), 20000, 44100.0);
    EXPECT_TRUE(sound.fillSoundBuffer(buffer.data()));
    EXPECT_EQ(buffer[SoundOutputObject::frameCount - 1], 1000);
    EXPECT_EQ(sound.numSoundSamples(), 20000 - SoundOutputObject::frameCount);
}

TEST_F(SoundOutputObjectTest, PlaysOnlyWholeBuffersAndKeepsAnIncompleteOneWaiting)
{
    addCounting(SoundOutputObject::frameCount - 1);
    EXPECT_FALSE(sound.fillSoundBuffer(buffer.data()));
    EXPECT_EQ(buffer, std::vector<int16_t>(SoundOutputObject::frameCount, 0));
    EXPECT_EQ(sound.numSoundSamples(), SoundOutputObject::frameCount - 1);

    addCounting(1);
    expectCountingBuffer();
    EXPECT_EQ(sound.numSoundSamples(), 0);
}

TEST_F(SoundOutputObjectTest, RingWrapsForWriterAndReaderWithoutLosingASample)
{
    // 45 buffers bring both positions to 496,125; the next buffer crosses the end of the ring.
    for (int i = 0; i < 45; ++i) {
        addCounting(SoundOutputObject::frameCount);
        expectCountingBuffer();
    }
    addCounting(SoundOutputObject::frameCount + 5000);
    EXPECT_EQ(sound.numSoundSamples(), SoundOutputObject::frameCount + 5000);
    expectCountingBuffer();
    EXPECT_EQ(sound.numSoundSamples(), 5000);
}

TEST_F(SoundOutputObjectTest, FullRingKeepsTheOldestAudio)
{
    addCounting(SoundOutputObject::kSoundRingSize + 20000);
    EXPECT_EQ(sound.numSoundSamples(), SoundOutputObject::kSoundRingSize - 1);
    expectCountingBuffer();
    EXPECT_EQ(sound.numSoundSamples(), SoundOutputObject::kSoundRingSize - 1 - SoundOutputObject::frameCount);
}

TEST_F(SoundOutputObjectTest, NoOutputFlushesWhatIsQueued)
{
    addCounting(30000);
    sound.setNoOutput(true);
    EXPECT_FALSE(sound.fillSoundBuffer(buffer.data()));
    EXPECT_EQ(buffer, std::vector<int16_t>(SoundOutputObject::frameCount, 0));
    EXPECT_EQ(sound.numSoundSamples(), 0);

    // Back on, audio queued after the flush plays from where it was written.
    sound.setNoOutput(false);
    std::vector<double> tone(SoundOutputObject::frameCount, 123.5);
    sound.addSoundData(tone.data(), SoundOutputObject::frameCount, 44100.0);
    ASSERT_TRUE(sound.fillSoundBuffer(buffer.data()));
    EXPECT_EQ(buffer.back(), 123);
}

TEST_F(SoundOutputObjectTest, AudioQueuedBeforeAStopIsNeverPlayedAfterIt)
{
    // Stop and Play again before the device pulls: only the new audio plays.
    addCounting(30000);
    sound.setNoOutput(true);
    sound.setNoOutput(false);
    std::vector<double> tone(2 * SoundOutputObject::frameCount, 123.5);
    sound.addSoundData(tone.data(), static_cast<int>(tone.size()), 44100.0);
    ASSERT_TRUE(sound.fillSoundBuffer(buffer.data()));
    // The new audio starts from a fresh resampler: nothing of the old stream,
    // not even its last samples blended into the first new ones.
    EXPECT_LE(*std::max_element(buffer.begin(), buffer.end()), 124);
    EXPECT_EQ(buffer[2 * resamplerDelay], 123);
    EXPECT_EQ(buffer.back(), 123);
}

TEST_F(SoundOutputObjectTest, ResamplesToTheOutputRate)
{
    struct Case {
        double rate;
        int inputs;
        int expectedOutputs;
    };
    for (Case c : {Case{24000.0, 240, 441}, Case{31250.0, 31250, 44100}, Case{8000.0, 80, 441},
                   Case{192000.0, 1920, 441}}) {
        SoundOutputObject fresh;
        std::vector<double> x(c.inputs, 0.0);
        fresh.addSoundData(x.data(), c.inputs, c.rate);
        EXPECT_NEAR(fresh.numSoundSamples(), c.expectedOutputs, 1) << c.rate << " Hz";
    }
}

TEST_F(SoundOutputObjectTest, LongBlocksResampleLikeShortOnes)
{
    // 50,000 inputs at 8000 Hz give about 275,000 outputs: far more than one
    // resampler call may take or emit.
    constexpr int n = 50000;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = 10000.0 * std::sin(0.3 * i);
    SoundOutputObject whole;
    SoundOutputObject blocks;
    for (SoundOutputObject* s : {&whole, &blocks}) {
        s->setPlaybackVolume(1.0);
        s->setNoOutput(false);
    }
    whole.addSoundData(x.data(), n, 8000.0);
    for (int i = 0; i < n; i += 80)
        blocks.addSoundData(x.data() + i, 80, 8000.0);
    // Block boundaries only move rounding: a sample may fall into the next call.
    EXPECT_NEAR(whole.numSoundSamples(), blocks.numSoundSamples(), 1);
    EXPECT_NEAR(whole.numSoundSamples(), n * 44100.0 / 8000.0, 1);

    std::vector<int16_t> a(SoundOutputObject::frameCount), b(SoundOutputObject::frameCount);
    while (whole.fillSoundBuffer(a.data())) {
        ASSERT_TRUE(blocks.fillSoundBuffer(b.data()));
        for (int i = 0; i < SoundOutputObject::frameCount; ++i)
            ASSERT_NEAR(a[i], b[i], 1) << i;
    }
}

TEST(SoundOutputObject, AppliesTheVolumeAndLimitsTo16Bits)
{
    struct Case {
        double volume;
        double input;
        int16_t expected;
    };
    for (Case c : {Case{0.5, 70000.0, 32767}, Case{0.5, -70000.0, -32767}, Case{0.5, 1000.5, 500},
                   Case{1.0, 32767.5, 32767}, Case{0.0, 1000.0, 0}}) {
        SoundOutputObject sound;
        sound.setPlaybackVolume(c.volume);
        sound.setNoOutput(false);
        std::vector<double> x(SoundOutputObject::frameCount + resamplerDelay, c.input);
        sound.addSoundData(x.data(), static_cast<int>(x.size()), 44100.0);
        std::vector<int16_t> buffer(SoundOutputObject::frameCount);
        ASSERT_TRUE(sound.fillSoundBuffer(buffer.data()));
        EXPECT_EQ(buffer.back(), c.expected) << "volume " << c.volume << ", input " << c.input;
    }
}

TEST(SoundOutputObject, RefusesRatesThatCannotBeResampled)
{
    SoundOutputObject sound;
    std::vector<double> x(100, 1.0);
    for (double rate : {0.0, -44100.0, 1.0, std::nan("")})
        sound.addSoundData(x.data(), 100, rate);
    sound.addSoundData(x.data(), -5, 44100.0);
    EXPECT_EQ(sound.numSoundSamples(), 0);
}

TEST_F(SoundOutputObjectTest, WriterAndReaderOnTwoThreadsLoseAndRepeatNothing)
{
    constexpr long total = 200L * SoundOutputObject::frameCount;
    std::thread writer([&] {
        while (written < total) {
            while (sound.numSoundSamples() > 40000)
                std::this_thread::yield();
            addCounting(static_cast<int>(std::min(4410L, total - written)));
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    long buffersPlayed = 0;
    bool ordered = true;
    while (buffersPlayed < total / SoundOutputObject::frameCount && std::chrono::steady_clock::now() < deadline) {
        if (!sound.fillSoundBuffer(buffer.data())) {
            std::this_thread::yield();
            continue;
        }
        for (int i = 0; i < SoundOutputObject::frameCount; ++i, ++played)
            ordered = ordered && buffer[i] == countingSample(played);
        ++buffersPlayed;
    }
    writer.join();
    EXPECT_EQ(buffersPlayed, total / SoundOutputObject::frameCount);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(sound.numSoundSamples(), 0);
}

}  // namespace

// The device reads in small pieces: a new volume and a flush act on audio that
// is already queued, even in the middle of a buffer.
TEST(SoundOutputObject, VolumeAndFlushActOnQueuedAudioAtOnce)
{
    SoundOutputObject sound;
    sound.setPlaybackVolume(1.0);
    sound.setNoOutput(false);
    std::vector<double> x(2 * SoundOutputObject::frameCount, 1000.5);
    sound.addSoundData(x.data(), static_cast<int>(x.size()), 44100.0);
    std::vector<int16_t> piece(882);
    EXPECT_EQ(sound.readSound(piece.data(), 882), 882);
    EXPECT_EQ(piece.back(), 1000);
    sound.setPlaybackVolume(0.5);
    EXPECT_EQ(sound.readSound(piece.data(), 882), 882);
    EXPECT_EQ(piece.front(), 500);

    sound.flush();
    EXPECT_EQ(sound.numSoundSamples(), 2 * SoundOutputObject::frameCount - 2 * 882);
    EXPECT_EQ(sound.readSound(piece.data(), 882), 0);
    EXPECT_EQ(sound.numSoundSamples(), 0);
    EXPECT_TRUE(std::all_of(piece.begin(), piece.end(), [](int16_t v) { return v == 0; }));
}
