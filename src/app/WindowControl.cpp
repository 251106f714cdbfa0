#include "app/WindowControl.h"

#include "app/AudioSpectrumView.h"
#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "app/SpectrumView.h"
#include "app/WaterfallScrollArea.h"
#include "recording/SelectionRules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
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
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char* const kModeNames[] = {"AM", "SAM", "FM", "WFM", "USB", "LSB", "CWU", "CWL", "None"};
const char* const kFrameKey = "WindowControlAutoSaveName";
const char* const kSplitterKey = "WindowControlSplitters";

QSettings Preferences()
{
    return QSettings("Korvel", "Korvel");
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
    , fftView(new FFTView)
    , freqScaleView(new FreqScaleView)
    , scrollingView(new WaterfallScrollArea(fftView, freqScaleView))
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

    buildMenus();
    readPreferences();

    connect(fftView, &FFTView::demodRecordingSettings, this, &WindowControl::demodRecordingSettings);
    connect(fftView, &FFTView::rightMouseDownFreq, this, &WindowControl::rightMouseDownFreq);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowControl::savePreferences);

    readFilesList();
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
    for (QLineEdit* field : {startTimeField, endTimeField, startFreqField, endFreqField})
        connect(field, &QLineEdit::editingFinished, this, &WindowControl::placeSelectionFromFields);


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
    for (QToolButton* button : {m5MinButton, m60SecButton, m30SecButton, m10SecButton, p10SecButton, p30SecButton,
                                p60SecButton, p5MinButton})
        playRow->addWidget(button);
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
    volumeSlider->setEnabled(false);
    playRow->addWidget(volumeSlider);

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
    outputDeviceMenuItem = audioMenu->addMenu("&Output Device");
    outputDeviceMenuItem->setObjectName("outputDeviceMenuItem");
    QAction* defaultDevice = outputDeviceMenuItem->addAction("Default Output");
    defaultDevice->setCheckable(true);
    defaultDevice->setChecked(true);
    outputDeviceMenuItem->setEnabled(false);
    audioMenu->addSeparator();
    carrierTxtlMenuItem = audioMenu->addAction("Write Carrier Measurements to carrier.&txt");
    carrierTxtlMenuItem->setObjectName("carrierTxtlMenuItem");
    carrierTxtlMenuItem->setCheckable(true);
    connect(carrierTxtlMenuItem, &QAction::toggled, this, [this](bool on) { mWriteCarrierTxt = on; });

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

    selectedRecordingFolder = settings.value("PREF_REC_FOLDER").toString();
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
    sessionFolder = dir;
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
    selectedRecordingFolder = path;
    sessionFolder.clear();
    QSettings settings = Preferences();
    settings.setValue("PREF_REC_FOLDER", path);
    settings.sync();
    ReloadTheFilesList();
}

void WindowControl::readFilesList()
{
    const QString folder = recordingFolder();
    // In the order the file system lists them, hidden entries included.
    filesArray = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                        QDir::Unsorted);
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

void WindowControl::loadRecording(const QString& name)
{
    double minDb = 0.0;
    double maxDb = 0.0;
    const QString problem = waterfallDbRange(&minDb, &maxDb);
    if (!problem.isEmpty()) {
        showStatus(problem);
        return;
    }
    setWindowTitle(name);
    showStatus(QString("Loading %1…").arg(name));
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
    startSecond = start;
    endSecond = end;
    fftView->setRecordingSettings(start, end, low, high);
}
