#include "app/WindowControl.h"

#include "app/AudioSpectrumView.h"
#include "app/DemodFileRun.h"
#include "app/DgpsWindows.h"
#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "app/SoundDeviceMenu.h"
#include "app/SoundOutputDevice.h"
#include "app/SpectrumView.h"
#include "app/WaterfallLoader.h"
#include "app/WaterfallScrollArea.h"
#include "audio/SoundOutputObject.h"
#include "common/CNumberFormat.h"
#include "demod/DemodFileJob.h"
#include "playback/PlaybackSession.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const kModeNames[] = {"AM", "SAM", "FM", "WFM", "USB", "LSB", "CWU", "CWL", "None"};
const char* const kFrameKey = "WindowControlAutoSaveName";
const char* const kSplitterKey = "WindowControlSplitters";

QSettings Preferences()
{
    return QSettings("Korvel", "Korvel");
}

// Folders are made absolute where they come in: the waterfall worker and the
// file run open recordings by path, from wherever the process stands.
QString AbsoluteFolder(const QString& folder)
{
    return folder.isEmpty() ? folder : QDir::cleanPath(QDir(folder).absolutePath());
}

QLineEdit* MakeField(QWidget* parent, const char* name, int width, const QString& tip)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(width);
    field->setToolTip(tip);
    return field;
}

// A caption, the field and its unit in one row of a group.
void AddLabelledField(QHBoxLayout* row, const QString& caption, QLineEdit* field, const QString& unit)
{
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    row->addWidget(label);
    row->addWidget(field);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit));
    row->addSpacing(8);
}

QGroupBox* MakeGroup(const QString& title, QHBoxLayout** row)
{
    auto* group = new QGroupBox(title);
    *row = new QHBoxLayout(group);
    (*row)->setContentsMargins(8, 4, 8, 6);
    (*row)->setSpacing(4);
    return group;
}

} // namespace

WindowControl::WindowControl(QWidget* parent)
    : QMainWindow(parent)
    , soundDeviceMenu(new SoundDeviceMenu(this))
    , soundOutput(std::make_unique<SoundOutputObject>())
    , session(std::make_unique<PlaybackSession>(*soundOutput))
    , soundDevice(std::make_unique<SoundOutputDevice>(*soundOutput))
    , fileRun(std::make_unique<DemodFileRun>())
    , fftView(new FFTView)
    , freqScaleView(new FreqScaleView)
    , scrollingView(new WaterfallScrollArea(fftView, freqScaleView))
    , waterfallLoader(new WaterfallLoader(this))
{
    setWindowTitle("Korvel");
    resize(1280, 800);

    scrollingView->setObjectName("scrollingView");
    scrollingView->setPlaceholderText("Click a recording in the list to draw its waterfall.");
    fftView->setObjectName("fftView");
    freqScaleView->setObjectName("freqScaleView");

    mainSplitter = new QSplitter(Qt::Horizontal);
    mainSplitter->addWidget(scrollingView);
    mainSplitter->addWidget(buildSidePanel());
    mainSplitter->setStretchFactor(0, 1);
    mainSplitter->setStretchFactor(1, 0);
    mainSplitter->setCollapsible(0, false);
    mainSplitter->setSizes({920, 340});

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(6, 6, 6, 0);
    column->addWidget(mainSplitter, 1);
    column->addWidget(buildControls());
    setCentralWidget(central);

    statusField = new QLabel;
    statusField->setObjectName("statusField");
    statusBar()->addWidget(statusField, 1);
    drawingProgress = new QProgressBar;
    drawingProgress->setObjectName("drawingProgress");
    drawingProgress->setMaximumWidth(220);
    drawingProgress->setFormat("%v of %m s");
    drawingProgress->hide();
    statusBar()->addPermanentWidget(drawingProgress);
    fileProgress = new QProgressBar;
    fileProgress->setObjectName("fileProgress");
    fileProgress->setMaximumWidth(220);
    fileProgress->setFormat("WAV %v of %m s");
    fileProgress->hide();
    statusBar()->addPermanentWidget(fileProgress);
    soundStatusLabel = new QLabel;
    soundStatusLabel->setObjectName("soundStatusLabel");
    statusBar()->addPermanentWidget(soundStatusLabel);
    connect(waterfallLoader, &WaterfallLoader::rowsReady, this, &WindowControl::drawWaterfallRows);
    connect(waterfallLoader, &WaterfallLoader::finished, this, &WindowControl::endWaterfall);

    // The demodulator and its sound output queue exist from here on; then the
    // devices and their menu, the preferences and files, the timers, and last
    // the sound output opens the chosen device.
    soundDeviceMenu->followSystemDevices();
    soundDeviceMenu->setBusyCheck([this] { return fileRun->isRunning(); });
    theAudioSpectrumView->setSource(&session->demodulator());

    buildMenus();
    readPreferences();

    connect(fftView, &FFTView::demodRecordingSettings, this, &WindowControl::demodRecordingSettings);
    connect(fftView, &FFTView::rightMouseDownFreq, this, &WindowControl::rightMouseDownFreq);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowControl::savePreferences);
    connect(fileRun.get(), &DemodFileRun::progress, this, &WindowControl::demodFileProgress);
    connect(fileRun.get(), &DemodFileRun::finished, this, &WindowControl::demodFileEnded);

    readFilesList();

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
    connect(soundDevice.get(), &SoundOutputDevice::statusChanged, soundStatusLabel, &QLabel::setText);
    soundDevice->startSound(soundDeviceMenu->outputDeviceId());
}

