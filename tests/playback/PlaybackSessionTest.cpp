#include "playback/PlaybackSession.h"

#include "audio/SoundOutputObject.h"
#include "demod/DemodulatorObject.h"
#include "recording/RecordingObject.h"

#include "PlaybackFixtures.h"
#include "support/AllocationCounter.h"
#include "support/QuietLog.h"
#include "support/ReadFault.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace playbacktest;

namespace {

constexpr int kFade = PlaybackEngine::kFadeSamples;
constexpr int kAudioRate = 44100;

// A session whose engine works when the test lets it, with a 30 s recording
// of the AM station at 7110 kHz loaded.
class PlaybackSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeAmRecording(folder.path + "/" + kAmName, kSeconds, kRate);
        writeAmRecording(folder.path + "/" + kOtherName, 5, 24000);
        sound.setPlaybackVolume(1.0);
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

    // What a file run writes of `typed` from the loaded recording.
    std::vector<int16_t> fileRun(const SelectionFields& typed, int mode = kDemodAM)
    {
        return fileRunAudio(folder.path, kAmName, typed, mode);
    }

    fixtures::TempDir folder;
    QuietLog quiet;
    SoundOutputObject sound;
    PlaybackSession session{sound, PlaybackEngine::Threading::Manual};
    Listener listener{sound, session.engine()};
    std::string refusal;
};

// Samples of `heard` from `from` on that differ from `expected` from
// `expectedFrom` on, over `count` samples.
int differences(const std::vector<int16_t>& heard, size_t from, const std::vector<int16_t>& expected,
                size_t expectedFrom, size_t count)
{
    int differ = 0;
    for (size_t k = 0; k < count; ++k)
        differ += heard.at(from + k) != expected.at(expectedFrom + k);
    return differ;
}

// The band each mode listens to on the test station (its carrier at 7110 kHz).
struct ModeBand {
    int mode;
    const char* low;
    const char* high;
};
constexpr ModeBand kModeBands[] = {
    {kDemodAM, "7105", "7115"},  {kDemodSAM, "7105", "7115"},  {kDemodFM, "7105", "7115"},
    {kDemodWFM, "7100", "7120"}, {kDemodUSB, "7109.5", "7112"}, {kDemodLSB, "7108", "7110.5"},
    {kDemodCWU, "7109.5", "7111"}, {kDemodCWL, "7109", "7110.5"},
};

TEST_F(PlaybackSessionTest, ASelectionPlayedThroughIsItsWavFileSampleForSample)
{
    for (const ModeBand& band : kModeBands) {
        SCOPED_TRACE(demodModeName(band.mode));
        const SelectionFields typed{"2", "5", band.low, band.high, ""};
        const std::vector<int16_t> expected = fileRun(typed, band.mode);
        ASSERT_EQ(expected.size(), 3u * kAudioRate);
        ASSERT_TRUE(play(typed, band.mode));
        const std::vector<int16_t> heard = listener.hearToTheEnd();
        ASSERT_EQ(heard.size(), expected.size());
        EXPECT_EQ(differences(heard, kFade, expected, kFade, expected.size() - 2 * kFade), 0);
        // The ends fade: in and out, never louder than the file.
        for (size_t k = 0; k < kFade; ++k) {
            EXPECT_LE(std::abs(heard[k]), std::abs(expected[k]) + 1);
            EXPECT_LE(std::abs(heard[heard.size() - 1 - k]), std::abs(expected[expected.size() - 1 - k]) + 1);
        }
        const PlaybackStatus status = session.tick();
        EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
        EXPECT_EQ(status.position, 5);
        EXPECT_FALSE(session.isPlaying());
    }
}

