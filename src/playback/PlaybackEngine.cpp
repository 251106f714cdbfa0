#include "playback/PlaybackEngine.h"

#include "audio/SoundOutputObject.h"
#include "common/AudioOutput.h"
#include "demod/DemodFileJob.h"
#include "demod/DemodSecondFeeder.h"
#include "demod/MultiplexSpectrum.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

constexpr int kAudioRate = AudioOutput::kOutputRate;

// A raised cosine over PlaybackEngine::kFadeSamples: the gain of the k-th
// sample (0-based) of a fade-in.
double FadeIn(int64_t k)
{
    if (k >= PlaybackEngine::kFadeSamples)
        return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(k + 1) / (PlaybackEngine::kFadeSamples + 1));
}

} // namespace

PlaybackEngine::PlaybackEngine(SoundOutputObject& sound, Threading threading)
    : sound_(sound)
    , threading_(threading)
{
    carrier_.carrierPower.reserve(DemodulatorObject::kCarrierFftSize);
    multiplex_.reserve(MultiplexSpectrum::kColumns);
    if (threading_ == Threading::OwnThread)
        thread_ = std::thread([this] { threadMain(); });
}

PlaybackEngine::~PlaybackEngine()
{
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    cutQueued();
}

// ---- Commands ----

void PlaybackEngine::send(Command command)
{
    {
        const std::lock_guard lock(mutex_);
        commands_.push_back(std::move(command));
        ++commandsSent_;
    }
    wake_.notify_one();
}

void PlaybackEngine::open(const std::string& folder, const std::string& name, const RawIqSettings& rawIq)
{
    Command command;
    command.kind = CommandKind::Open;
    command.folder = folder;
    command.name = name;
    command.rawIq = rawIq;
    send(std::move(command));
}

void PlaybackEngine::play(const DemodSetup& setup, const std::string& carrierLogFolder)
{
    Command command;
    command.kind = CommandKind::Play;
    command.setup = setup;
    command.folder = carrierLogFolder;
    send(std::move(command));
}

void PlaybackEngine::retune(const DemodSetup& setup)
{
    Command command;
    command.kind = CommandKind::Retune;
    command.setup = setup;
    send(std::move(command));
}

void PlaybackEngine::setPaused(bool paused)
{
    Command command;
    command.kind = paused ? CommandKind::Pause : CommandKind::Resume;
    send(std::move(command));
}

void PlaybackEngine::seek(int64_t sample)
{
    Command command;
    command.kind = CommandKind::Seek;
    command.sample = std::max<int64_t>(sample, 0);
    send(std::move(command));
}

void PlaybackEngine::stop()
{
    send(Command{});
}

// ---- The worker ----

void PlaybackEngine::threadMain()
{
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (commands_.empty()) {
            // While playing the device drains the ring without a word: look again soon.
            if (state_ == PlaybackState::Playing)
                wake_.wait_for(lock, std::chrono::milliseconds(10));
            else
                wake_.wait(lock, [this] { return quit_ || !commands_.empty(); });
        }
        if (quit_)
            break;
        lock.unlock();
        work();
        lock.lock();
    }
}

bool PlaybackEngine::work()
{
    {
        const std::lock_guard lock(mutex_);
        todo_.swap(commands_);
    }
    for (Command& command : todo_) {
        act(command);
        const std::lock_guard lock(mutex_);
        published_.commandsDone = ++commandsDone_;
    }
    todo_.clear();
    bool fed = false;
    // A command sent meanwhile is acted on before the next piece.
    while (commandsSent_.load() == commandsDone_ && produce())
        fed = true;
    return fed;
}