QWidget* WindowControl::buildSidePanel()
{
    sideSplitter = new QSplitter(Qt::Vertical);

    auto* files = new QGroupBox("Recordings");
    auto* filesColumn = new QVBoxLayout(files);
    filesColumn->setContentsMargins(6, 6, 6, 6);
    folderLabel = new QLabel;
    folderLabel->setObjectName("folderLabel");
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folderLabel->setMinimumWidth(60);
    filesColumn->addWidget(folderLabel);
    auto* buttons = new QHBoxLayout;
    auto* chooseButton = new QPushButton("Choose Folder…");
    chooseButton->setObjectName("chooseFolderButton");
    chooseButton->setToolTip("Choose the folder that holds your recordings");
    connect(chooseButton, &QPushButton::clicked, this, &WindowControl::setRecordingFolder);
    auto* reloadButton = new QPushButton("Reload");
    reloadButton->setObjectName("reloadButton");
    reloadButton->setToolTip("List the folder's files again");
    connect(reloadButton, &QPushButton::clicked, this, &WindowControl::ReloadTheFilesList);
    buttons->addWidget(chooseButton);
    buttons->addWidget(reloadButton);
    buttons->addStretch();
    filesColumn->addLayout(buttons);
    fileBrowser = new QListWidget;
    fileBrowser->setObjectName("fileBrowser");
    fileBrowser->setToolTip("Click to draw a recording; Alt-click opens it in a waterfall window");
    fileBrowser->setContextMenuPolicy(Qt::CustomContextMenu);
    fileBrowser->viewport()->installEventFilter(this);
    fileBrowser->installEventFilter(this);
    connect(fileBrowser, &QListWidget::itemClicked, this, &WindowControl::doClick);
    connect(fileBrowser, &QListWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QListWidgetItem* item = fileBrowser->itemAt(pos)) {
            QMenu* menu = createFileContextMenu(item->text());
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(fileBrowser->viewport()->mapToGlobal(pos));
        }
    });
    // Enough rows to pick from without scrolling at once.
    fileBrowser->setMinimumHeight(6 * fileBrowser->fontMetrics().lineSpacing() + 2 * fileBrowser->frameWidth() + 4);
    filesColumn->addWidget(fileBrowser, 1);
    sideSplitter->addWidget(files);

    auto* infoAndSettings = new QWidget;
    auto* infoAndSettingsColumn = new QVBoxLayout(infoAndSettings);
    infoAndSettingsColumn->setContentsMargins(0, 0, 0, 0);
    auto* info = new QGroupBox("Information");
    auto* infoColumn = new QVBoxLayout(info);
    infoColumn->setContentsMargins(6, 6, 6, 6);
    infoBrowser = new QListWidget;
    infoBrowser->setObjectName("infoBrowser");
    infoColumn->addWidget(infoBrowser);
    infoAndSettingsColumn->addWidget(info, 1);

    QHBoxLayout* waterfallRow = nullptr;
    QGroupBox* waterfall = MakeGroup("Waterfall", &waterfallRow);
    mindBField = MakeField(waterfall, "mindBField", 48, "Level drawn darkest, dB (used at the next load)");
    maxdBField = MakeField(waterfall, "maxdBField", 48, "Level drawn brightest, dB (used at the next load)");
    fftLengthField = MakeField(waterfall, "fftLengthField", 60, "FFT length of the waterfall, 1024 to 65536 (used at the next load)");
    AddLabelledField(waterfallRow, "Mi&n", mindBField, "dB");
    AddLabelledField(waterfallRow, "Ma&x", maxdBField, "dB");
    AddLabelledField(waterfallRow, "FF&T", fftLengthField, QString());
    connect(fftLengthField, &QLineEdit::editingFinished, this, &WindowControl::applyFftLengthField);

    waterfallRow->addStretch();
    infoAndSettingsColumn->addWidget(waterfall);
    sideSplitter->addWidget(infoAndSettings);

    auto* spectra = new QTabWidget;
    spectra->setObjectName("spectrumTabs");
    theAudioSpectrumView = new AudioSpectrumView;
    theAudioSpectrumView->setObjectName("theAudioSpectrumView");
    spectrumView = new SpectrumView;
    spectrumView->setObjectName("spectrumView");
    // As low as the carrier view, so that the window fits a 768-pixel screen.
    spectrumView->setMinimumHeight(theAudioSpectrumView->minimumHeight());
    spectra->addTab(theAudioSpectrumView, "Carrier");
    spectra->addTab(spectrumView, "Multiplex");
    sideSplitter->addWidget(spectra);

    sideSplitter->setStretchFactor(0, 3);
    sideSplitter->setStretchFactor(1, 1);
    sideSplitter->setStretchFactor(2, 0);
    return sideSplitter;
}

QToolButton* WindowControl::makeSkipButton(const QString& name, const QString& text, const QString& tip)
{
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setEnabled(false);
    button->setMinimumWidth(48);
    return button;
}

