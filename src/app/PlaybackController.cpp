#include "app/PlaybackController.h"

#include "app/AudioSpectrumView.h"
#include "app/FFTView.h"
#include "app/FileRunPanel.h"
#include "app/MainSidePanel.h"
#include "app/PlaybackControls.h"
#include "app/SelectionPanel.h"
#include "app/SpectrumView.h"
#include "demod/DemodSetup.h"
#include "playback/PlaybackSession.h"

#include <QFile>

PlaybackController::PlaybackController(Parts parts, QObject* parent)
    : QObject(parent)
    , parts_(std::move(parts))
{
}

void PlaybackController::updateControls()
{
    const bool playable = parts_.session->canPlay();
    const bool writing = parts_.fileRun->isRunning();
    const bool playing = parts_.session->isPlaying();
    parts_.controls->updateControls(playable, writing, playing);
    parts_.fileRun->setButtonsEnabled(playable && !writing && !playing);
}

void PlaybackController::showSelection()
{
    const Selection& selection = parts_.session->selection();
    parts_.view->setRecordingSettings(selection.startSecond, selection.endSecond, selection.lowKHz, selection.highKHz);
    parts_.view->update();
}

std::optional<DemodSetup> PlaybackController::setupDemodStuff()
{
    DemodSetup setup = parts_.session->setupDemodStuff(parts_.selection->typedFields(), parts_.selection->mode());
    setup.setControls(parts_.receiverControls());
    if (!setup.ok()) {
        emit statusMessage(QString::fromStdString(setup.error()));
        return std::nullopt;
    }
    parts_.selection->showFields(setup.fields(), parts_.session->selection());
    showSelection();
    return setup;
}

void PlaybackController::doPlay(bool on)
{
    if (!parts_.session->canPlay()) {
        parts_.controls->showStopped();
        return;
    }
    if (!on) {
        stopPlayback();
        return;
    }
    if (parts_.fileRun->isRunning()) {
        parts_.controls->showStopped();
        emit statusMessage("A WAV file is being written; play when it is done.");
        return;
    }
    const std::optional<DemodSetup> setup = setupDemodStuff();
    parts_.session->setCarrierLogFolder(QFile::encodeName(parts_.carrierLogFolder()).toStdString());
    if (!setup || !parts_.session->play(*setup)) {
        if (setup)
            emit statusMessage(QString::fromStdString(setup->bandMessage()));
        parts_.controls->showStopped();
        return;
    }
    parts_.controls->showPlaying();
    parts_.view->setCurrentPlayTime(parts_.session->playBackSecond());
    updateControls();
}

void PlaybackController::stopPlayback()
{
    parts_.session->stop();
    parts_.controls->showStopped();
    parts_.view->setCurrentPlayTime(-1);
    parts_.view->update();
    parts_.controls->showSignalLevel(std::nullopt);
    updateControls();
}

void PlaybackController::pauseToggled(bool paused)
{
    parts_.session->setPaused(paused);
    if (parts_.session->isPlaying() && paused)
        parts_.controls->showSignalLevel(std::nullopt);
}

void PlaybackController::doSkip(int seconds)
{
    if (parts_.fileRun->isRunning()) {
        parts_.fileRun->skip(seconds);
        return;
    }
    parts_.session->skip(seconds);
    if (parts_.session->isPlaying())
        fastTick();
}

void PlaybackController::goToSelectionStart()
{
    parts_.session->goToSelectionStart();
    if (parts_.session->isPlaying())
        fastTick();
}

void PlaybackController::goToSelectionEnd()
{
    parts_.session->goToSelectionEnd();
    if (parts_.session->isPlaying())
        fastTick();
}

void PlaybackController::selectionChanged()
{
    showSelection();
    if (!parts_.session->isPlaying())
        return;
    // What the listener changed is what they hear next: the fields, mended,
    // become the playing selection.
    const std::optional<DemodSetup> setup = setupDemodStuff();
    if (!setup)
        return;
    if (!setup->bandFits()) {
        emit statusMessage(QString::fromStdString(setup->bandMessage()));
        return;
    }
    parts_.session->retune(*setup);
    fastTick();
}

void PlaybackController::fastTick()
{
    const PlaybackStatus status = parts_.session->tick();
    if (!status.ran)
        return;
    parts_.view->setCurrentPlayTime(status.position);
    if (status.playing) {
        emit statusMessage(QString::fromStdString(status.timeAndCarrier));
        parts_.controls->showSignalLevel(status.levelDbm);
        if (status.newCarrierSpectrum) {
            parts_.side->audioSpectrumView()->setSpectrum(parts_.session->carrierSpectrum());
            parts_.side->audioSpectrumView()->update();
        }
    }
    if (status.ended == PlaybackEnd::Looped) {
        showSelection();
    } else if (status.ended == PlaybackEnd::Stopped) {
        if (!status.message.empty())
            emit statusMessage(QString::fromStdString(status.message));
        parts_.controls->showStopped();
        parts_.controls->showSignalLevel(std::nullopt);
        updateControls();
    }
}

void PlaybackController::slowTick()
{
    updateControls();
    if (parts_.session->updateMultiplexSpectrum()) {
        parts_.side->spectrumView()->setSpectrum(parts_.session->multiplexSpectrum());
        parts_.side->spectrumView()->update();
    }
}
