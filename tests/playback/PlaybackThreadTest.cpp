#include "playback/PlaybackSession.h"

#include "audio/SoundOutputObject.h"
#include "demod/DemodulatorObject.h"

#include "PlaybackFixtures.h"
#include "support/QuietLog.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

using namespace playbacktest;

// A device that takes the sound in real time, in pieces of irregular length,
// and twice stops taking anything for half a second, while the engine runs on
// its own thread: every sample of the selection is heard once, in order, and
// once the sound has started it never runs dry before the end.
TEST(PlaybackOnItsOwnThread, AStallingDeviceHearsEverySampleOnceWithoutAGap)
{
    using Clock = std::chrono::steady_clock;
    fixtures::TempDir folder;
    const QuietLog quiet;
    writeAmRecording(folder.path + "/" + kAmName, 10, kRate);
    const SelectionFields typed{"2", "6", "7105", "7115", ""};
    const std::vector<int16_t> expected = fileRunAudio(folder.path, kAmName, typed, kDemodAM);
    ASSERT_EQ(expected.size(), 4u * 44100);

    SoundOutputObject sound;
    sound.setPlaybackVolume(1.0);
    PlaybackSession session(sound);
    std::vector<std::string> lines;
    ASSERT_EQ(session.load(folder.path, kAmName, lines), "");
    const DemodSetup setup = session.setupDemodStuff(typed, kDemodAM);
    ASSERT_TRUE(setup.ok());
    ASSERT_TRUE(session.play(setup));

    constexpr int kPieces[] = {882, 1, 2048, 300, 1323, 17, 4096};
    std::vector<int16_t> piece(4096);
    std::vector<int16_t> heard;
    int gaps = 0;
    size_t next = 0;
    int64_t taken = 0;
    Clock::duration stalled{};
    const std::vector<size_t> stallsAt = {44100 + 22050, 3 * 44100};
    size_t stallsDone = 0;
    const Clock::time_point start = Clock::now();
    while (heard.size() < expected.size() && Clock::now() - start < std::chrono::seconds(60)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (stallsDone < stallsAt.size() && heard.size() >= stallsAt[stallsDone]) {
            // The device's clock stops with it: it goes on where it was.
            const Clock::time_point before = Clock::now();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            stalled += Clock::now() - before;
            ++stallsDone;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start - stalled).count();
        while (taken < static_cast<int64_t>(seconds * 44100) && heard.size() < expected.size()) {
            const int length = kPieces[next++ % std::size(kPieces)];
            const int played = sound.readSound(piece.data(), length);
            taken += length;
            if (!heard.empty() && played < length && heard.size() + played < expected.size())
                ++gaps;
            heard.insert(heard.end(), piece.begin(), piece.begin() + played);
        }
    }
    EXPECT_EQ(stallsDone, stallsAt.size());
    EXPECT_EQ(gaps, 0);
    ASSERT_EQ(heard.size(), expected.size());
    const int fade = PlaybackEngine::kFadeSamples;
    int differ = 0;
    for (size_t k = fade; k + fade < expected.size(); ++k)
        differ += heard[k] != expected[k];
    EXPECT_EQ(differ, 0);
}