QWidget* WindowControl::buildControls()
{
    auto* panel = new QWidget;
    auto* rows = new QVBoxLayout(panel);
    rows->setContentsMargins(0, 4, 0, 2);
    rows->setSpacing(4);

    QHBoxLayout* row = nullptr;
    QGroupBox* selection = MakeGroup("Selection", &row);
    startTimeField = MakeField(selection, "startTimeField", 56, "Start of the selection, seconds into the recording");
    endTimeField = MakeField(selection, "endTimeField", 56, "End of the selection, seconds into the recording");
    startFreqField = MakeField(selection, "startFreqField", 80, "Low edge of the selection, kHz");
    endFreqField = MakeField(selection, "endFreqField", 80, "High edge of the selection, kHz");
    pbtField = MakeField(selection, "pbtField", 44, "Pass-band tuning, kHz (at most ±5)");
    AddLabelledField(row, "&Start", startTimeField, "s");
    AddLabelledField(row, "&End", endTimeField, "s");
    AddLabelledField(row, "&Low", startFreqField, "kHz");
    AddLabelledField(row, "&High", endFreqField, "kHz");
    AddLabelledField(row, "&PBT", pbtField, "kHz");
    modePopup = new QComboBox;
    modePopup->setObjectName("modePopup");
    modePopup->setToolTip("Demodulation mode");
    for (const char* mode : kModeNames)
        modePopup->addItem(mode);
    auto* modeLabel = new QLabel("&Mode");
    modeLabel->setBuddy(modePopup);
    row->addWidget(modeLabel);
    row->addWidget(modePopup);
    for (QLineEdit* field : {startTimeField, endTimeField, startFreqField, endFreqField, pbtField})
        connect(field, &QLineEdit::editingFinished, this, &WindowControl::placeSelectionFromFields);
    connect(modePopup, &QComboBox::currentIndexChanged, this, [this](int mode) { session->setMode(mode); });


    QHBoxLayout* playRow = nullptr;
    QGroupBox* playback = MakeGroup("Playback", &playRow);
    playbutton = new QToolButton;
    playbutton->setObjectName("playbutton");
    playbutton->setText("Play");
    playbutton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    playbutton->setCheckable(true);
    pausebutton = new QToolButton;
    pausebutton->setObjectName("pausebutton");
    pausebutton->setText("Pause");
    pausebutton->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    pausebutton->setCheckable(true);
    loopButton = new QToolButton;
    loopButton->setObjectName("loopButton");
    loopButton->setText("Loop");
    loopButton->setCheckable(true);
    loopButton->setToolTip("Start again at the beginning of the selection when it ends");
    for (QToolButton* button : {playbutton, pausebutton, loopButton}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setEnabled(false);
        button->setMinimumWidth(64);
        playRow->addWidget(button);
    }
    playRow->addSpacing(10);
    m5MinButton = makeSkipButton("m5MinButton", "−5 min", "Skip back 5 minutes");
    m60SecButton = makeSkipButton("m60SecButton", "−60 s", "Skip back 60 seconds");
    m30SecButton = makeSkipButton("m30SecButton", "−30 s", "Skip back 30 seconds");
    m10SecButton = makeSkipButton("m10SecButton", "−10 s", "Skip back 10 seconds");
    p10SecButton = makeSkipButton("p10SecButton", "+10 s", "Skip ahead 10 seconds");
    p30SecButton = makeSkipButton("p30SecButton", "+30 s", "Skip ahead 30 seconds");
    p60SecButton = makeSkipButton("p60SecButton", "+60 s", "Skip ahead 60 seconds");
    p5MinButton = makeSkipButton("p5MinButton", "+5 min", "Skip ahead 5 minutes");
    const std::pair<QToolButton*, int> skips[] = {{m5MinButton, -300}, {m60SecButton, -60}, {m30SecButton, -30},
                                                  {m10SecButton, -10}, {p10SecButton, 10},  {p30SecButton, 30},
                                                  {p60SecButton, 60},  {p5MinButton, 300}};
    for (const auto& [button, seconds] : skips) {
        playRow->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, seconds = seconds] { doSkip(seconds); });
    }
    connect(playbutton, &QToolButton::clicked, this, &WindowControl::doPlay);
    connect(pausebutton, &QToolButton::toggled, this, &WindowControl::pauseToggled);
    connect(loopButton, &QToolButton::toggled, this, [this](bool on) { session->setLoop(on); });
    playRow->addSpacing(10);
    auto* volumeLabel = new QLabel;
    volumeLabel->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(16, 16));
    volumeLabel->setToolTip("Volume");
    playRow->addWidget(volumeLabel);
    volumeSlider = new QSlider(Qt::Horizontal);
    volumeSlider->setObjectName("volumeSlider");
    volumeSlider->setRange(0, 1000);
    volumeSlider->setValue(700);
    volumeSlider->setFixedWidth(110);
    volumeSlider->setToolTip("Volume");
    playRow->addWidget(volumeSlider);
    connect(volumeSlider, &QSlider::valueChanged, this,
            [this](int value) { session->setVolume(value * 0.001); });

    QHBoxLayout* levelRow = nullptr;
    QGroupBox* level = MakeGroup("Signal", &levelRow);
    signalLevelField = MakeField(level, "signalLevelField", 84, "Signal level in the selection");
    signalLevelField->setReadOnly(true);
    signalLevelField->setPlaceholderText("dBm");
    signalLevelField->setFocusPolicy(Qt::NoFocus);
    sMeterIndicator = new QProgressBar;
    sMeterIndicator->setObjectName("sMeterIndicator");
    sMeterIndicator->setRange(-140, -20);
    sMeterIndicator->setValue(-140);
    sMeterIndicator->setTextVisible(false);
    sMeterIndicator->setFixedWidth(110);
    levelRow->addWidget(signalLevelField);
    levelRow->addWidget(sMeterIndicator);

    QHBoxLayout* fileRow = nullptr;
    QGroupBox* toFile = MakeGroup("Demodulate to File", &fileRow);
    demodFileButton = new QToolButton;
    demodFileButton->setObjectName("demodFileButton");
    demodFileButton->setText("WAV");
    demodFileButton->setToolTip("Write the selection's audio to a WAV file in Documents");
    timestampedDemodFileButton = new QToolButton;
    timestampedDemodFileButton->setObjectName("timestampedDemodFileButton");
    timestampedDemodFileButton->setText("Timestamped WAV");
    timestampedDemodFileButton->setToolTip("Write the selection's audio to a WAV file named after its start time");
    for (QToolButton* button : {demodFileButton, timestampedDemodFileButton}) {
        button->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setEnabled(false);
        fileRow->addWidget(button);
    }
    connect(demodFileButton, &QToolButton::clicked, this, &WindowControl::doDemodToFile);
    connect(timestampedDemodFileButton, &QToolButton::clicked, this, &WindowControl::doDemodToTimestampedFile);

    auto* firstRow = new QHBoxLayout;
    firstRow->addWidget(selection);
    firstRow->addWidget(toFile);
    firstRow->addStretch();
    rows->addLayout(firstRow);
    auto* secondRow = new QHBoxLayout;
    secondRow->addWidget(playback);
    secondRow->addWidget(level);
    secondRow->addStretch();
    rows->addLayout(secondRow);
    return panel;
}

