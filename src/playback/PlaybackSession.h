#pragma once

#include "demod/DemodPipeline.h"
#include "demod/DemodSetup.h"
#include "demod/Selection.h"
#include "playback/PlaybackStatus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MultiplexSpectrum;
class SoundOutputObject;

// Playback of a window's recording, without a window: the recording model,
// the demodulator and its feeder (a DemodPipeline), the selection, the play
// position, Pause and Loop. The window calls tick() from its 0.2 s timer and
// shows the PlaybackStatus it returns; between ticks it only forwards the
// user's actions.
//
// A tick feeds one whole second at a time while fewer than kQueuedAudioTarget
// samples wait in the sound output, at most kMaxSecondsPerTick seconds, and
// at least one second after Play even when the selection is empty. At the end
// of the selection playback stops, or with Loop on starts again at the
// selection's start; when nothing about the set-up changed the stream plays
// on without a restart.
class PlaybackSession {
public:
    static constexpr int kQueuedAudioTarget = 20000;
    // Without audio reaching the queue (mode "None", a silent band) a tick
    // would otherwise read on through the recording.
    static constexpr int kMaxSecondsPerTick = 2;

    // soundOutput: the sound ring playback fills; must outlive the session.
    explicit PlaybackSession(SoundOutputObject& soundOutput);
    ~PlaybackSession();
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // Opens `name` in `folder`. Returns an empty string when it is loaded
    // (playback stopped, the new recording in place), or why it was refused
    // (the loaded recording stays). `lines`: its information lines.
    std::string load(const std::string& folder, const std::string& name, std::vector<std::string>& lines);
    // What the user says about raw I/Q files, for the loads that follow; and
    // whether the last refused load needs it.
    void setRawIqSettings(const RawIqSettings& settings) { pipeline_.setRawIqSettings(settings); }
    bool needsRawIqSettings() const { return pipeline_.lastOpenNeedsRawIqSettings(); }
    // The loaded recording, or nullptr.
    const RecordingObject* recording() const { return pipeline_.recording(); }
    // A recording is loaded and a second of it fits in memory.
    bool canPlay() const;
    // Whether kHz edges lie inside the loaded recording's band.
    bool fitsBand(double lowKHz, double highKHz) const;

    // The selection: placed by the window, mended by setupDemodStuff(). None
    // is placed at first or after clearSelection(); selection() is then zero.
    const Selection& selection() const { return selection_; }
    bool hasSelection() const { return hasSelection_; }
    void setSelection(const Selection& selection)
    {
        selection_ = selection;
        hasSelection_ = true;
    }
    void clearSelection()
    {
        selection_ = {};
        hasSelection_ = false;
    }
    // Sets the one field of the selection a right click sets; without a
    // placed selection there is nothing to change and it returns false.
    bool changeSelection(const SelectionFieldChange& change);
    int mode() const { return mode_; }
    // Takes effect when Loop starts the selection again.
    void setMode(int mode) { mode_ = mode; }

    // Reads the selection fields against the loaded recording (needs one).
    // When they can be used the selection and mode become the mended ones and
    // the play position the selection's start; otherwise the result's error()
    // says why and nothing changes.
    DemodSetup setupDemodStuff(const SelectionFields& typed, int mode);

    // Where "carrier.txt" goes; empty: no carrier log. Taken at the next set-up.
    void setCarrierLogFolder(std::string folder) { carrierLogFolder_ = std::move(folder); }

    // Starts playing with `setup` (from setupDemodStuff(), ok()). False, with
    // setup.bandMessage(), when its band cannot be filtered.
    bool play(DemodSetup& setup);
    // Stops; what is still queued is not played.
    void stop();
    // Paused: nothing is fed and the position stays; pausing drops what is
    // queued. The pipeline keeps its state, so Resume goes on without a restart.
    void setPaused(bool paused);
    void setLoop(bool loop) { loop_ = loop; }
    // Moves the play position; a negative one counts as 0, one at or past the
    // end ends playback at the next tick.
    void skip(int seconds) { playBackSec_ += seconds; }
    // The output gain, 0 to 1.
    void setVolume(double volume);

    // The 0.2 s tick.
    PlaybackStatus tick();

    bool isPlaying() const { return playing_; }
    int32_t playBackSecond() const { return playBackSec_; }

    // For the carrier view: the demodulator's published spectrum.
    const DemodulatorObject& demodulator() const { return pipeline_.demodulator(); }
    // Transforms what wide FM wrote since the last call; true when a new
    // spectrum (multiplexSpectrum()) is ready. Only while playing.
    bool updateMultiplexSpectrum();
    // The last multiplex spectrum; nullptr before wide FM was played.
    const std::vector<double>* multiplexSpectrum() const;

private:
    // keepStream: the set-up equals the demodulator's: play on without a restart.
    bool startPipeline(DemodSetup& setup, bool keepStream);
    // Loop at the end of the selection; false with `message` set when it cannot.
    bool startAgain(std::string& message);
    std::optional<double> measuredLevel() const;

    SoundOutputObject& sound_;
    DemodPipeline pipeline_;
    std::unique_ptr<MultiplexSpectrum> multiplex_;
    Selection selection_;
    bool hasSelection_ = false;
    int mode_ = 0;
    std::string carrierLogFolder_;
    int32_t playBackSec_ = 0;
    // Seconds fed since Play: an empty selection still plays one.
    int secondsFedSincePlay_ = 0;
    bool playing_ = false;
    bool paused_ = false;
    bool loop_ = false;
};
