#include "playback/PlaybackSession.h"

#include "audio/SoundOutputObject.h"
#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"

#include <algorithm>

PlaybackSession::PlaybackSession(SoundOutputObject& soundOutput, PlaybackEngine::Threading threading)
    : sound_(soundOutput)
    , engine_(soundOutput, threading)
{
    // The engine writes the ring from here on; the legacy switch stays open.
    sound_.setNoOutput(false);
}

PlaybackSession::~PlaybackSession() = default;

void PlaybackSession::setRawIqSettings(const RawIqSettings& settings)
{
    rawIqSettings_ = settings;
    pipeline_.setRawIqSettings(settings);
}

std::string PlaybackSession::load(const std::string& folder, const std::string& name, std::vector<std::string>& lines)
{
    std::string why = pipeline_.open(folder, name, lines, true);
    if (!why.empty())
        return why;
    // Playback of the old recording must not read on in the new one.
    playing_ = false;
    paused_ = false;
    requested_.reset();
    lastSample_ = 0;
    pipeline_.makeFeeder();
    engine_.open(folder, name, rawIqSettings_);
    return {};
}

bool PlaybackSession::canPlay() const
{
    return pipeline_.isOpen() && pipeline_.hasFeeder();
}

bool PlaybackSession::fitsBand(double lowKHz, double highKHz) const
{
    const RecordingParameters recording = pipeline_.parameters();
    return SelectionFitsBand(lowKHz, highKHz, RecordingBandOf(recording.mSampleRate, recording.mCenterFreq));
}

bool PlaybackSession::changeSelection(const SelectionFieldChange& change)
{
    if (!hasSelection_)
        return false;
    selection_ = withFieldChange(selection_, change);
    return true;
}

DemodSetup PlaybackSession::setupDemodStuff(const SelectionFields& typed, int mode)
{
    DemodSetup setup = pipeline_.setUp(typed, mode);
    if (setup.ok()) {
        setSelection(setup.selection());
        mode_ = mode;
    }
    return setup;
}

bool PlaybackSession::play(const DemodSetup& setup)
{
    if (!canPlay() || !setup.ok() || !setup.bandFits())
        return false;
    engine_.play(setup, carrierLogFolder_);
    playedSelection_ = setup.selection();
    playing_ = true;
    paused_ = false;
    seekTo(static_cast<int64_t>(setup.startSecond()) * pipeline_.parameters().mSampleRate);
    return true;
}

void PlaybackSession::retune(const DemodSetup& setup)
{
    if (!playing_ || !setup.ok() || !setup.bandFits())
        return;
    const Selection before = playedSelection_;
    setSelection(setup.selection());
    mode_ = setup.mode();
    playedSelection_ = selection_;
    engine_.retune(setup);
    if (before.startSecond != selection_.startSecond || before.endSecond != selection_.endSecond ||
        before.lowKHz != selection_.lowKHz || before.highKHz != selection_.highKHz)
        seekTo(static_cast<int64_t>(selection_.startSecond) * pipeline_.parameters().mSampleRate);
}

void PlaybackSession::stop()
{
    if (playing_)
        lastSample_ = shownSample();
    playing_ = false;
    paused_ = false;
    requested_.reset();
    engine_.stop();
}

void PlaybackSession::setPaused(bool paused)
{
    if (!playing_ || paused == paused_)
        return;
    paused_ = paused;
    engine_.setPaused(paused);
}

void PlaybackSession::seekTo(int64_t sample)
{
    requested_ = std::max<int64_t>(sample, 0);
    requestedAt_ = engine_.commandsSent();
}

void PlaybackSession::skip(int seconds)
{
    if (!playing_)
        return;
    const int64_t target = std::max<int64_t>(
        shownSample() + static_cast<int64_t>(seconds) * pipeline_.parameters().mSampleRate, 0);
    engine_.seek(target);
    seekTo(target);
}

void PlaybackSession::goToSelectionStart()
{
    if (!playing_)
        return;
    const int64_t target = static_cast<int64_t>(selection_.startSecond) * pipeline_.parameters().mSampleRate;
    engine_.seek(target);
    seekTo(target);
}

void PlaybackSession::goToSelectionEnd()
{
    if (!playing_)
        return;
    const int32_t second = std::max(selection_.startSecond, selection_.endSecond - kEndLeadSeconds);
    const int64_t target = static_cast<int64_t>(second) * pipeline_.parameters().mSampleRate;
    engine_.seek(target);
    seekTo(target);
}

void PlaybackSession::setVolume(double volume)
{
    sound_.setPlaybackVolume(volume);
}

int64_t PlaybackSession::shownSample() const
{
    if (!playing_)
        return lastSample_;
    // Until the engine has acted on a move, the move is what the listener expects to see.
    if (requested_ && engine_.snapshot().commandsDone < requestedAt_)
        return *requested_;
    const int64_t heard = engine_.heardSample();
    return heard >= 0 ? heard : requested_.value_or(lastSample_);
}

int32_t PlaybackSession::playBackSecond() const
{
    const int32_t rate = pipeline_.parameters().mSampleRate;
    return rate > 0 ? static_cast<int32_t>(shownSample() / rate) : 0;
}

PlaybackStatus PlaybackSession::tick()
{
    PlaybackStatus status;
    status.ran = playing_;
    if (!playing_) {
        status.position = playBackSecond();
        return status;
    }
    const PlaybackEngine::Snapshot snapshot = engine_.snapshot();
    if (snapshot.commandsDone >= requestedAt_)
        requested_.reset();
    if (snapshot.passesLooped != seenLoops_) {
        seenLoops_ = snapshot.passesLooped;
        status.ended = PlaybackEnd::Looped;
    }
    const bool tailHeard = snapshot.state == PlaybackState::Finishing && snapshot.commandsDone >= engine_.commandsSent() &&
                           sound_.readTotal() >= snapshot.tailEndTotal;
    status.position = playBackSecond();
    if (snapshot.stops != seenStops_ || tailHeard) {
        if (snapshot.stops != seenStops_)
            status.message = snapshot.stopMessage;
        else
            SystemLog("All done playing back");
        seenStops_ = snapshot.stops;
        lastSample_ = shownSample();
        playing_ = false;
        paused_ = false;
        status.ended = PlaybackEnd::Stopped;
        status.playing = false;
        return status;
    }
    status.playing = true;
    status.paused = paused_;
    status.carrierKHz = snapshot.carrierFreqKHz;
    const RecordingObject& recording = *pipeline_.recording();
    const std::string time = recording.startTimeKnown()
                                 ? recording.TimestampFromOffset(status.position)
                                 : std::to_string(status.position) + " s (start time unknown)";
    status.timeAndCarrier = time + " " + formatFixed(status.carrierKHz, 3, 6) + " kHz";
    if (snapshot.hasReadings && !paused_)
        status.levelDbm = snapshot.sMeterAve;
    status.newCarrierSpectrum = snapshot.carrierVersion != seenCarrier_;
    seenCarrier_ = snapshot.carrierVersion;
    return status;
}

bool PlaybackSession::updateMultiplexSpectrum()
{
    const uint64_t version = engine_.snapshot().multiplexVersion;
    if (version == seenMultiplex_)
        return false;
    seenMultiplex_ = version;
    multiplex_ = engine_.multiplexSpectrum();
    hasMultiplex_ = true;
    return true;
}

const std::vector<double>* PlaybackSession::multiplexSpectrum() const
{
    return hasMultiplex_ ? &multiplex_ : nullptr;
}