void PlaybackEngine::act(Command& command)
{
    switch (command.kind) {
    case CommandKind::Open: openRecording(command); break;
    case CommandKind::Play:
        if (!openProblem_.empty() || !pipeline_.hasFeeder()) {
            stopPlaying("Playback stopped: " + (openProblem_.empty() ? std::string("no recording") : openProblem_), true);
            break;
        }
        carrierLogFolder_ = command.folder;
        if (useSetup(command.setup, true))
            startStream(selectionStart(), true);
        break;
    case CommandKind::Retune: {
        if (state_ == PlaybackState::Idle || !openProblem_.empty() || !pipeline_.hasFeeder())
            break;
        const Selection before = setup_.selection();
        const Selection after = command.setup.selection();
        const bool newRange = before.startSecond != after.startSecond || before.endSecond != after.endSecond ||
                              before.lowKHz != after.lowKHz || before.highKHz != after.highKHz;
        const int64_t at = heardSample();
        if (!useSetup(command.setup, false))
            break;
        const int64_t from = newRange ? selectionStart() : at;
        if (state_ == PlaybackState::Paused) {
            pausedAt_ = from;
            const std::lock_guard lock(mutex_);
            heldSample_ = from;
        } else {
            startStream(from, true);
        }
        break;
    }
    case CommandKind::Pause:
        if (state_ == PlaybackState::Playing || state_ == PlaybackState::Finishing) {
            pausedAt_ = heardSample();
            cutQueued();
            state_ = PlaybackState::Paused;
            const std::lock_guard lock(mutex_);
            heldSample_ = pausedAt_;
            published_.state = state_;
        }
        break;
    case CommandKind::Resume:
        if (state_ == PlaybackState::Paused)
            startStream(pausedAt_, true);
        break;
    case CommandKind::Seek:
        if (state_ == PlaybackState::Paused) {
            pausedAt_ = command.sample;
            const std::lock_guard lock(mutex_);
            heldSample_ = pausedAt_;
        } else if (state_ != PlaybackState::Idle) {
            startStream(command.sample, true);
        }
        break;
    case CommandKind::Stop:
        if (state_ != PlaybackState::Idle)
            stopPlaying({}, false);
        break;
    }
}

void PlaybackEngine::openRecording(Command& command)
{
    if (state_ != PlaybackState::Idle)
        stopPlaying({}, false);
    pipeline_.setRawIqSettings(command.rawIq);
    std::vector<std::string> lines;
    configured_ = false;
    // The window opened the file a moment ago; it may have gone since.
    openProblem_ = pipeline_.open(command.folder, command.name, lines, true);
    if (openProblem_.empty() && !pipeline_.makeFeeder())
        openProblem_ = "not enough memory for a second of the recording";
    const std::lock_guard lock(mutex_);
    anchors_.clear();
    heldSample_ = -1;
    published_.sampleRate = static_cast<int32_t>(pipeline_.parameters().mSampleRate);
    published_.hasReadings = false;
}

bool PlaybackEngine::useSetup(DemodSetup& setup, bool force)
{
    const DemodulatorObject& demod = pipeline_.demodulator();
    const bool same = configured_ && setup.controls() == setup_.controls() && setup.mode() == demod.getDemodMode() &&
                      setup.ncoHz() == demod.getNCO() &&
                      setup.filterHz() == demod.getFilter() && setup.pbtHz() == demod.getPBT() &&
                      static_cast<int32_t>(pipeline_.parameters().mSampleRate) == demod.getInputRate();
    setup_ = setup;
    if (same && !force)
        return true;
    if (!pipeline_.configure(setup_, !carrierLogFolder_.empty(), carrierLogFolder_)) {
        configured_ = false;
        stopPlaying("Playback stopped: " + setup_.bandMessage(), true);
        return false;
    }
    configured_ = true;
    rate_ = static_cast<int32_t>(pipeline_.parameters().mSampleRate);
    // Pieces of 50 ms: a command waits for at most one.
    chunk_ = std::max(rate_ / 20, 1);
    lead_ = DemodFileJob::measureLead(demod);
    audio_.resize(static_cast<size_t>(std::max(demod.maxOutputSamples(chunk_), 1)));
    faded_.resize(std::max<size_t>(audio_.size(), 8192));
    if (setup_.mode() == kDemodWFM) {
        if (!multiplexSpectrum_)
            multiplexSpectrum_ = std::make_unique<MultiplexSpectrum>();
        multiplexSpectrum_->skipTo(demod.status().mpxRingPos);
    } else {
        multiplexSpectrum_.reset();
    }
    return true;
}