void WindowControl::buildMenus()
{
    QMenu* fileMenu = menuBar()->addMenu("&File");
    QAction* chooseFolder = fileMenu->addAction("&Choose Recordings Folder…", this, &WindowControl::setRecordingFolder);
    chooseFolder->setShortcut(QKeySequence::Open);
    QAction* reload = fileMenu->addAction("&Reload Files List", this, &WindowControl::ReloadTheFilesList);
    reload->setObjectName("reloadAction");
    reload->setShortcut(QKeySequence::Refresh);
    fileMenu->addSeparator();
    openInWaterfallAction = fileMenu->addAction("Open in &Waterfall Window", this, [this] {
        if (QListWidgetItem* item = fileBrowser->currentItem())
            loadRecordingAsWaterfall(item->text());
    });
    openInWaterfallAction->setObjectName("openInWaterfallAction");
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction("&Quit", this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* viewMenu = menuBar()->addMenu("&View");
    colorWaterFallMenuItem = viewMenu->addAction("Draw Waterfall in &Colour");
    colorWaterFallMenuItem->setObjectName("colorWaterFallMenuItem");
    colorWaterFallMenuItem->setCheckable(true);
    connect(colorWaterFallMenuItem, &QAction::toggled, this, [this](bool on) {
        mDrawInColor = on;
        fftView->setDrawInColor(on);
    });

    QMenu* audioMenu = menuBar()->addMenu("&Audio");
    outputDeviceMenuItem = soundDeviceMenu->menu();
    outputDeviceMenuItem->setTitle("&Output Device");
    outputDeviceMenuItem->setObjectName("outputDeviceMenuItem");
    audioMenu->addMenu(outputDeviceMenuItem);
    audioMenu->addSeparator();
    carrierTxtlMenuItem = audioMenu->addAction("Write Carrier Measurements to carrier.&txt");
    carrierTxtlMenuItem->setObjectName("carrierTxtlMenuItem");
    carrierTxtlMenuItem->setCheckable(true);
    connect(carrierTxtlMenuItem, &QAction::toggled, this, [this](bool on) {
        mWriteCarrierTxt = on;
        session->setCarrierLogFolder(QFile::encodeName(carrierLogFolder()).toStdString());
    });

    QMenu* toolsMenu = menuBar()->addMenu("&Tools");
    QAction* openDGPS = toolsMenu->addAction("&DGPS Beacons…", this,
                                             [this] { DgpsWindows::of(this)->openDGPS(recordingFolder()); });
    openDGPS->setObjectName("openDGPSAction");

    QMenu* helpMenu = menuBar()->addMenu("&Help");
    helpMenu->addAction("&About Korvel", this, [this] {
        QMessageBox::about(this, "About Korvel",
                           QString("<b>Korvel %1</b><p>Plays back and analyses recordings of "
                                   "software-defined radio receivers.</p>")
                               .arg(QApplication::applicationVersion()));
    });
}

void WindowControl::readPreferences()
{
    QSettings settings = Preferences();
    restoreGeometry(settings.value(kFrameKey).toByteArray());
    const QVariantList splitters = settings.value(kSplitterKey).toList();
    if (splitters.size() == 2) {
        mainSplitter->restoreState(splitters[0].toByteArray());
        sideSplitter->restoreState(splitters[1].toByteArray());
    }

    selectedRecordingFolder = AbsoluteFolder(settings.value("PREF_REC_FOLDER").toString());
    mFftSize = NormalizeFftSize(settings.value("fftsize", 0).toDouble());
    fftLengthField->setText(QString::number(mFftSize));
    const DbRange range = DbRangeFromPreferences(settings.value("minDB", 0).toDouble(), settings.value("maxDB", 0).toDouble());
    mindBField->setText(QString::asprintf("%d", range.minDb));
    maxdBField->setText(QString::asprintf("%d", range.maxDb));
    mDrawInColor = settings.value("drawInColor", false).toBool();
    mWriteCarrierTxt = settings.value("writeCarriertxt", false).toBool();
    colorWaterFallMenuItem->setChecked(mDrawInColor);
    carrierTxtlMenuItem->setChecked(mWriteCarrierTxt);
    fftView->setDrawInColor(mDrawInColor);
}

void WindowControl::savePreferences()
{
    applyFftLengthField();
    QSettings settings = Preferences();
    settings.setValue("minDB", TruncateDb(mindBField->text().trimmed().toDouble()));
    settings.setValue("maxDB", TruncateDb(maxdBField->text().trimmed().toDouble()));
    settings.setValue("drawInColor", mDrawInColor);
    settings.setValue("writeCarriertxt", mWriteCarrierTxt);
    settings.setValue("fftsize", mFftSize);
    settings.setValue(kFrameKey, saveGeometry());
    settings.setValue(kSplitterKey, QVariantList{mainSplitter->saveState(), sideSplitter->saveState()});
    settings.sync();
}

void WindowControl::closeEvent(QCloseEvent* event)
{
    savePreferences();
    event->accept();
}

void WindowControl::applyFftLengthField()
{
    bool ok = false;
    const double typed = fftLengthField->text().trimmed().toDouble(&ok);
    if (ok)
        mFftSize = NormalizeFftSize(typed);
    fftLengthField->setText(QString::number(mFftSize));
}

QString WindowControl::waterfallDbRange(double* minDb, double* maxDb) const
{
    bool minOk = false;
    bool maxOk = false;
    *minDb = mindBField->text().trimmed().toDouble(&minOk);
    *maxDb = maxdBField->text().trimmed().toDouble(&maxOk);
    if (!minOk || !maxOk)
        return "The minimum and maximum dB must be numbers";
    if (const char* problem = DbRangeProblem(*minDb, *maxDb))
        return problem;
    return {};
}

void WindowControl::useRecordingFolderForSession(const QString& dir)
{
    sessionFolder = AbsoluteFolder(dir);
    ReloadTheFilesList();
}

QString WindowControl::recordingFolder() const
{
    if (!sessionFolder.isEmpty())
        return sessionFolder;
    if (!selectedRecordingFolder.isEmpty())
        return selectedRecordingFolder;
    return QDir(QDir::homePath()).filePath("sdr_recordings");
}

void WindowControl::setRecordingFolder()
{
    QFileDialog chooser(this, "Choose Directory for recording files", recordingFolder());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setLabelText(QFileDialog::Accept, "Choose Directory");
    if (chooser.exec() == QDialog::Accepted)
        chooseRecordingFolder(chooser.selectedFiles().value(0));
}

void WindowControl::chooseRecordingFolder(const QString& path)
{
    selectedRecordingFolder = AbsoluteFolder(path);
    sessionFolder.clear();
    QSettings settings = Preferences();
    settings.setValue("PREF_REC_FOLDER", selectedRecordingFolder);
    settings.sync();
    ReloadTheFilesList();
}

void WindowControl::readFilesList()
{
    const QString folder = recordingFolder();
    // Only what would open, by name; hidden files are the unfinished ones.
    const QDir dir(folder);
    filesArray.clear();
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (RecordingObject::isRecordingFile(QFile::encodeName(dir.filePath(name)).toStdString()))
            filesArray << name;
    }
    fileBrowser->clear();
    fileBrowser->addItems(filesArray);
    folderLabel->setText(QDir::toNativeSeparators(folder));
    folderLabel->setToolTip(QDir::toNativeSeparators(folder));
    const QString previousProblem = folderProblem;
    folderProblem.clear();
    if (!QDir(folder).exists())
        folderProblem = QString("The recordings folder %1 does not exist; choose one with File > Choose Recordings Folder")
                            .arg(QDir::toNativeSeparators(folder));
    if (!folderProblem.isEmpty() || (!previousProblem.isEmpty() && statusText() == previousProblem))
        showStatus(folderProblem);
}

