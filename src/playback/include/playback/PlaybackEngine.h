#pragma once

#include "demod/CarrierSpectrum.h"
#include "demod/DemodPipeline.h"
#include "demod/DemodSetup.h"
#include "recording/RawIqSettings.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MultiplexSpectrum;
class SoundOutputObject;

// What the engine is doing, as its thread last said.
enum class PlaybackState {
    Idle,      // nothing to play: stopped, or never started
    Playing,   // feeding the sound ring
    Paused,    // nothing fed; Resume starts again where the listener was
    Finishing, // the selection is fed to its end; the ring plays out its tail
};

// Plays a selection of a recording into a SoundOutputObject on a thread of its
// own: reads, demodulates and keeps about kQueuedSamples of audio queued ahead
// of the device, so that a busy GUI thread or machine does not starve it. The
// window's side only sends commands (play, pause, seek, retune, stop, loop)
// and reads what the thread publishes; nothing of the pipeline is shared.
//
// Every stream starts as a file run does: the second before its first sample
// fills the pipeline, and the audio is trimmed by the pipeline's lead, so that
// audio sample k of a stream from sample P is recording time P + k / 44100 s,
// and a selection played through is the same audio, sample for sample, as the
// WAV file of it. A stream that replaces audio already queued cuts it with a
// short fade (SoundOutputObject::cut); every stream fades in over its first
// kFadeSamples and a pass fades out over its last ones, so Loop's join, a
// seek, a pause and a stop make no click.
//
// Positions are recording samples; the play position heard is worked out from
// the samples the device has taken (SoundOutputObject::readTotal), so it
// follows the sound, not the feeding ahead of it.
class PlaybackEngine {
public:
    // Audio kept queued ahead of the device: rides out a second of a stalled
    // or starved feeder.
    static constexpr int kQueuedSamples = 44100;
    static constexpr int kFadeSamples = 132; // 3 ms at 44100 Hz

    enum class Threading {
        OwnThread, // a thread of its own does the work (the app)
        Manual,    // work() does it on the caller's thread (tests)
    };

    // sound: the ring played by the device; must outlive the engine.
    explicit PlaybackEngine(SoundOutputObject& sound, Threading threading = Threading::OwnThread);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // ---- Commands, from one controlling thread; acted on in order. ----
    // Opens the recording the engine plays (its own model of the file); stops
    // what plays.
    void open(const std::string& folder, const std::string& name, const RawIqSettings& rawIq);
    // Plays `setup` (ok()) from its selection's start. carrierLogFolder: where
    // "carrier.txt" goes; empty for none.
    void play(const DemodSetup& setup, const std::string& carrierLogFolder);
    // A new selection, mode or shift while playing or paused: a new time range
    // or band plays from its start, a new mode or shift from where the
    // listener is. Paused, it takes effect at Resume.
    void retune(const DemodSetup& setup);
    void setPaused(bool paused);
    // Plays on from `sample` (>= 0) of the recording; at or past the
    // selection's end the pass ends (and Loop starts it again). Paused, it
    // moves where Resume starts.
    void seek(int64_t sample);
    void stop();
    void setLoop(bool loop) { loop_.store(loop); }

    // Manual threading: acts on the commands sent and fills the ring up to
    // kQueuedSamples (or until the pass ends). Returns whether anything was fed.
    bool work();

