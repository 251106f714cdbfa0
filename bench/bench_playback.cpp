// CPU that playback takes: the engine reads, demodulates and queues one second
// of audio per iteration, as it does on its own thread while the device plays,
// so the CPU time of an iteration (per second of audio) is the share of one
// core that playback keeps busy: 10 ms is 1 %. A 3 s selection loops, so a
// third of the seconds include a new stream's second of fill. Recordings of an AM station are written to a temporary folder.
#include "audio/SoundOutputObject.h"
#include "common/SystemLog.h"
#include "playback/PlaybackSession.h"

#include "playback/PlaybackFixtures.h"
#include "support/RecordingFixtures.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// rate: S/s of the recording; low and high kHz of the selection (the station
// lies at 7110 kHz).
void BM_PlaybackOneSecond(benchmark::State& state, int32_t rate, int mode, const char* low, const char* high)
{
    SetSystemLogEnabled(false);
    fixtures::TempDir folder;
    constexpr int kSeconds = 3;
    playbacktest::writeAmRecording(folder.path + "/" + playbacktest::kAmName, kSeconds, rate);
    SoundOutputObject sound;
    sound.setPlaybackVolume(1.0);
    PlaybackSession session(sound, PlaybackEngine::Threading::Manual);
    std::vector<std::string> lines;
    if (!session.load(folder.path, playbacktest::kAmName, lines).empty()) {
        state.SkipWithError("the recording did not open");
        return;
    }
    const DemodSetup setup = session.setupDemodStuff({"0", std::to_string(kSeconds), low, high, ""}, mode);
    session.setLoop(true);
    if (!setup.ok() || !session.play(setup)) {
        state.SkipWithError("the selection was refused");
        return;
    }
    std::vector<int16_t> piece(882);
    for (auto _ : state) {
        for (int heard = 0; heard < AudioOutput::kOutputRate; heard += static_cast<int>(piece.size())) {
            session.engine().work();
            sound.readSound(piece.data(), static_cast<int>(piece.size()));
        }
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_PlaybackOneSecond, AM_48kSps, 48000, kDemodAM, "7105", "7115")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlaybackOneSecond, AM_2MSps, 2000000, kDemodAM, "7105", "7115")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlaybackOneSecond, WFM_2MSps, 2000000, kDemodWFM, "7010", "7210")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlaybackOneSecond, AM_10MSps, 10000000, kDemodAM, "7105", "7115")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlaybackOneSecond, WFM_10MSps, 10000000, kDemodWFM, "7010", "7210")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