void WindowControl::ReloadTheFilesList()
{
    readFilesList();
}

bool WindowControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fileBrowser->viewport()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        fileClickModifiers = static_cast<QMouseEvent*>(event)->modifiers();
    } else if (watched == fileBrowser && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && fileBrowser->currentItem()) {
            fileClickModifiers = key->modifiers();
            doClick(fileBrowser->currentItem());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void WindowControl::doClick(QListWidgetItem* item)
{
    if (fileClickModifiers & Qt::AltModifier)
        loadRecordingAsWaterfall(item->text());
    else
        loadRecording(item->text());
}

QMenu* WindowControl::createFileContextMenu(const QString& name)
{
    auto* menu = new QMenu(this);
    menu->addAction("Open", this, [this, name] { loadRecording(name); });
    menu->addAction("Open in Waterfall Window", this, [this, name] { loadRecordingAsWaterfall(name); });
    menu->addSeparator();
    menu->addAction("Reload Files List", this, &WindowControl::ReloadTheFilesList);
    return menu;
}

WindowControl::~WindowControl()
{
    // Closing the audio sink spins a nested event loop, in which timers and
    // queued signals would reach parts already gone. So first nothing may call
    // the window any more; then the parts go in an order where each outlives
    // what uses it.
    fastTimer->stop();
    oneSecTimer->stop();
    waterfallLoader->cancel();
    soundDeviceMenu->setBusyCheck({});
    for (QObject* sender : std::initializer_list<QObject*>{fileRun.get(), soundDevice.get(), soundDeviceMenu,
                                                          waterfallLoader, fftView, qApp})
        sender->disconnect(this);
    soundDevice->disconnect();
    theAudioSpectrumView->setSource(nullptr);

    // A file run still going is cancelled (its unfinished file removed) and
    // its thread joined.
    fileRun.reset();
    soundDevice.reset();
    session.reset();
    soundOutput.reset();
}

bool WindowControl::isDrawingWaterfall() const
{
    return waterfallLoader->isRunning();
}

void WindowControl::loadRecording(const QString& name)
{
    // The worker reads the selection of the loaded recording until it is done.
    if (fileRun->isRunning()) {
        showStatus(QString("A WAV file is being written; %1 was not loaded. Try again when it is done.").arg(name));
        return;
    }
    double minDb = 0.0;
    double maxDb = 0.0;
    const QString problem = waterfallDbRange(&minDb, &maxDb);
    if (!problem.isEmpty()) {
        showStatus(problem);
        return;
    }

    // A file that cannot be opened or is refused leaves the loaded recording
    // and its waterfall as they are.
    const bool wasPlaying = session->isPlaying();
    std::vector<std::string> lines;
    const std::string why = session->load(QFile::encodeName(recordingFolder()).toStdString(),
                                          QFile::encodeName(name).toStdString(), lines);
    QStringList info;
    for (const std::string& line : lines)
        info << QString::fromStdString(line);
    setInfoArray(info);
    if (!why.empty()) {
        showStatus(QString("%1 was not loaded: %2").arg(name, QString::fromStdString(why)));
        return;
    }

    waterfallLoader->cancel();
    if (wasPlaying)
        stopPlayback();
    const RecordingObject& recording = *session->recording();
    // A selection made on another recording may lie outside this one's band.
    bool lowOk = false, highOk = false;
    const double lowKHz = startFreqField->text().trimmed().toDouble(&lowOk);
    const double highKHz = endFreqField->text().trimmed().toDouble(&highOk);
    if (lowOk && highOk && !session->fitsBand(lowKHz, highKHz)) {
        for (QLineEdit* field : {startTimeField, endTimeField, startFreqField, endFreqField})
            field->clear();
    }
    if (!session->canPlay())
        showStatus(QString("%1: not enough memory to play a second at %2 samples per second")
                       .arg(name)
                       .arg(recording.mSampleRate));
    updateControls();
    const int lineCount = recording.mNumSeconds;
    if (!fftView->setHeight(lineCount)) {
        // Never leave the previous picture and band under the new recording.
        fftView->setHeight(0);
        setWaterfallBand(0.0, 0.0);
        drawingProgress->hide();
        setWindowTitle(name);
        showStatus(QString("%1 is too long to draw here (%2 s)").arg(name).arg(lineCount));
        return;
    }
    setWaterfallBand(recording.mBandwidth, recording.mCenterFreq);
    setWindowTitle(name);
    drawingName = name;
    drawingProgress->setRange(0, std::max(lineCount, 1));
    drawingProgress->setValue(0);
    drawingProgress->setVisible(lineCount > 0);
    showStatus(QString("Drawing %1…").arg(name));
    waterfallLoader->start(QFile::decodeName(recording.path().c_str()), mFftSize, maxDb, minDb);
}

void WindowControl::drawWaterfallRows(int firstLine, int columns, const QVector<int>& rows)
{
    const int count = columns > 0 ? rows.size() / columns : 0;
    for (int k = 0; k < count; ++k)
        fftView->drawFftLine(rows.constData() + static_cast<qsizetype>(k) * columns, columns, firstLine + k);
    drawingProgress->setValue(firstLine + count);
}

void WindowControl::endWaterfall(bool completed, int lines)
{
    drawingProgress->hide();
    const RecordingObject* recording = session->recording();
    if (recording)
        setWaterfallBand(recording->mBandwidth, recording->mCenterFreq);
    if (completed)
        showStatus(QString("%1: %2 s, %3 kHz wide at %4 kHz")
                       .arg(drawingName)
                       .arg(lines)
                       .arg(recording->mBandwidth * 0.001, 0, 'f', 1)
                       .arg(recording->mCenterFreq * 0.001, 0, 'f', 3));
    else
        showStatus(QString("%1 could not be read to the end").arg(drawingName));
    emit waterfallFinished(completed);
}

void WindowControl::loadRecordingAsWaterfall(const QString& name)
{
    showStatus(QString("The waterfall window is not available yet; %1 was not opened").arg(name));
}

void WindowControl::setWaterfallBand(double bandwidthHz, double centerHz)
{
    if (const char* problem = BandwidthProblem(bandwidthHz)) {
        showStatus(problem);
        bandwidthHz = 0.0;
    }
    fftView->setBandwidth(bandwidthHz * 0.001, centerHz * 0.001);
    freqScaleView->setBandwidth(bandwidthHz * 0.001, centerHz * 0.001);
}

void WindowControl::setInfoArray(const QStringList& lines)
{
    infoArray = lines;
    infoBrowser->clear();
    infoBrowser->addItems(infoArray);
}

void WindowControl::showStatus(const QString& text)
{
    statusField->setText(text);
}

QString WindowControl::statusText() const
{
    return statusField->text();
}

void WindowControl::demodRecordingSettings(int start, int stop, double lowKHz, double highKHz)
{
    startTimeField->setText(QString::asprintf("%d", start));
    endTimeField->setText(QString::asprintf("%d", stop));
    startFreqField->setText(QString::asprintf("%9.3f", lowKHz));
    endFreqField->setText(QString::asprintf("%9.3f", highKHz));
}

void WindowControl::rightMouseDownFreq(float kHz, float seconds, unsigned modifiers)
{
    const SelectionFieldChange change = RightClickFieldChange(kHz, seconds, modifiers, fftView->lines());
    const QString value = QString::asprintf("%d", change.value);
    switch (change.field) {
    case SelectionField::StartTime:
        startTimeField->setText(value);
        break;
    case SelectionField::EndTime:
        endTimeField->setText(value);
        break;
    case SelectionField::LowFrequency:
        startFreqField->setText(value);
        break;
    case SelectionField::HighFrequency:
        endFreqField->setText(value);
        break;
    case SelectionField::None:
        break;
    }
    placeSelectionFromFields();
}

void WindowControl::placeSelectionFromFields()
{
    bool startOk = false, endOk = false, lowOk = false, highOk = false;
    const int start = startTimeField->text().trimmed().toInt(&startOk);
    const int end = endTimeField->text().trimmed().toInt(&endOk);
    const double low = startFreqField->text().trimmed().toDouble(&lowOk);
    const double high = endFreqField->text().trimmed().toDouble(&highOk);
    if (!startOk || !endOk || !lowOk || !highOk)
        return;
    Selection placed{start, end, low, high, session->selection().pbtKHz};
    bool pbtOk = false;
    const double pbt = pbtField->text().trimmed().toDouble(&pbtOk);
    if (pbtOk || pbtField->text().trimmed().isEmpty())
        placed.pbtKHz = pbtOk ? pbt : 0.0;
    session->setSelection(placed);
    fftView->setRecordingSettings(start, end, low, high);
}

// ---- Playback ----

bool WindowControl::hasValidRecording() const
{
    return session->canPlay();
}

bool WindowControl::isWritingFile() const
{
    return fileRun->isRunning();
}

bool WindowControl::isPlaying() const
{
    return session->isPlaying();
}

int WindowControl::playBackSecond() const
{
    return session->playBackSecond();
}

int WindowControl::selectionStartSecond() const
{
    return session->selection().startSecond;
}

int WindowControl::selectionEndSecond() const
{
    return session->selection().endSecond;
}

const RecordingObject* WindowControl::recording() const
{
    return session->recording();
}

QString WindowControl::documentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir(QDir::homePath()).filePath("Documents") : folder;
}

