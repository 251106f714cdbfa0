#include "playback/PlaybackSession.h"

#include "audio/SoundOutputObject.h"
#include "demod/DemodulatorObject.h"
#include "recording/RecordingObject.h"

#include "support/QuietLog.h"
#include "support/ReadFault.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr const char* kAmName = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav"; // 7100 kHz, 03:04:05 UTC
constexpr const char* kOtherName = "SDRSharp_20140102_040000Z_7200000Hz_IQ.wav";
constexpr int kSeconds = 30;
constexpr int kRate = 48000;

// `seconds` of a 16-bit recording in the 44-byte layout holding an AM
// station 10 kHz above the centre, modulated with a 1 kHz tone.
void writeAmRecording(const std::string& path, int seconds, int rate)
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

// A session with a 30 s recording of the AM station at 7110 kHz loaded.
class PlaybackSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeAmRecording(folder.path + "/" + kAmName, kSeconds, kRate);
        writeAmRecording(folder.path + "/" + kOtherName, 5, 24000);
        ASSERT_EQ(load(kAmName), "");
    }

    std::string load(const std::string& name)
    {
        std::vector<std::string> lines;
        return session.load(folder.path, name, lines);
    }

    // Sets up and plays the selection; false when it was refused.
    bool play(const SelectionFields& typed, int mode = kDemodAM)
    {
        DemodSetup setup = session.setupDemodStuff(typed, mode);
        if (!setup.ok()) {
            refusal = setup.error();
            return false;
        }
        if (!session.play(setup)) {
            refusal = setup.bandMessage();
            return false;
        }
        return true;
    }

    // Plays out what waits in the sound output, as the device would, then ticks.
    PlaybackStatus tick()
    {
        std::vector<int16_t> buffer(SoundOutputObject::frameCount);
        while (sound.fillSoundBuffer(buffer.data())) {
        }
        return session.tick();
    }

    fixtures::TempDir folder;
    QuietLog quiet;
    SoundOutputObject sound;
    PlaybackSession session{sound};
    std::string refusal;
};

TEST_F(PlaybackSessionTest, PlayPauseAndSkipsMoveThePosition)
{
    ASSERT_TRUE(play({"2", "25", "7105", "7115", ""}));
    ASSERT_TRUE(session.isPlaying());

    // One second of recording fills the queue past 20000 samples.
    PlaybackStatus status = session.tick();
    EXPECT_EQ(status.secondsFed, 1);
    EXPECT_EQ(status.position, 3);
    tick();
    status = tick();
    EXPECT_EQ(status.position, 5);
    // The time of the second fed and the measured carrier.
    EXPECT_EQ(status.timeAndCarrier, "02-Jan-2014 03:04:09 7110.000 kHz");
    EXPECT_NEAR(status.carrierKHz, 7110.0, 0.001);
    ASSERT_TRUE(status.levelDbm.has_value());
    EXPECT_LT(*status.levelDbm, 0.0);

    // Pause drops what is queued and feeds nothing.
    session.setPaused(true);
    status = tick();
    EXPECT_EQ(sound.numSoundSamples(), 0);
    EXPECT_EQ(status.secondsFed, 0);
    EXPECT_EQ(status.position, 5);
    EXPECT_TRUE(status.playing);
    session.setPaused(false);

    session.skip(10);
    EXPECT_EQ(tick().position, 16);
    // Back 5 minutes from second 16: from 0 at the next tick.
    session.skip(-300);
    EXPECT_EQ(tick().position, 1);

    session.stop();
    status = tick();
    EXPECT_FALSE(status.ran);
    EXPECT_FALSE(session.isPlaying());
}

TEST_F(PlaybackSessionTest, EndOfSelectionStopsOrLoops)
{
    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "loop" : "no loop");
        session.setLoop(loop);
        ASSERT_TRUE(play({"3", "5", "7105", "7115", ""}));
        tick();
        const PlaybackStatus status = tick();
        EXPECT_EQ(status.position, 5) << "the mark shows where the pass ended";
        EXPECT_EQ(status.ended, loop ? PlaybackEnd::Looped : PlaybackEnd::Stopped);
        EXPECT_EQ(session.isPlaying(), loop);
        EXPECT_EQ(session.playBackSecond(), loop ? 3 : 5);
        if (loop) {
            // A skip past the end ends the pass at the next tick; Loop starts again.
            session.skip(60);
            EXPECT_EQ(tick().ended, PlaybackEnd::Looped);
            EXPECT_EQ(session.playBackSecond(), 3);
            session.stop();
        }
    }
}

TEST_F(PlaybackSessionTest, LoopTakesAChangedModeAndBandAndPlaysOnWhenNothingChanged)
{
    session.setLoop(true);
    ASSERT_TRUE(play({"3", "4", "7105", "7115", ""}));
    const DemodulatorObject& demod = session.demodulator();
    // Ticks until the pass ends.
    auto endOfPass = [this] {
        PlaybackStatus status = tick();
        for (int k = 0; k < 10 && status.ended == PlaybackEnd::None; ++k)
            status = tick();
        return status;
    };
    ASSERT_EQ(endOfPass().ended, PlaybackEnd::Looped);
    EXPECT_EQ(demod.getDemodMode(), kDemodAM);

    session.setMode(kDemodUSB);
    session.setSelection({3, 4, 7108, 7112, 0});
    ASSERT_EQ(endOfPass().ended, PlaybackEnd::Looped);
    EXPECT_EQ(demod.getDemodMode(), kDemodUSB);
    EXPECT_DOUBLE_EQ(demod.getNCO(), 8000.0);

    // A selection that no longer fits ends playback with the reason.
    session.setSelection({3, 4, 7300, 7310, 0});
    const PlaybackStatus status = endOfPass();
    EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
    EXPECT_NE(status.message.find("outside the recording's band"), std::string::npos) << status.message;
}

