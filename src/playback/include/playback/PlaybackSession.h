#pragma once

#include "demod/CarrierSpectrum.h"
#include "demod/DemodPipeline.h"
#include "demod/DemodSetup.h"
#include "demod/Selection.h"
#include "playback/PlaybackEngine.h"
#include "playback/PlaybackStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SoundOutputObject;

// Playback of a window's recording, without a window: the recording model the
// window shows, the selection and mode, and a PlaybackEngine that plays on a
// thread of its own. The window forwards the user's actions, calls tick()
// from its timer and shows the PlaybackStatus it returns; nothing here waits
// for the engine.
//
// Positions shown are what is heard: a skip or Home shows its target at once,
// and from then on the mark follows the sound.
class PlaybackSession {
public:
    // Home and End while playing: End plays this much of the selection's end.
    static constexpr int kEndLeadSeconds = 5;

    // soundOutput: the sound ring playback fills; must outlive the session.
    explicit PlaybackSession(SoundOutputObject& soundOutput,
                             PlaybackEngine::Threading threading = PlaybackEngine::Threading::OwnThread);
    ~PlaybackSession();
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // Opens `name` in `folder`. Returns an empty string when it is loaded
    // (playback stopped, the new recording in place), or why it was refused
    // (the loaded recording stays). `lines`: its information lines.
    std::string load(const std::string& folder, const std::string& name, std::vector<std::string>& lines);
    // What the user says about raw I/Q files, for the loads that follow; and
    // whether the last refused load needs it.
    void setRawIqSettings(const RawIqSettings& settings);
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
    void setMode(int mode) { mode_ = mode; }

    // Reads the selection fields against the loaded recording (needs one).
    // When they can be used the selection and mode become the mended ones;
    // otherwise the result's error() says why and nothing changes.
    DemodSetup setupDemodStuff(const SelectionFields& typed, int mode);

    // Where "carrier.txt" goes; empty: no carrier log. Taken at the next Play.
    void setCarrierLogFolder(std::string folder) { carrierLogFolder_ = std::move(folder); }

    // Starts playing `setup` (from setupDemodStuff(), ok()) from its start.
    // False when nothing can be played, or its band cannot be filtered
    // (setup.bandMessage() says why).
    bool play(const DemodSetup& setup);
    // While playing or paused: what `setup` (ok()) changes is heard from now
    // on: a new time range or band from its start, a new mode or shift from
    // where the listener is. Paused, at Resume.
    void retune(const DemodSetup& setup);
    // Stops; what is still queued fades out.
    void stop();
    // Paused: the sound fades out and the position holds; Resume plays on from it.
    void setPaused(bool paused);
    bool isPaused() const { return playing_ && paused_; }
    void setLoop(bool loop) { engine_.setLoop(loop); }
    // Moves the play position by `seconds` (not below 0); at or past the
    // selection's end the pass ends (Loop starts it again).
    void skip(int seconds);
    // Home and End: the selection's start, or the last kEndLeadSeconds of it.
    void goToSelectionStart();
    void goToSelectionEnd();
    // The output gain, 0 to 1.
    void setVolume(double volume);

    // The timer's look at the engine.
    PlaybackStatus tick();

    bool isPlaying() const { return playing_; }
    // The whole second being heard (or about to be, after a skip).
    int32_t playBackSecond() const;

    // The last carrier spectrum measured while playing.
    CarrierSpectrum carrierSpectrum() const { return engine_.carrierSpectrum(); }
    // True when the multiplex spectrum changed since the last call (wide FM only).
    bool updateMultiplexSpectrum();
    // The last multiplex spectrum; nullptr before wide FM was played.
    const std::vector<double>* multiplexSpectrum() const;

    PlaybackEngine& engine() { return engine_; }

private:
    void seekTo(int64_t sample);
    int64_t shownSample() const;

    SoundOutputObject& sound_;
    DemodPipeline pipeline_;
    RawIqSettings rawIqSettings_;
    Selection selection_;
    bool hasSelection_ = false;
    // The selection the engine plays.
    Selection playedSelection_;
    int mode_ = 0;
    std::string carrierLogFolder_;
    bool playing_ = false;
    bool paused_ = false;
    int64_t lastSample_ = 0;
    // A position asked for and not yet acted on by the engine: shown until it is.
    std::optional<int64_t> requested_;
    uint64_t requestedAt_ = 0;
    uint64_t seenLoops_ = 0;
    uint64_t seenStops_ = 0;
    uint64_t seenCarrier_ = 0;
    uint64_t seenMultiplex_ = 0;
    std::vector<double> multiplex_;
    bool hasMultiplex_ = false;
    // Last: its thread must go before what it may still be reading of the rest.
    PlaybackEngine engine_;
};