void WindowControl::updateControls()
{
    const bool valid = hasValidRecording();
    const bool writing = fileRun->isRunning();
    const bool playing = session->isPlaying();
    playbutton->setEnabled(valid && !writing);
    pausebutton->setEnabled(playing);
    loopButton->setEnabled(valid);
    for (QToolButton* button : {m5MinButton, m60SecButton, m30SecButton, m10SecButton, p10SecButton, p30SecButton,
                                p60SecButton, p5MinButton})
        button->setEnabled(valid);
    demodFileButton->setEnabled(valid && !writing && !playing);
    timestampedDemodFileButton->setEnabled(valid && !writing && !playing);
}

std::optional<DemodSetup> WindowControl::setupDemodStuff()
{
    const SelectionFields typed{startTimeField->text().toStdString(), endTimeField->text().toStdString(),
                                startFreqField->text().toStdString(), endFreqField->text().toStdString(),
                                pbtField->text().toStdString()};
    DemodSetup setup = session->setupDemodStuff(typed, modePopup->currentIndex());
    if (!setup.ok()) {
        showStatus(QString::fromStdString(setup.error()));
        return std::nullopt;
    }
    const SelectionFields& mended = setup.fields();
    const std::pair<QLineEdit*, const std::string*> shown[] = {{startTimeField, &mended.startTime},
                                                               {endTimeField, &mended.endTime},
                                                               {startFreqField, &mended.lowFreq},
                                                               {endFreqField, &mended.highFreq},
                                                               {pbtField, &mended.pbt}};
    for (const auto& [field, text] : shown) {
        const QString value = QString::fromStdString(*text);
        if (field->text() != value)
            field->setText(value);
    }
    showSessionSelection();
    return setup;
}