// Skips, a new mode and a new selection are heard from where they promise,
// one short fade after the command.
TEST_F(PlaybackSessionTest, ChangesAreHeardFromWhereTheyPromiseAtOnce)
{
    ASSERT_TRUE(play({"2", "12", "7105", "7115", ""}));
    EXPECT_EQ(session.playBackSecond(), 2);
    listener.hear(kAudioRate);
    EXPECT_EQ(session.tick().position, 3);

    // Forward 4 s: the mark moves at once; after the old audio's fade the
    // selection from second 7 is heard.
    session.skip(4);
    EXPECT_EQ(session.playBackSecond(), 7);
    std::vector<int16_t> heard = listener.hear(kFade + kAudioRate);
    EXPECT_EQ(differences(heard, 2 * kFade, fileRun({"7", "12", "7105", "7115", ""}), kFade, kAudioRate - kFade), 0);
    EXPECT_EQ(session.tick().position, 8);

    // Another mode plays on from where the listener is, without going back.
    DemodSetup usb = session.setupDemodStuff({"2", "12", "7109.5", "7112", ""}, kDemodUSB);
    ASSERT_TRUE(usb.ok());
    session.retune(usb);
    // The band changed too: that is a new selection, heard from its start.
    EXPECT_EQ(session.playBackSecond(), 2);
    heard = listener.hear(kFade + kAudioRate);
    EXPECT_EQ(differences(heard, 2 * kFade, fileRun({"2", "12", "7109.5", "7112", ""}, kDemodUSB), kFade,
                          kAudioRate - kFade),
              0);
    EXPECT_EQ(session.tick().position, 3);

    // Only the mode: from second 3, where the listener is.
    DemodSetup lsbSameBand = session.setupDemodStuff({"2", "12", "7109.5", "7112", ""}, kDemodLSB);
    ASSERT_TRUE(lsbSameBand.ok());
    session.retune(lsbSameBand);
    EXPECT_EQ(session.playBackSecond(), 3);
    heard = listener.hear(kFade + kAudioRate);
    EXPECT_EQ(differences(heard, 2 * kFade, fileRun({"3", "12", "7109.5", "7112", ""}, kDemodLSB), kFade,
                          kAudioRate - kFade),
              0);
}

TEST_F(PlaybackSessionTest, PauseHoldsThePositionAndResumePlaysOnFromIt)
{
    ASSERT_TRUE(play({"2", "20", "7105", "7115", ""}));
    listener.hear(kAudioRate + kAudioRate / 2);
    session.setPaused(true);
    EXPECT_TRUE(session.isPaused());
    std::vector<int16_t> heard = listener.hear(kAudioRate / 2);
    EXPECT_TRUE(std::all_of(heard.begin() + kFade, heard.end(), [](int16_t v) { return v == 0; }));
    PlaybackStatus status = session.tick();
    EXPECT_TRUE(status.playing);
    EXPECT_TRUE(status.paused);
    EXPECT_EQ(status.position, 3);
    EXPECT_FALSE(status.levelDbm.has_value());

    // Paused, a skip moves where Resume starts.
    session.skip(10);
    EXPECT_EQ(session.tick().position, 13);
    session.setPaused(false);
    heard = listener.hear(kAudioRate / 10);
    EXPECT_GT(*std::max_element(heard.begin() + kFade, heard.end()), 1000) << "sound again at once";
    EXPECT_EQ(session.tick().position, 13);

    session.stop();
    heard = listener.hear(kAudioRate / 10);
    EXPECT_TRUE(std::all_of(heard.begin() + kFade, heard.end(), [](int16_t v) { return v == 0; }));
    EXPECT_FALSE(session.tick().ran);
}

TEST_F(PlaybackSessionTest, SkipsHomeAndEndMoveTheMarkAtOnce)
{
    ASSERT_TRUE(play({"2", "25", "7105", "7115", ""}));
    listener.hear(kAudioRate / 2);
    const struct {
        const char* what;
        void (*act)(PlaybackSession&);
        int second;
    } moves[] = {
        {"forward 10 s", [](PlaybackSession& s) { s.skip(10); }, 12},
        {"back 10 s", [](PlaybackSession& s) { s.skip(-10); }, 2},
        {"back 5 min: from 0", [](PlaybackSession& s) { s.skip(-300); }, 0},
        {"End: the last seconds", [](PlaybackSession& s) { s.goToSelectionEnd(); }, 25 - PlaybackSession::kEndLeadSeconds},
        {"Home", [](PlaybackSession& s) { s.goToSelectionStart(); }, 2},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.what);
        move.act(session);
        EXPECT_EQ(session.playBackSecond(), move.second) << "before the engine acts";
        listener.hear(kAudioRate / 10);
        const PlaybackStatus status = session.tick();
        EXPECT_TRUE(status.playing) << "End plays the last seconds; it does not stop";
        EXPECT_EQ(status.position, move.second);
        char time[32];
        std::snprintf(time, sizeof time, "02-Jan-2014 03:04:%02d ", 5 + move.second);
        EXPECT_EQ(status.timeAndCarrier.rfind(time, 0), 0u) << status.timeAndCarrier;
    }
    // Past the end the pass is over.
    session.skip(60);
    listener.hearToTheEnd();
    const PlaybackStatus status = session.tick();
    EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
    EXPECT_FALSE(session.isPlaying());
}