    // ---- What the thread published; any thread. ----
    struct Snapshot {
        PlaybackState state = PlaybackState::Idle;
        uint64_t commandsDone = 0;   // commands acted on, in the order sent
        uint64_t passesLooped = 0;   // passes that Loop started again
        uint64_t stops = 0;          // times playback ended by itself
        std::string stopMessage;     // why the last of them, when not the end of the selection
        int64_t tailEndTotal = -1;   // Finishing: the ring total where the tail ends
        int32_t sampleRate = 0;      // of the recording played
        bool hasReadings = false;
        double sMeterAve = 0.0;      // dBm
        double carrierFreqKHz = 0.0;
        uint64_t carrierVersion = 0; // changes with every new carrier spectrum
        uint64_t multiplexVersion = 0;
    };
    Snapshot snapshot() const;
    uint64_t commandsSent() const { return commandsSent_; }
    // The recording sample being heard (or where Pause holds); -1 before the
    // first play.
    int64_t heardSample() const;
    // Copies of the last carrier spectrum and multiplex spectrum.
    CarrierSpectrum carrierSpectrum() const;
    std::vector<double> multiplexSpectrum() const;

private:
    enum class CommandKind { Open, Play, Retune, Pause, Resume, Seek, Stop };
    struct Command {
        CommandKind kind = CommandKind::Stop;
        DemodSetup setup;
        std::string folder;
        std::string name;
        RawIqSettings rawIq;
        int64_t sample = 0;
    };
    // Where a stream's audio lies in the ring: audio at ring total t >= total
    // is recording sample firstSample + (t - total) * rate / 44100.
    struct Anchor {
        int64_t total = 0;
        int64_t firstSample = 0;
        // It cut what was queued: the older audio still fading out is no longer
        // where the listener is.
        bool cut = false;
    };
    // The stream being fed.
    struct Stream {
        int64_t nextInput = 0;    // next recording sample to feed
        int64_t endInput = 0;     // the pass's end (exclusive)
        int64_t flushLeft = 0;    // samples after the end still to feed to flush the pipeline
        int64_t toDrop = 0;       // audio still to drop (the fill before the first sample)
        int64_t cap = 0;          // audio samples the pass holds
        int64_t written = 0;      // of them, written
    };

    void send(Command command);
    void threadMain();
    void act(Command& command);
    bool produce();
    void openRecording(Command& command);
    // Configures for `setup` when it differs from what is configured; false
    // (and stops) when its band cannot be filtered.
    bool useSetup(DemodSetup& setup, bool force);
    // replacing: what is queued is cut, else the stream follows it (Loop's join).
    void startStream(int64_t firstSample, bool replacing);
    void endPass();
    void stopPlaying(const std::string& message, bool byItself);
    // Cuts what is queued (SoundOutputObject::cut); returns the cut's total.
    int64_t cutQueued();
    void writeAudio(const int16_t* samples, int64_t n);
    void writeSilence(int64_t n);
    void publishReadings();
    int64_t heardSampleLocked(int64_t readTotal) const;
    int64_t selectionStart() const;
    int64_t selectionEnd() const;

    SoundOutputObject& sound_;
    const Threading threading_;
    std::atomic<bool> loop_{false};

    // Commands and publications, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Command> commands_;
    std::atomic<uint64_t> commandsSent_{0};
    std::atomic<uint64_t> commandsQueued_{0};
    bool quit_ = false;
    Snapshot published_;
    std::deque<Anchor> anchors_;
    int64_t heldSample_ = -1; // while paused or stopped: the position shown
    CarrierSpectrum carrier_;
    std::vector<double> multiplex_;

    // The thread's own.
    std::deque<Command> todo_;
    DemodPipeline pipeline_;
    std::string carrierLogFolder_;
    std::string openProblem_;
    DemodSetup setup_;
    bool configured_ = false;
    bool setupOk_ = false;
    int lead_ = 0;
    int32_t rate_ = 0;
    int32_t chunk_ = 0;
    PlaybackState state_ = PlaybackState::Idle;
    Stream stream_;
    int64_t pausedAt_ = 0;
    int64_t lastCut_ = 0;
    bool retunedWhilePaused_ = false;
    bool retuneFromStart_ = false;
    std::vector<int16_t> audio_;
    std::vector<int16_t> faded_;
    std::unique_ptr<MultiplexSpectrum> multiplexSpectrum_;
    int64_t inputSinceCarrierCopy_ = 0;
    uint64_t commandsDone_ = 0;

    std::thread thread_;
};
