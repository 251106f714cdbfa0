#include "app/WindowControl.h"

#include "app/AboutDialog.h"
#include "app/CarrierWindowController.h"
#include "app/DgpsWindows.h"
#include "app/ElidedLabel.h"
#include "app/Preferences.h"
#include "app/WaterfallWindowController.h"
#include "app/FFTView.h"
#include "app/FileRunPanel.h"
#include "app/RecordingFileFilter.h"
#include "app/MainMenus.h"
#include "app/MainSidePanel.h"
#include "app/PlaybackControls.h"
#include "app/RawIqDialog.h"
#include "app/ReceiverMenu.h"
#include "app/RecentRecordingsMenu.h"
#include "app/RecordingDropFilter.h"
#include "app/RecordingsPanel.h"
#include "app/SelectionPanel.h"
#include "app/SoundDeviceMenu.h"
#include "app/PlaybackController.h"
#include "app/SoundOutputThread.h"
#include "app/WaterfallScrollArea.h"
#include "app/WaterfallArea.h"
#include "app/UpdateChecker.h"
#include "app/WaterfallSettingsPanel.h"
#include "app/WindowGeometry.h"
#include "audio/SoundOutputObject.h"
#include "playback/PlaybackSession.h"
#include "recording/ForeignRecording.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QPointer>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const char* const kFrameKey = "WindowControlAutoSaveName";
const char* const kSplitterKey = "WindowControlSplitters";

} // namespace