TEST_F(PlaybackSessionTest, LoopJoinsThePassesAndTakesChanges)
{
    session.setLoop(true);
    ASSERT_TRUE(play({"3", "5", "7105", "7115", ""}));
    const std::vector<int16_t> pass = fileRun({"3", "5", "7105", "7115", ""});
    const std::vector<int16_t> heard = listener.hear(2 * kAudioRate + kAudioRate);
    // The second pass is the first again, faded at the join.
    EXPECT_EQ(differences(heard, 2 * kAudioRate + kFade, pass, kFade, kAudioRate - kFade), 0);
    PlaybackStatus status = session.tick();
    EXPECT_EQ(status.ended, PlaybackEnd::Looped);
    EXPECT_TRUE(session.isPlaying());
    EXPECT_EQ(status.position, 4);

    // A skip past the end starts the next pass.
    session.skip(60);
    listener.hear(kAudioRate / 10);
    status = session.tick();
    EXPECT_EQ(status.ended, PlaybackEnd::Looped);
    EXPECT_EQ(status.position, 3);
}

// Whatever happens to the sound, a sample never steps by more than the
// audio's own steps do: no click at any start, pause, resume, seek, stop or
// loop join, in any mode.
TEST_F(PlaybackSessionTest, NoClickAtAnyTransitionInAnyMode)
{
    auto largestStep = [](const std::vector<int16_t>& x, size_t from, size_t to) {
        int step = 0;
        for (size_t k = from + 1; k < to; ++k)
            step = std::max(step, std::abs(x[k] - x[k - 1]));
        return step;
    };
    for (const ModeBand& band : kModeBands) {
        SCOPED_TRACE(demodModeName(band.mode));
        const SelectionFields typed{"2", "5", band.low, band.high, ""};
        const std::vector<int16_t> steady = fileRun(typed, band.mode);
        ASSERT_FALSE(steady.empty());
        const int allowed = largestStep(steady, kFade, steady.size() - kFade) + 32768 / 50;

        session.setLoop(true);
        ASSERT_TRUE(play(typed, band.mode));
        std::vector<int16_t> heard = listener.hear(kAudioRate / 2 + 17);
        auto hear = [&](int n) {
            const std::vector<int16_t> more = listener.hear(n);
            heard.insert(heard.end(), more.begin(), more.end());
        };
        session.setPaused(true);
        hear(kAudioRate / 10);
        session.setPaused(false);
        hear(kAudioRate / 3);
        session.skip(1);
        hear(kAudioRate + 1234);
        hear(kAudioRate); // through the loop's join
        session.stop();
        hear(kAudioRate / 10);
        EXPECT_LE(largestStep(heard, 0, heard.size()), allowed);
        session.setLoop(false);
    }
}