int64_t PlaybackEngine::selectionStart() const
{
    return static_cast<int64_t>(setup_.startSecond()) * rate_;
}

int64_t PlaybackEngine::selectionEnd() const
{
    // Like a file run: at least one second, even of an empty selection.
    return std::max(static_cast<int64_t>(setup_.endSecond()) * rate_, selectionStart() + rate_);
}

void PlaybackEngine::startStream(int64_t firstSample, bool replacing)
{
    const int64_t end = selectionEnd();
    firstSample = std::max<int64_t>(firstSample, 0);
    if (firstSample >= end) {
        if (replacing)
            cutQueued();
        endPass();
        return;
    }
    const int64_t anchorTotal = replacing ? cutQueued() : sound_.writtenTotal();
    pipeline_.demodulator().ResetStream();
    const int64_t fill = std::min<int64_t>(firstSample, rate_);
    stream_ = {};
    stream_.nextInput = firstSample - fill;
    stream_.endInput = end;
    stream_.flushLeft = rate_;
    const int64_t firstAt = std::llround(static_cast<double>(fill) * kAudioRate / rate_) - lead_;
    stream_.toDrop = std::max<int64_t>(firstAt, 0);
    stream_.cap = std::llround(static_cast<double>(end - firstSample) * kAudioRate / rate_);
    state_ = PlaybackState::Playing;
    {
        const std::lock_guard lock(mutex_);
        const int64_t heard = sound_.readTotal();
        while (anchors_.size() > 1 && anchors_[1].total <= heard)
            anchors_.pop_front();
        anchors_.push_back({anchorTotal, firstSample, replacing});
        heldSample_ = -1;
        published_.state = state_;
        published_.tailEndTotal = -1;
    }
    // What the pipeline holds back of the first instants is heard as silence.
    writeSilence(std::max<int64_t>(-firstAt, 0));
}

void PlaybackEngine::endPass()
{
    if (loop_.load()) {
        {
            const std::lock_guard lock(mutex_);
            ++published_.passesLooped;
        }
        startStream(selectionStart(), false);
        return;
    }
    sound_.markStreamEnd();
    state_ = PlaybackState::Finishing;
    const std::lock_guard lock(mutex_);
    published_.state = state_;
    published_.tailEndTotal = sound_.writtenTotal();
}

void PlaybackEngine::stopPlaying(const std::string& message, bool byItself)
{
    const int64_t at = heardSample();
    cutQueued();
    state_ = PlaybackState::Idle;
    const std::lock_guard lock(mutex_);
    heldSample_ = at;
    published_.state = state_;
    published_.tailEndTotal = -1;
    if (byItself) {
        ++published_.stops;
        published_.stopMessage = message;
    }
}

bool PlaybackEngine::produce()
{
    // Audio before the last cut is on its way out, whatever the reader has yet to drop of it.
    const int64_t queued = sound_.writtenTotal() - std::max(sound_.readTotal(), lastCut_);
    if (state_ != PlaybackState::Playing || queued >= kQueuedSamples || sound_.room() < static_cast<int>(audio_.size()))
        return false;
    const bool flushing = stream_.nextInput >= stream_.endInput;
    const auto n =
        static_cast<int32_t>(std::min<int64_t>(chunk_, flushing ? stream_.flushLeft : stream_.endInput - stream_.nextInput));
    DemodSecondFeeder& feeder = *pipeline_.feeder();
    const int made = feeder.feed(pipeline_.demodulator(), stream_.nextInput, n, audio_.data());
    if (!feeder.readError().empty()) {
        stopPlaying("Playback stopped: " + feeder.readError(), true);
        return true;
    }
    if (setup_.mode() == kDemodNone) {
        // No audio comes out: silence in step with the input keeps the pass in time.
        const int64_t due = std::llround(static_cast<double>(n) * kAudioRate / rate_);
        writeSilence(due);
    } else {
        writeAudio(audio_.data(), made);
    }
    stream_.nextInput += n;
    if (flushing)
        stream_.flushLeft -= n;
    inputSinceCarrierCopy_ += n;
    publishReadings();
    if (stream_.written >= stream_.cap || (flushing && stream_.flushLeft <= 0)) {
        writeSilence(stream_.cap - stream_.written);
        endPass();
    }
    return true;
}