WindowControl::WindowControl(QWidget* parent, PlaybackEngine::Threading playbackThreading)
    : QMainWindow(parent)
    , soundDeviceMenu(new SoundDeviceMenu(this))
    , soundOutput(std::make_unique<SoundOutputObject>())
    , session(std::make_unique<PlaybackSession>(*soundOutput, playbackThreading))
    , soundDevice(std::make_unique<SoundOutputThread>(*soundOutput))
    , waterfall(new WaterfallArea(this))
    , fftView(waterfall->view())
    , recordingsPanel(new RecordingsPanel)
    , waterfallSettings(new WaterfallSettingsPanel)
    , selectionPanel(new SelectionPanel)
    , playbackControls(new PlaybackControls)
    , fileRunPanel(new FileRunPanel)
{
    setWindowTitle("Korvel");

    mainSplitter = new QSplitter(Qt::Horizontal);
    mainSplitter->addWidget(waterfall->scrollArea());
    sidePanel = new MainSidePanel(recordingsPanel, waterfallSettings, fileRunPanel);
    mainSplitter->addWidget(sidePanel);
    mainSplitter->setStretchFactor(0, 1);
    mainSplitter->setStretchFactor(1, 0);
    mainSplitter->setCollapsible(0, false);
    mainSplitter->setSizes({920, 340});

    auto* controls = new QWidget;
    auto* rows = new QVBoxLayout(controls);
    rows->setContentsMargins(0, 4, 0, 2);
    rows->setSpacing(4);
    auto* firstRow = new QHBoxLayout;
    firstRow->addWidget(selectionPanel);
    firstRow->addStretch();
    rows->addLayout(firstRow);
    rows->addWidget(playbackControls);
    // A window narrower than the controls scrolls them rather than cutting
    // them off or growing past the screen.
    auto* controlsStrip = new QScrollArea;
    controlsStrip->setObjectName("controlsStrip");
    controlsStrip->setFrameShape(QFrame::NoFrame);
    controlsStrip->setWidgetResizable(true);
    controlsStrip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    controlsStrip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    controlsStrip->setWidget(controls);
    controlsStrip->setFixedHeight(controls->minimumSizeHint().height() +
                                  controlsStrip->horizontalScrollBar()->sizeHint().height());

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(6, 6, 6, 0);
    column->addWidget(mainSplitter, 1);
    column->addWidget(controlsStrip);
    setCentralWidget(central);

    statusField = new ElidedLabel;
    statusField->setObjectName("statusField");
    statusBar()->addWidget(statusField, 1);
    readoutField = new QLabel;
    readoutField->setObjectName("readoutField");
    statusBar()->addPermanentWidget(readoutField);
    statusBar()->addPermanentWidget(waterfall->progressBar());
    statusBar()->addPermanentWidget(fileRunPanel->progressBar());
    soundStatusLabel = new QLabel;
    soundStatusLabel->setObjectName("soundStatusLabel");
    statusBar()->addPermanentWidget(soundStatusLabel);
    connect(waterfall, &WaterfallArea::finished, this, [this](bool completed, const QString& status) {
        showStatus(status);
        emit waterfallFinished(completed);
    });
    connect(waterfallSettings, &WaterfallSettingsPanel::autoLevelsRequested, this, &WindowControl::applyAutoLevels);
    connect(waterfall, &WaterfallArea::levelsMeasured, this, [this](int minDb, int maxDb) {
        if (!followMeasuredLevels_)
            return;
        waterfallSettings->setDbRange(minDb, maxDb);
        waterfall->setLevels(minDb, maxDb);
    });
    connect(waterfallSettings, &WaterfallSettingsPanel::levelsEdited, this, &WindowControl::applyTypedLevels);
    connect(waterfallSettings, &WaterfallSettingsPanel::fftSizeChanged, this, &WindowControl::redrawWaterfall);
    connect(waterfallSettings, &WaterfallSettingsPanel::zoomInRequested, waterfall->scrollArea(),
            &WaterfallScrollArea::zoomIn);
    connect(waterfallSettings, &WaterfallSettingsPanel::zoomOutRequested, waterfall->scrollArea(),
            &WaterfallScrollArea::zoomOut);
    connect(waterfallSettings, &WaterfallSettingsPanel::fitRequested, waterfall->scrollArea(),
            &WaterfallScrollArea::fitBand);
    connect(fftView, &FFTView::readoutChanged, readoutField, &QLabel::setText);
    playback = new PlaybackController({session.get(), playbackControls, selectionPanel, fftView, sidePanel, fileRunPanel,
                                       [this] { return carrierLogFolder(); },
                                       [this] { return menus->receiver()->controls(); }},
                                      this);
    connect(playback, &PlaybackController::statusMessage, this, &WindowControl::showStatus);

    // The demodulator and its sound output queue exist from here on; then the
    // devices and their menu, the preferences and files, the timers, and last
    // the sound output opens the chosen device.
    soundDeviceMenu->followSystemDevices();
    soundDeviceMenu->setBusyCheck([this] { return fileRunPanel->isRunning(); });

    updateChecker = new UpdateChecker(this);
    connect(new RecordingDropFilter(this), &RecordingDropFilter::recordingDropped, this,
            &WindowControl::openRecordingFile);
    buildMenus();
    readPreferences();

    connect(recordingsPanel, &RecordingsPanel::openRequested, this, &WindowControl::loadRecording);
    connect(recordingsPanel, &RecordingsPanel::openAsWaterfallRequested, this,
            &WindowControl::loadRecordingAsWaterfall);
    connect(recordingsPanel, &RecordingsPanel::folderChecked, this,
            [this](const QString& problem, const QString& previousProblem) {
                if (!problem.isEmpty() || (!previousProblem.isEmpty() && statusText() == previousProblem))
                    showStatus(problem);
            });
    connect(fftView, &FFTView::demodRecordingSettings, this, &WindowControl::demodRecordingSettings);
    connect(fftView, &FFTView::rightMouseDownFreq, this, &WindowControl::rightMouseDownFreq);
    connect(selectionPanel, &SelectionPanel::selectionEdited, this, &WindowControl::placeEditedSelection);
    connect(selectionPanel, &SelectionPanel::modeChanged, this, [this](int mode) {
        session->setMode(mode);
        playback->selectionChanged();
    });
    connect(playbackControls, &PlaybackControls::playClicked, this, &WindowControl::doPlay);
    connect(playbackControls, &PlaybackControls::pauseToggled, playback, &PlaybackController::pauseToggled);
    connect(playbackControls, &PlaybackControls::loopToggled, this, [this](bool on) { session->setLoop(on); });
    connect(playbackControls, &PlaybackControls::skipClicked, this, &WindowControl::doSkip);
    connect(playbackControls, &PlaybackControls::volumeChanged, this,
            [this](double volume) { session->setVolume(volume); });
    connect(fileRunPanel, &FileRunPanel::fileRequested, this, [this](bool timestamped) { startDemodToFile(timestamped); });
    connect(fileRunPanel, &FileRunPanel::extractRequested, this, [this] { startDemodToFile(false, true); });
    connect(fileRunPanel, &FileRunPanel::progress, fftView, &FFTView::setCurrentPlayTime);
    connect(fileRunPanel, &FileRunPanel::statusMessage, this, &WindowControl::showStatus);
    connect(fileRunPanel, &FileRunPanel::finished, this, &WindowControl::demodFileEnded);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowControl::savePreferences);

    recordingsPanel->ReloadTheFilesList();

    fastTimer = new QTimer(this);
    fastTimer->setInterval(200);
    connect(fastTimer, &QTimer::timeout, this, &WindowControl::FastTimer);
    oneSecTimer = new QTimer(this);
    oneSecTimer->setInterval(1000);
    connect(oneSecTimer, &QTimer::timeout, this, &WindowControl::OneSecTimer);
    fastTimer->start();
    oneSecTimer->start();

    connect(soundDeviceMenu, &SoundDeviceMenu::outputDeviceChosen, this,
            [this](const QByteArray& deviceId) { soundDevice->startSound(deviceId); });
    connect(soundDevice.get(), &SoundOutputThread::statusChanged, soundStatusLabel, &QLabel::setText);
    soundDevice->startSound(soundDeviceMenu->outputDeviceId());
    // Asked once the window is up; the answer never holds it up.
    QTimer::singleShot(0, updateChecker, &UpdateChecker::checkVersion);
}