// Whatever a selection gives to hear, it takes its time: "None" plays
// silence in step, an empty selection one second, reversed times are swapped.
TEST_F(PlaybackSessionTest, SelectionsWithoutSoundStillTakeTheirTime)
{
    const struct {
        const char* start;
        const char* end;
        int mode;
        int seconds;
        int endSecond;
    } cases[] = {
        {"0", "3", kDemodNone, 3, 3},
        {"7", "7", kDemodAM, 1, 8},
        {"9", "4", kDemodAM, 5, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(demodModeName(c.mode)) + " " + c.start + ".." + c.end);
        ASSERT_TRUE(play({c.start, c.end, "7105", "7115", ""}, c.mode));
        EXPECT_EQ(listener.hearToTheEnd().size(), static_cast<size_t>(c.seconds) * kAudioRate);
        const PlaybackStatus status = session.tick();
        EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
        EXPECT_EQ(status.position, c.endSecond);
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
    listener.hear(kAudioRate);
    EXPECT_NE(load("missing.wav"), "");
    EXPECT_TRUE(session.isPlaying());
    EXPECT_EQ(session.recording()->parameters().mCenterFreq, 7100000.0);

    ASSERT_EQ(load(kOtherName), "");
    EXPECT_FALSE(session.isPlaying());
    std::vector<int16_t> heard = listener.hear(kAudioRate / 10);
    EXPECT_TRUE(std::all_of(heard.begin() + kFade, heard.end(), [](int16_t v) { return v == 0; }))
        << "nothing of the old recording after the new one is loaded";
    EXPECT_FALSE(session.fitsBand(7105, 7115));
    EXPECT_TRUE(session.fitsBand(7195, 7205));
    ASSERT_TRUE(play({"1", "4", "7208", "7212", ""}));
    listener.hear(kAudioRate);
    const PlaybackStatus status = session.tick();
    EXPECT_EQ(status.position, 2);
    EXPECT_EQ(status.timeAndCarrier.rfind("02-Jan-2014 04:00:02", 0), 0u) << status.timeAndCarrier;
    EXPECT_NEAR(status.carrierKHz, 7210.0, 0.01);
    ASSERT_TRUE(status.levelDbm.has_value());
    EXPECT_LT(*status.levelDbm, 0.0);
}

// The engine opens its own copy of the recording; one that vanished in
// between ends playback with the reason, and never plays the recording before.
TEST_F(PlaybackSessionTest, ARecordingGoneBeforeTheEngineOpensItStopsWithTheReason)
{
    const std::string gone = "SDRSharp_20140102_050000Z_7100000Hz_IQ.wav";
    writeAmRecording(folder.path + "/" + gone, 5, kRate);
    ASSERT_EQ(load(gone), "");
    std::filesystem::remove(folder.path + "/" + gone);
    ASSERT_TRUE(play({"1", "4", "7105", "7115", ""}));
    const std::vector<int16_t> heard = listener.hear(kAudioRate / 2);
    EXPECT_TRUE(std::all_of(heard.begin(), heard.end(), [](int16_t v) { return v == 0; }));
    const PlaybackStatus status = session.tick();
    EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
    EXPECT_EQ(status.message.rfind("Playback stopped: ", 0), 0u) << status.message;
    EXPECT_FALSE(session.isPlaying());
}

// Once playing, feeding the ring and taking it out allocate nothing.
TEST_F(PlaybackSessionTest, PlayingAllocatesNothing)
{
    for (const int mode : {kDemodAM, kDemodUSB}) {
        SCOPED_TRACE(demodModeName(mode));
        ASSERT_TRUE(play({"2", "25", mode == kDemodAM ? "7105" : "7109.5", "7115", ""}, mode));
        listener.hear(kAudioRate);
        std::vector<int16_t> piece(2205);
        const AllocationCounter counter;
        for (int k = 0; k < 60; ++k) {
            session.engine().work();
            sound.readSound(piece.data(), static_cast<int>(piece.size()));
        }
        EXPECT_EQ(counter.Count(), 0u);
        session.stop();
    }
}

} // namespace

// A second that cannot be read ends playback with the reason; nothing of it
// is played as if it were the recording.
TEST_F(PlaybackSessionTest, AReadErrorStopsPlaybackWithTheReason)
{
    ASSERT_TRUE(play({"0", "25", "7105", "7115", ""}));
    const uint64_t secondFour = 44 + 4ull * kRate * 4;
    const ReadFault fault(kAmName, secondFour);
    std::vector<int16_t> heard = listener.hear(3 * kAudioRate);
    PlaybackStatus status = session.tick();
    EXPECT_EQ(status.ended, PlaybackEnd::Stopped);
    EXPECT_FALSE(status.playing);
    EXPECT_FALSE(session.isPlaying());
    EXPECT_EQ(status.message,
              "Playback stopped: read error at byte " + std::to_string(secondFour) + ": Input/output error");
    heard = listener.hear(4096);
    EXPECT_EQ(heard, std::vector<int16_t>(4096, 0));
}