void WindowControl::showSessionSelection()
{
    const Selection& selection = session->selection();
    fftView->setRecordingSettings(selection.startSecond, selection.endSecond, selection.lowKHz, selection.highKHz);
    fftView->update();
}

QString WindowControl::carrierLogFolder() const
{
    return mWriteCarrierTxt ? documentsFolder() : QString();
}

void WindowControl::doPlay(bool on)
{
    if (!hasValidRecording()) {
        playbutton->setChecked(false);
        return;
    }
    if (!on) {
        stopPlayback();
        return;
    }
    if (fileRun->isRunning()) {
        playbutton->setChecked(false);
        showStatus("A WAV file is being written; play when it is done.");
        return;
    }
    std::optional<DemodSetup> setup = setupDemodStuff();
    session->setCarrierLogFolder(QFile::encodeName(carrierLogFolder()).toStdString());
    if (!setup || !session->play(*setup)) {
        if (setup)
            showStatus(QString::fromStdString(setup->bandMessage()));
        playbutton->setChecked(false);
        return;
    }
    playbutton->setChecked(true);
    updateControls();
}

void WindowControl::stopPlayback()
{
    session->stop();
    playbutton->setChecked(false);
    pausebutton->setChecked(false);
    fftView->setCurrentPlayTime(-1);
    fftView->update();
    showSignalLevel(std::nullopt);
    updateControls();
}