WindowControl::~WindowControl()
{
    // Closing the audio sink spins a nested event loop, in which timers and
    // queued signals would reach parts already gone. So first nothing may call
    // the window any more; then the parts go in an order where each outlives
    // what uses it.
    fastTimer->stop();
    oneSecTimer->stop();
    waterfall->cancel();
    soundDeviceMenu->setBusyCheck({});
    // A text field losing its focus as the window goes still reports an edit.
    for (QObject* sender : std::initializer_list<QObject*>{fileRunPanel, soundDevice.get(), soundDeviceMenu, waterfall,
                                                          fftView, selectionPanel, playbackControls, menus, qApp})
        sender->disconnect(this);
    soundDevice->disconnect();

    // A file run still going is cancelled (its unfinished file removed) and
    // its thread joined.
    delete fileRunPanel;
    soundDevice.reset();
    session.reset();
    soundOutput.reset();
}

void WindowControl::buildMenus()
{
    menus = new MainMenus(this, soundDeviceMenu->menu());
    connect(menus, &MainMenus::openRecordingRequested, this, &WindowControl::chooseRecordingFile);
    connect(menus, &MainMenus::recentRecordingChosen, this, &WindowControl::openRecordingFile);
    connect(menus, &MainMenus::chooseFolderRequested, recordingsPanel, &RecordingsPanel::setRecordingFolder);
    connect(menus, &MainMenus::reloadRequested, recordingsPanel, &RecordingsPanel::ReloadTheFilesList);
    connect(menus, &MainMenus::openInWaterfallRequested, this, [this] {
        const QString name = recordingsPanel->currentFile();
        if (!name.isEmpty())
            loadRecordingAsWaterfall(name);
    });
    connect(menus, &MainMenus::quitRequested, this, &QWidget::close);
    connect(menus, &MainMenus::drawInColorChanged, fftView, &FFTView::setDrawInColor);
    connect(menus, &MainMenus::wholeSecondChanged, this, [this](bool on) {
        if (on == waterfall->wholeSecond())
            return;
        waterfall->setWholeSecond(on);
        redrawWaterfall();
    });
    connect(menus, &MainMenus::zoomInRequested, waterfall->scrollArea(), &WaterfallScrollArea::zoomIn);
    connect(menus, &MainMenus::zoomOutRequested, waterfall->scrollArea(), &WaterfallScrollArea::zoomOut);
    connect(menus, &MainMenus::fitRequested, waterfall->scrollArea(), &WaterfallScrollArea::fitBand);
    connect(menus, &MainMenus::playPauseRequested, playbackControls, &PlaybackControls::playOrPause);
    connect(menus, &MainMenus::skipRequested, this, &WindowControl::doSkip);
    connect(menus, &MainMenus::selectionStartRequested, this, [this] {
        playback->goToSelectionStart();
        waterfall->scrollArea()->showSecond(session->playBackSecond());
    });
    connect(menus, &MainMenus::selectionEndRequested, this, [this] {
        playback->goToSelectionEnd();
        waterfall->scrollArea()->showSecond(session->isPlaying() ? session->playBackSecond()
                                                                 : session->selection().endSecond);
    });
    connect(menus, &MainMenus::loopRequested, playbackControls, &PlaybackControls::toggleLoop);
    connect(menus->receiver(), &ReceiverMenu::controlsChanged, playback, &PlaybackController::selectionChanged);
    connect(menus, &MainMenus::writeCarrierTxtChanged, this,
            [this] { session->setCarrierLogFolder(QFile::encodeName(carrierLogFolder()).toStdString()); });
    connect(menus, &MainMenus::dgpsRequested, this, [this] { DgpsWindows::of(this)->openDGPS(recordingFolder()); });
    connect(menus, &MainMenus::carrierRequested, this, [this] {
        QPointer<MainMenus> shown(menus);
        auto* window = new CarrierWindowController(recordingFolder(), [shown] { return shown && shown->drawsInColor(); }, this);
        window->show();
    });
    connect(menus, &MainMenus::checkForUpdatesRequested, updateChecker, &UpdateChecker::checkNow);
    connect(menus, &MainMenus::aboutRequested, this, [this] { AboutDialog(this).exec(); });
}