TEST_F(PlaybackSessionTest, SelectionsThatGiveNoAudioDoNotRunAway)
{
    const struct {
        const char* start;
        const char* end;
        int mode;
        int secondsAfterOneTick;
        bool playingAfterOneTick;
    } cases[] = {
        // "None" queues no audio: each tick feeds at most two seconds.
        {"0", "30", kDemodNone, 2, true},
        {"0", "1", kDemodNone, 1, false},
        // An empty selection still plays one second.
        {"7", "7", kDemodAM, 8, false},
        // Reversed times are swapped: 4 to 9.
        {"9", "4", kDemodAM, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(demodModeName(c.mode)) + " " + c.start + ".." + c.end);
        ASSERT_TRUE(play({c.start, c.end, "7105", "7115", ""}, c.mode));
        tick();
        EXPECT_EQ(session.playBackSecond(), c.secondsAfterOneTick);
        EXPECT_EQ(session.isPlaying(), c.playingAfterOneTick);
        session.stop();
    }
}

TEST_F(PlaybackSessionTest, UnusableSelectionsAreRefusedAndChangeNothing)
{
    ASSERT_TRUE(play({"2", "6", "7105", "7115", ""}));
    session.stop();
    const struct {
        SelectionFields typed;
        int mode;
        const char* says;
    } cases[] = {
        {{"abc", "10", "7105", "7115", ""}, kDemodAM, "abc"},
        {{"1", "4", "7300", "7310", ""}, kDemodAM, "outside the recording's band"},
        {{"1", "4", "7105", "7105", ""}, kDemodAM, "no frequency width"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_FALSE(play(c.typed, c.mode));
        EXPECT_NE(refusal.find(c.says), std::string::npos) << refusal;
        EXPECT_FALSE(session.isPlaying());
    }
    EXPECT_EQ(session.selection().startSecond, 1) << "the band check comes after the fields are read";
}

TEST_F(PlaybackSessionTest, RightClicksChangeOnlyAPlacedSelection)
{
    EXPECT_FALSE(session.hasSelection());
    EXPECT_FALSE(session.changeSelection({SelectionField::StartTime, 42}));
    EXPECT_FALSE(session.hasSelection());

    ASSERT_TRUE(play({"2", "6", "7115", "7105", ""}));
    EXPECT_TRUE(session.hasSelection()) << "a set-up places the mended selection";
    EXPECT_EQ(session.selection().lowKHz, 7105.0);
    EXPECT_TRUE(session.changeSelection({SelectionField::EndTime, 4}));
    EXPECT_EQ(session.selection().startSecond, 2);
    EXPECT_EQ(session.selection().endSecond, 4);

    session.clearSelection();
    EXPECT_FALSE(session.hasSelection());
    EXPECT_EQ(session.selection().endSecond, 0);
}

TEST_F(PlaybackSessionTest, LoadingStopsPlaybackAndARefusedFileKeepsTheRecording)
{
    ASSERT_TRUE(play({"2", "25", "7105", "7115", ""}));
    tick();
    EXPECT_NE(load("missing.wav"), "");
    EXPECT_TRUE(session.isPlaying());
    EXPECT_EQ(session.recording()->parameters().mCenterFreq, 7100000.0);

    ASSERT_EQ(load(kOtherName), "");
    EXPECT_FALSE(session.isPlaying());
    EXPECT_FALSE(session.fitsBand(7105, 7115));
    EXPECT_TRUE(session.fitsBand(7195, 7205));
    ASSERT_TRUE(play({"1", "4", "7208", "7212", ""}));
    const PlaybackStatus status = tick();
    EXPECT_EQ(status.position, 2);
    EXPECT_EQ(status.timeAndCarrier.rfind("02-Jan-2014 04:00:01", 0), 0u) << status.timeAndCarrier;
}

} // namespace

// A second that cannot be read ends playback with the reason; nothing of it
// is played as if it were the recording.
TEST_F(PlaybackSessionTest, AReadErrorStopsPlaybackWithTheReason)
{
    ASSERT_TRUE(play({"0", "25", "7105", "7115", ""}));
    const uint64_t secondFour = 44 + 4ull * kRate * 4;
    const ReadFault fault(kAmName, secondFour);
    PlaybackStatus status;
    for (int ticks = 0; ticks < 10 && status.ended == PlaybackEnd::None; ++ticks)
        status = tick();
    EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
    EXPECT_FALSE(status.playing);
    EXPECT_FALSE(session.isPlaying());
    EXPECT_EQ(status.message,
              "Playback stopped: read error at byte " + std::to_string(secondFour) + ": Input/output error");
    std::vector<int16_t> heard(4096, 1);
    sound.readSound(heard.data(), static_cast<int>(heard.size()));
    EXPECT_EQ(heard, std::vector<int16_t>(4096, 0));
}
