#include "playback/PlaybackSession.h"

#include "audio/SoundOutputObject.h"
#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "demod/MultiplexSpectrum.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"

PlaybackSession::PlaybackSession(SoundOutputObject& soundOutput)
    : sound_(soundOutput)
    , pipeline_(&soundOutput)
{
}

PlaybackSession::~PlaybackSession() = default;

std::string PlaybackSession::load(const std::string& folder, const std::string& name, std::vector<std::string>& lines)
{
    std::string why = pipeline_.open(folder, name, lines, true);
    if (!why.empty())
        return why;
    // Playback of the old recording must not read on in the new one with the
    // old rate and tuning.
    if (playing_)
        stop();
    pipeline_.makeFeeder();
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
        playBackSec_ = selection_.startSecond;
    }
    return setup;
}

bool PlaybackSession::play(DemodSetup& setup)
{
    if (!canPlay() || !startPipeline(setup, false))
        return false;
    playing_ = true;
    return true;
}

bool PlaybackSession::startPipeline(DemodSetup& setup, bool keepStream)
{
    const DemodulatorObject& demod = pipeline_.demodulator();
    const bool unchanged = setup.mode() == demod.getDemodMode() && setup.ncoHz() == demod.getNCO() &&
                           setup.filterHz() == demod.getFilter() && setup.pbtHz() == demod.getPBT() &&
                           static_cast<int32_t>(pipeline_.parameters().mSampleRate) == demod.getInputRate();
    // A new set-up would restart every filter mid-stream: a dropout and a jump.
    if (!(keepStream && unchanged)) {
        if (!pipeline_.configure(setup, !carrierLogFolder_.empty(), carrierLogFolder_))
            return false;
        if (setup.mode() == kDemodWFM) {
            if (!multiplex_)
                multiplex_ = std::make_unique<MultiplexSpectrum>();
            multiplex_->skipTo(demod.status().mpxRingPos);
        }
    }
    secondsFedSincePlay_ = 0;
    return true;
}

bool PlaybackSession::startAgain(std::string& message)
{
    DemodSetup setup = pipeline_.setUp(selection_, mode_);
    if (!setup.ok()) {
        message = setup.error();
        return false;
    }
    selection_ = setup.selection();
    playBackSec_ = selection_.startSecond;
    if (!startPipeline(setup, true)) {
        message = setup.bandMessage();
        return false;
    }
    return true;
}

void PlaybackSession::stop()
{
    playing_ = false;
    paused_ = false;
    // What is still queued belongs to the stopped playback: the output plays
    // silence until the next Play feeds it.
    sound_.setNoOutput(true);
}

void PlaybackSession::setPaused(bool paused)
{
    paused_ = paused;
    // Silence at once.
    if (playing_ && paused)
        sound_.flush();
}

void PlaybackSession::setVolume(double volume)
{
    sound_.setPlaybackVolume(volume);
}

std::optional<double> PlaybackSession::measuredLevel() const
{
    // A silent input (a gap beyond the recording, digital zeros) reads far
    // below anything a recording holds: no measurement either.
    const double level = pipeline_.demodulator().status().sMeterAve;
    if (!(level > -200.0))
        return std::nullopt;
    return level;
}

PlaybackStatus PlaybackSession::tick()
{
    PlaybackStatus status;
    if (playBackSec_ < 0)
        playBackSec_ = 0;
    status.ran = playing_;
    status.position = playBackSec_;
    if (!playing_)
        return status;

    const DemodulatorObject& demod = pipeline_.demodulator();
    for (int fed = 0; !paused_ && fed < kMaxSecondsPerTick && sound_.numSoundSamples() < kQueuedAudioTarget; ++fed) {
        if (playBackSec_ >= selection_.endSecond && secondsFedSincePlay_ > 0)
            break;
        pipeline_.feedSecond(playBackSec_, nullptr);
        if (const std::string& error = pipeline_.recording()->readError(); !error.empty()) {
            // What was read of the failed second is not played either.
            stop();
            status.playing = false;
            status.ended = PlaybackEnd::Stopped;
            status.message = "Playback stopped: " + error;
            return status;
        }
        status.carrierKHz = demod.status().carrierFreqKHz;
        const RecordingObject& recording = *pipeline_.recording();
        const std::string time = recording.startTimeKnown()
                                     ? recording.TimestampFromOffset(playBackSec_)
                                     : std::to_string(playBackSec_) + " s (start time unknown)";
        status.timeAndCarrier = time + " " + formatFixed(status.carrierKHz, 3, 6) + " kHz";
        status.levelDbm = measuredLevel();
        ++status.secondsFed;
        ++playBackSec_;
        ++secondsFedSincePlay_;
    }
    status.position = playBackSec_;

    if (playBackSec_ >= selection_.endSecond) {
        SystemLog("All done playing back");
        playing_ = false;
        if (loop_ && startAgain(status.message)) {
            playing_ = true;
            status.ended = PlaybackEnd::Looped;
        } else {
            // The queued tail plays out.
            paused_ = false;
            status.ended = PlaybackEnd::Stopped;
        }
    }
    status.playing = playing_;
    return status;
}

bool PlaybackSession::updateMultiplexSpectrum()
{
    if (!multiplex_ || !playing_)
        return false;
    const DemodulatorObject& demod = pipeline_.demodulator();
    const DemodulatorStatus published = demod.status();
    return multiplex_->update(published.mpxRing.data(), static_cast<int32_t>(published.mpxRing.size()),
                              published.mpxRingPos);
}

const std::vector<double>* PlaybackSession::multiplexSpectrum() const
{
    return multiplex_ ? &multiplex_->spectrum() : nullptr;
}