void WindowControl::readPreferences()
{
    QSettings settings = Preferences();
    WindowGeometry::restore(this, kFrameKey, QSize(1280, 800));
    const QVariantList splitters = settings.value(kSplitterKey).toList();
    if (splitters.size() == 2) {
        mainSplitter->restoreState(splitters[0].toByteArray());
        sidePanel->restoreState(splitters[1].toByteArray());
    }

    waterfallSettings->readPreferences(settings);
    menus->readPreferences(settings);
}

void WindowControl::savePreferences()
{
    QSettings settings = Preferences();
    waterfallSettings->savePreferences(settings);
    menus->savePreferences(settings);
    settings.setValue(kFrameKey, saveGeometry());
    settings.setValue(kSplitterKey, QVariantList{mainSplitter->saveState(), sidePanel->saveState()});
    settings.sync();
}

void WindowControl::closeEvent(QCloseEvent* event)
{
    savePreferences();
    event->accept();
}

void WindowControl::openRecordingFile(const QString& path)
{
    const QFileInfo file(path);
    if (file.isDir()) {
        recordingsPanel->useRecordingFolderForSession(file.absoluteFilePath());
        const qsizetype count = recordingFiles().size();
        showStatus(QString("%1: %2 %3")
                       .arg(QDir::toNativeSeparators(file.absoluteFilePath()))
                       .arg(count)
                       .arg(count == 1 ? "recording" : "recordings"));
        return;
    }
    if (!file.isFile()) {
        showStatus(QString("%1 is not a file or folder.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (QDir(recordingFolder()) != file.absoluteDir())
        recordingsPanel->useRecordingFolderForSession(file.absolutePath());
    // A raw capture whose name says nothing is not listed; it opens once described.
    const bool describable = ForeignRecording::hasRawExtension(QFile::encodeName(file.fileName()).toStdString());
    if (!recordingsPanel->selectFile(file.fileName()) && !describable) {
        showStatus(QString("%1 is not a recording that Korvel can open.").arg(file.fileName()));
        return;
    }
    menus->recentRecordings()->add(file.absoluteFilePath());
    loadRecording(file.fileName());
}

void WindowControl::chooseRecordingFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, "Open Recording", recordingFolder(),
        recordingFileFilter());
    if (!path.isEmpty())
        openRecordingFile(path);
}

void WindowControl::loadRecording(const QString& name)
{
    // The worker reads the selection of the loaded recording until it is done.
    if (fileRunPanel->isRunning()) {
        showStatus(QString("A WAV file is being written; %1 was not loaded. Try again when it is done.").arg(name));
        return;
    }
    double minDb = 0.0;
    double maxDb = 0.0;
    const QString problem = waterfallSettings->waterfallDbRange(&minDb, &maxDb);
    if (!problem.isEmpty()) {
        showStatus(problem);
        return;
    }

    // A file that cannot be opened or is refused leaves the loaded recording
    // and its waterfall as they are.
    const bool wasPlaying = session->isPlaying();
    std::vector<std::string> lines;
    const std::string folder = QFile::encodeName(recordingFolder()).toStdString();
    session->setRawIqSettings({});
    std::string why = session->load(folder, QFile::encodeName(name).toStdString(), lines);
    if (!why.empty() && session->needsRawIqSettings()) {
        RawIqDialog dialog(name, this);
        if (dialog.exec() == QDialog::Accepted) {
            session->setRawIqSettings(dialog.settings());
            why = session->load(folder, QFile::encodeName(name).toStdString(), lines);
        }
    }
    QStringList info;
    for (const std::string& line : lines)
        info << QString::fromStdString(line);
    setInfoArray(info);
    if (!why.empty()) {
        showStatus(QString("%1 was not loaded: %2").arg(name, QString::fromStdString(why)));
        return;
    }

    waterfall->cancel();
    if (wasPlaying)
        playback->stopPlayback();
    const RecordingObject& recording = *session->recording();
    // A selection made on another recording may lie outside this one's band.
    const SelectionFields shown = selectionPanel->typedFields();
    const std::optional<double> lowKHz = parseSelectionNumber(shown.lowFreq);
    const std::optional<double> highKHz = parseSelectionNumber(shown.highFreq);
    if (lowKHz && highKHz && !session->fitsBand(*lowKHz, *highKHz)) {
        session->clearSelection();
        selectionPanel->clearTimesAndBand();
    }
    if (!session->canPlay())
        showStatus(QString("%1: not enough memory to play a second at %2 samples per second")
                       .arg(name)
                       .arg(recording.parameters().mSampleRate));
    updateControls();
    setWindowTitle(name);
    followMeasuredLevels_ = !waterfallSettings->levelsPinned();
    showStatus(waterfall->draw(recording, name, waterfallSettings->fftSize(), maxDb, minDb));
}

void WindowControl::applyAutoLevels()
{
    const std::optional<std::pair<int, int>> levels = waterfall->measuredLevels();
    if (!levels || waterfall->isDrawing()) {
        showStatus("Automatic levels are measured from a drawn waterfall; load a recording and let it finish");
        return;
    }
    waterfallSettings->setDbRange(levels->first, levels->second);
    waterfall->setLevels(levels->first, levels->second);
    showStatus(QString("Levels from %1 to %2 dB").arg(levels->first).arg(levels->second));
}

void WindowControl::applyTypedLevels()
{
    double minDb = 0.0;
    double maxDb = 0.0;
    const QString problem = waterfallSettings->waterfallDbRange(&minDb, &maxDb);
    if (!problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    followMeasuredLevels_ = false;
    waterfall->setLevels(minDb, maxDb);
}

void WindowControl::redrawWaterfall()
{
    const RecordingObject* recording = session->recording();
    if (!recording || !recording->isValidRecordingFile() || fftView->lines() == 0)
        return;
    showStatus(waterfall->redraw(*recording, waterfallSettings->fftSize()));
}

void WindowControl::loadRecordingAsWaterfall(const QString& name)
{
    QString problem;
    if (!WaterfallWindowController::openWindow(QDir(recordingFolder()).filePath(name), this, problem))
        showStatus(QString("%1: %2").arg(name, problem));
}

FreqScaleView* WindowControl::frequencyScaleView() const { return waterfall->scale(); }

void WindowControl::setWaterfallBand(double bandwidthHz, double centerHz)
{
    QString problem;
    waterfall->setBand(bandwidthHz, centerHz, &problem);
    if (!problem.isEmpty())
        showStatus(problem);
}

void WindowControl::setInfoArray(const QStringList& lines)
{
    infoArray = lines;
    sidePanel->infoBrowser()->clear();
    sidePanel->infoBrowser()->addItems(infoArray);
}

void WindowControl::showStatus(const QString& text)
{
    statusField->setText(text);
}

QString WindowControl::statusText() const
{
    return statusField->text();
}


void WindowControl::demodRecordingSettings(const Selection& dragged)
{
    Selection placed = dragged;
    placed.pbtKHz = session->selection().pbtKHz;
    session->setSelection(placed);
    selectionPanel->showSelection(placed);
    if (session->isPlaying())
        playback->selectionChanged();
}

void WindowControl::rightMouseDownFreq(float kHz, float seconds, unsigned modifiers)
{
    const SelectionFieldChange change = RightClickFieldChange(kHz, seconds, modifiers, fftView->lines());
    if (session->changeSelection(change)) {
        selectionPanel->showField(change.field, session->selection());
        playback->selectionChanged();
    } else {
        // Nothing placed yet: the click fills in the field, as if typed.
        selectionPanel->editField(change);
    }
}

void WindowControl::placeEditedSelection(const Selection& edited)
{
    session->setSelection(edited);
    playback->selectionChanged();
}

bool WindowControl::drawsInColor() const { return menus->drawsInColor(); }
bool WindowControl::writesCarrierTxt() const { return menus->writesCarrierTxt(); }
bool WindowControl::isWritingFile() const { return fileRunPanel->isRunning(); }
bool WindowControl::isPlaying() const { return session->isPlaying(); }
int WindowControl::playBackSecond() const { return session->playBackSecond(); }
int WindowControl::selectionStartSecond() const { return session->selection().startSecond; }
int WindowControl::selectionEndSecond() const { return session->selection().endSecond; }
const RecordingObject* WindowControl::recording() const { return session->recording(); }
bool WindowControl::isDrawingWaterfall() const { return waterfall->isDrawing(); }
int WindowControl::fftSize() const { return waterfallSettings->fftSize(); }

void WindowControl::useRecordingFolderForSession(const QString& dir)
{
    recordingsPanel->useRecordingFolderForSession(dir);
}

QString WindowControl::recordingFolder() const { return recordingsPanel->recordingFolder(); }
const QStringList& WindowControl::recordingFiles() const { return recordingsPanel->recordingFiles(); }
void WindowControl::chooseRecordingFolder(const QString& path) { recordingsPanel->chooseRecordingFolder(path); }

QMenu* WindowControl::createFileContextMenu(const QString& name)
{
    return recordingsPanel->createFileContextMenu(name);
}

QString WindowControl::documentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir(QDir::homePath()).filePath("Documents") : folder;
}

QString WindowControl::carrierLogFolder() const
{
    return menus->writesCarrierTxt() ? documentsFolder() : QString();
}

// ---- Playback ----

void WindowControl::updateControls() { playback->updateControls(); }
void WindowControl::doPlay(bool on) { playback->doPlay(on); }
void WindowControl::doSkip(int seconds) { playback->doSkip(seconds); }
void WindowControl::FastTimer() { playback->fastTick(); }

void WindowControl::OneSecTimer()
{
    playback->slowTick();
    waterfallSettings->takeTypedFftLength();
}

// ---- Demodulation to a WAV file ----

void WindowControl::doDemodToFile()
{
    startDemodToFile(false);
}

void WindowControl::doDemodToTimestampedFile()
{
    startDemodToFile(true);
}

void WindowControl::startDemodToFile(bool timestamped, bool iq)
{
    if (!session->canPlay())
        return;
    if (session->isPlaying()) {
        showStatus("Stop playback before writing a WAV file.");
        return;
    }
    if (fileRunPanel->isRunning()) {
        showStatus("A WAV file is already being written.");
        return;
    }
    std::optional<DemodSetup> setup = playback->setupDemodStuff();
    if (setup && (iq ? fileRunPanel->startExtract(*session->recording(), *setup, documentsFolder())
                     : fileRunPanel->start(*session->recording(), *setup, timestamped, documentsFolder(),
                                           carrierLogFolder())))
        updateControls();
}

void WindowControl::demodFileEnded(bool ok)
{
    fftView->setCurrentPlayTime(-1);
    updateControls();
    emit demodFileFinished(ok);
}