void WindowControl::pauseToggled(bool paused)
{
    session->setPaused(paused);
    if (session->isPlaying() && paused)
        showSignalLevel(std::nullopt);
}

void WindowControl::showSignalLevel(std::optional<double> levelDbm)
{
    if (!levelDbm) {
        signalLevelField->clear();
        sMeterIndicator->setValue(sMeterIndicator->minimum());
        return;
    }
    // "%-5.1f dBm"
    signalLevelField->setText(QString::fromStdString(formatFixed(*levelDbm, 1)).leftJustified(5) + " dBm");
    sMeterIndicator->setValue(static_cast<int>(std::clamp(*levelDbm, -140.0, -20.0)));
}

void WindowControl::doSkip(int seconds)
{
    if (fileRun->isRunning())
        fileRun->skip(seconds);
    else
        session->skip(seconds);
}

void WindowControl::FastTimer()
{
    session->setVolume(volumeSlider->value() * 0.001);
    const PlaybackStatus status = session->tick();
    if (!status.ran)
        return;
    if (status.secondsFed > 0) {
        showStatus(QString::fromStdString(status.timeAndCarrier));
        theAudioSpectrumView->update();
        showSignalLevel(status.levelDbm);
    }
    fftView->setCurrentPlayTime(status.position);
    if (status.ended == PlaybackEnd::Looped) {
        showSessionSelection();
    } else if (status.ended == PlaybackEnd::Stopped) {
        if (!status.message.empty())
            showStatus(QString::fromStdString(status.message));
        // The queued tail plays out; the controls show that playback ended.
        playbutton->setChecked(false);
        pausebutton->setChecked(false);
        showSignalLevel(std::nullopt);
        updateControls();
    }
}

void WindowControl::OneSecTimer()
{
    updateControls();
    bool ok = false;
    const double typed = fftLengthField->text().trimmed().toDouble(&ok);
    if (ok)
        mFftSize = NormalizeFftSize(typed);

    if (session->updateMultiplexSpectrum()) {
        spectrumView->setSpectrum(session->multiplexSpectrum());
        spectrumView->update();
    }
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

void WindowControl::startDemodToFile(bool timestamped)
{
    if (!hasValidRecording())
        return;
    if (session->isPlaying()) {
        showStatus("Stop playback before writing a WAV file.");
        return;
    }
    if (fileRun->isRunning()) {
        showStatus("A WAV file is already being written.");
        return;
    }
    std::optional<DemodSetup> setup = setupDemodStuff();
    if (!setup)
        return;
    const std::string fileName =
        timestamped ? DemodFileJob::timestampedFileName(setup->mode(), setup->lowKHz(), setup->highKHz(),
                                                        session->recording()->FileTimestampFromOffset(setup->startSecond()))
                    : DemodFileJob::kFixedFileName;
    const QString folder = documentsFolder();
    // The run refuses a missing folder; Documents is ours to create. If this
    // fails, the run says why.
    QDir().mkpath(folder);
    QString error;
    // The run opens the file on its own; a folder given relative to the
    // working directory must not be read as a name in the recordings folder.
    const QString recordingPath = QFileInfo(QFile::decodeName(session->recording()->path().c_str())).absoluteFilePath();
    if (!fileRun->start(recordingPath, *setup, folder,
                        QFile::decodeName(fileName.c_str()), carrierLogFolder(), &error)) {
        showStatus(error);
        return;
    }
    fileRunStartSecond = setup->startSecond();
    fileProgress->setRange(0, std::max(setup->endSecond() - setup->startSecond(), 1));
    fileProgress->setValue(0);
    fileProgress->show();
    fftView->setCurrentPlayTime(fileRunStartSecond);
    showStatus(QString("Writing %1…").arg(QFile::decodeName(fileName.c_str())));
    updateControls();
}

void WindowControl::demodFileProgress(int nextSecond)
{
    if (!fileRun->isRunning())
        return;
    fileProgress->setValue(std::clamp(nextSecond - fileRunStartSecond, 0, fileProgress->maximum()));
    fftView->setCurrentPlayTime(nextSecond);
}

void WindowControl::demodFileEnded(bool ok, bool complete, const QString& message, const QString& path,
                                   qint64 audioSamples)
{
    fileProgress->hide();
    fftView->setCurrentPlayTime(-1);
    if (!ok)
        showStatus(QString("The WAV file was not written: %1").arg(message));
    else if (!complete)
        showStatus(QString("Wrote %1, but: %2").arg(QDir::toNativeSeparators(path), message));
    else
        showStatus(QString("Wrote %1 (%2 s of audio)")
                       .arg(QDir::toNativeSeparators(path))
                       .arg(static_cast<double>(audioSamples) / SoundOutputObject::outputRate, 0, 'f', 1));
    updateControls();
    emit demodFileFinished(ok);
}