void PlaybackEngine::writeAudio(const int16_t* samples, int64_t n)
{
    const int64_t drop = std::clamp<int64_t>(stream_.toDrop, 0, n);
    stream_.toDrop -= drop;
    samples += drop;
    n = std::min(n - drop, stream_.cap - stream_.written);
    if (n <= 0)
        return;
    const int64_t first = stream_.written;
    if (first >= kFadeSamples && first + n <= stream_.cap - kFadeSamples) {
        sound_.addAudio(samples, static_cast<int>(n));
    } else {
        for (int64_t i = 0; i < n; ++i) {
            const int64_t k = first + i;
            const double gain = FadeIn(k) * FadeIn(stream_.cap - 1 - k);
            faded_[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(samples[i] * gain));
        }
        sound_.addAudio(faded_.data(), static_cast<int>(n));
    }
    stream_.written += n;
}

void PlaybackEngine::writeSilence(int64_t n)
{
    // A fade leaves zeros as they are, so the buffer stays silent throughout.
    std::fill(faded_.begin(), faded_.end(), int16_t{0});
    while (n > 0) {
        const int64_t part = std::min<int64_t>(n, static_cast<int64_t>(faded_.size()));
        writeAudio(faded_.data(), part);
        n -= part;
    }
}

void PlaybackEngine::publishReadings()
{
    const DemodulatorStatus status = pipeline_.demodulator().status();
    const bool newCarrier = inputSinceCarrierCopy_ >= rate_ && !status.carrierPower.empty();
    const bool newMultiplex = multiplexSpectrum_ &&
                              multiplexSpectrum_->update(status.mpxRing.data(),
                                                         static_cast<int32_t>(status.mpxRing.size()), status.mpxRingPos);
    const std::lock_guard lock(mutex_);
    // A silent input (beyond the recording, digital zeros) reads far below
    // anything a recording holds: no measurement.
    published_.hasReadings = status.sMeterAve > -200.0;
    published_.sMeterAve = status.sMeterAve;
    published_.carrierFreqKHz = status.carrierFreqKHz;
    if (newCarrier) {
        inputSinceCarrierCopy_ = 0;
        carrier_.carrierPower.assign(status.carrierPower.begin(), status.carrierPower.end());
        carrier_.carrierPeakPower = status.carrierPeakPower;
        carrier_.carrierPeakBin = status.carrierPeakBin;
        carrier_.carrierRate = status.carrierRate;
        ++published_.carrierVersion;
    }
    if (newMultiplex) {
        multiplex_ = multiplexSpectrum_->spectrum();
        ++published_.multiplexVersion;
    }
}

int64_t PlaybackEngine::cutQueued()
{
    lastCut_ = sound_.cut();
    return lastCut_;
}

// ---- What was published ----

PlaybackEngine::Snapshot PlaybackEngine::snapshot() const
{
    const std::lock_guard lock(mutex_);
    return published_;
}

int64_t PlaybackEngine::heardSample() const
{
    const int64_t readTotal = sound_.readTotal();
    const std::lock_guard lock(mutex_);
    return heardSampleLocked(readTotal);
}

int64_t PlaybackEngine::heardSampleLocked(int64_t readTotal) const
{
    if (heldSample_ >= 0 || anchors_.empty())
        return heldSample_;
    const Anchor* anchor = &anchors_.front();
    for (auto a = anchors_.rbegin(); a != anchors_.rend(); ++a) {
        anchor = &*a;
        if (a->total <= readTotal || a->cut)
            break;
    }
    const int64_t played = std::max<int64_t>(readTotal - anchor->total, 0);
    return anchor->firstSample + static_cast<int64_t>(static_cast<double>(played) * published_.sampleRate / kAudioRate);
}

CarrierSpectrum PlaybackEngine::carrierSpectrum() const
{
    const std::lock_guard lock(mutex_);
    return carrier_;
}

std::vector<double> PlaybackEngine::multiplexSpectrum() const
{
    const std::lock_guard lock(mutex_);
    return multiplex_;
}
