#include "app/CarrierWindowController.h"

#include "app/FormRows.h"
#include "app/Preferences.h"
#include "common/Settings.h"

#include "app/CarrierView.h"
#include "app/RecordingFileFilter.h"
#include "app/WindowGeometry.h"
#include "carrier/CarrierPicture.h"
#include "carrier/CarrierRun.h"
#include "carrier/CarrierSession.h"
#include "common/UtcCalendar.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kDefaultFftSizeIndex = 1;   // 131072
constexpr int kDefaultHalfSpanIndex = 3;  // 100 Hz
constexpr int kLowestSliderDb = -200;
constexpr int kHighestSliderDb = 0;
const char* const kFrameKey = "carrierWindowFrame";

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QSlider* MakeSlider(const char* name, int value)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(kLowestSliderDb, kHighestSliderDb);
    slider->setValue(value);
    slider->setMinimumWidth(160);
    return slider;
}

QString DbText(double dB)
{
    return QString::number(dB, 'g', 6) + " dB";
}

} // namespace

CarrierWindowController::CarrierWindowController(const QString& recordingsFolder, std::function<bool()> drawsInColor,
                                                 QWidget* parent)
    : QMainWindow(parent)
    , session_(std::make_unique<CarrierSession>())
    , recordingsFolder_(recordingsFolder)
    , drawsInColor_(std::move(drawsInColor))
{
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Carrier Analysis");

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->addWidget(buildControls());
    theCarrierView = new CarrierView;
    theCarrierView->setObjectName("theCarrierView");
    scrollingView = new QScrollArea;
    scrollingView->setObjectName("scrollingView");
    scrollingView->setWidget(theCarrierView);
    scrollingView->setBackgroundRole(QPalette::Dark);
    column->addWidget(scrollingView, 1);
    setCentralWidget(central);

    statusField_ = new QLabel;
    statusField_->setObjectName("statusField");
    statusField_->setWordWrap(true);
    statusField_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(statusField_, 1);
    showStatus("Analyse… measures the medium-wave channels of a series of recordings; Load… opens a saved analysis.");

    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(200);
    connect(pollTimer_, &QTimer::timeout, this, &CarrierWindowController::pollSession);
    pollTimer_->start();
    pushButton2();
    WindowGeometry::restore(this, kFrameKey, QSize(1200, 800));
}

CarrierWindowController::~CarrierWindowController() = default;

QWidget* CarrierWindowController::buildControls()
{
    auto* controls = new QWidget;
    auto* rows = new QVBoxLayout(controls);
    rows->setContentsMargins(0, 0, 0, 0);

    auto* analysisRow = new QHBoxLayout;
    processButton_ = FormRows::makeButton("processButton", "Analyse…", "Choose the analysis file, then the recordings to measure");
    loadButton_ = FormRows::makeButton("loadButton", "Load…", "Open a saved analysis file");
    cancelButton_ = FormRows::makeButton("cancelButton", "Cancel", "Stop the analysis; nothing is written");
    cancelButton_->setEnabled(false);
    fftSizePopup = new QComboBox;
    fftSizePopup->setObjectName("fftSizePopup");
    for (int size : CarrierRun::kFftSizes)
        fftSizePopup->addItem(QString::number(size));
    halfWidthPopup = new QComboBox;
    halfWidthPopup->setObjectName("halfWidthPopup");
    for (int hz : CarrierRun::kHalfSpans)
        halfWidthPopup->addItem(QString::number(hz));
    QSettings settings = Preferences();
    fftSizePopup->setCurrentIndex(
        std::clamp(settings.value(Settings::kCarrierFftSizeIndex, kDefaultFftSizeIndex).toInt(), 0, fftSizePopup->count() - 1));
    halfWidthPopup->setCurrentIndex(
        std::clamp(settings.value(Settings::kCarrierHalfSpanIndex, kDefaultHalfSpanIndex).toInt(), 0, halfWidthPopup->count() - 1));
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 1);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressLabel_ = new QLabel;
    progressLabel_->setObjectName("progressLabel");
    progressLabel_->setMinimumWidth(200);
    analysisRow->addWidget(processButton_);
    analysisRow->addWidget(loadButton_);
    analysisRow->addWidget(new QLabel("FFT size"));
    analysisRow->addWidget(fftSizePopup);
    analysisRow->addWidget(new QLabel("Half span (Hz)"));
    analysisRow->addWidget(halfWidthPopup);
    analysisRow->addWidget(progressBar_, 1);
    analysisRow->addWidget(progressLabel_);
    analysisRow->addWidget(cancelButton_);
    rows->addLayout(analysisRow);

    auto* pictureRow = new QHBoxLayout;
    channelStepper = new QSpinBox;
    channelStepper->setObjectName("channelStepper");
    channelStepper->setRange(0, 0);
    channelStepper->setToolTip("The channel shown, 0 for the lowest");
    freqLabel = new QLabel;
    freqLabel->setObjectName("freqLabel");
    freqLabel->setMinimumWidth(80);
    minDbSlider = MakeSlider("minDbSlider", static_cast<int>(carrierMinDb));
    maxDbSlider = MakeSlider("maxDbSlider", static_cast<int>(carrierMaxDb));
    minLabel = new QLabel(DbText(carrierMinDb));
    minLabel->setObjectName("minLabel");
    maxLabel = new QLabel(DbText(carrierMaxDb));
    maxLabel->setObjectName("maxLabel");
    copyButton_ = FormRows::makeButton("copyImageButton", "Copy Image", "Put the picture on the clipboard");
    timeield = new QLabel;
    timeield->setObjectName("timeield");
    pictureRow->addWidget(new QLabel("Channel"));
    pictureRow->addWidget(channelStepper);
    pictureRow->addWidget(freqLabel);
    pictureRow->addWidget(new QLabel("Min"));
    pictureRow->addWidget(minDbSlider);
    pictureRow->addWidget(minLabel);
    pictureRow->addWidget(new QLabel("Max"));
    pictureRow->addWidget(maxDbSlider);
    pictureRow->addWidget(maxLabel);
    pictureRow->addWidget(copyButton_);
    pictureRow->addWidget(timeield, 1);
    rows->addLayout(pictureRow);

    connect(processButton_, &QPushButton::clicked, this, &CarrierWindowController::processPushButton);
    connect(loadButton_, &QPushButton::clicked, this, &CarrierWindowController::loadPushButton);
    connect(cancelButton_, &QPushButton::clicked, this, &CarrierWindowController::cancelPushButton);
    connect(copyButton_, &QPushButton::clicked, this, &CarrierWindowController::pushButtonCopyImage);
    connect(channelStepper, &QSpinBox::valueChanged, this, &CarrierWindowController::pushButton2);
    connect(minDbSlider, &QSlider::valueChanged, this, [this](int value) {
        if (value >= maxDbSlider->value())
            maxDbSlider->setValue(std::min(value + 1, kHighestSliderDb));
        if (value >= maxDbSlider->value())
            minDbSlider->setValue(maxDbSlider->value() - 1);
        sliderDidChange();
    });
    connect(maxDbSlider, &QSlider::valueChanged, this, [this](int value) {
        if (value <= minDbSlider->value())
            minDbSlider->setValue(std::max(value - 1, kLowestSliderDb));
        if (value <= minDbSlider->value())
            maxDbSlider->setValue(minDbSlider->value() + 1);
        sliderDidChange();
    });
    return controls;
}

void CarrierWindowController::processPushButton()
{
    QSettings settings = Preferences();
    const QString folder = settings.value(Settings::kCarrierFolder, recordingsFolder_).toString();
    const QString output = QFileDialog::getSaveFileName(this, "Analysis File", folder + "/output.bin",
                                                        "Analysis files (*.bin);;All files (*)");
    if (output.isEmpty())
        return;
    const QStringList recordings = QFileDialog::getOpenFileNames(this, "Recordings to Analyse", recordingsFolder_,
                                                                 recordingFileFilter());
    if (recordings.isEmpty())
        return;
    settings.setValue(Settings::kCarrierFolder, QFileInfo(output).absolutePath());
    analyseRecordings(recordings, output);
}

void CarrierWindowController::analyseRecordings(const QStringList& recordings, const QString& outputPath)
{
    QSettings settings = Preferences();
    settings.setValue(Settings::kCarrierFftSizeIndex, fftSizePopup->currentIndex());
    settings.setValue(Settings::kCarrierHalfSpanIndex, halfWidthPopup->currentIndex());
    std::vector<std::string> paths;
    for (const QString& path : recordings)
        paths.push_back(LocalPath(path));
    std::vector<std::string> notes;
    std::string error;
    const int fftSize = CarrierRun::kFftSizes[fftSizePopup->currentIndex()];
    const int halfSpan = CarrierRun::kHalfSpans[halfWidthPopup->currentIndex()];
    const bool started = session_->startAnalysis(paths, fftSize, halfSpan, LocalPath(outputPath), notes, error);
    QStringList lines;
    if (!started)
        lines << QString::fromStdString(error);
    for (const std::string& note : notes)
        lines << QString::fromStdString(note);
    showStatus(lines.join("\n"));
    if (!started)
        return;
    processButton_->setEnabled(false);
    loadButton_->setEnabled(false);
    cancelButton_->setEnabled(true);
    pollSession();
}

void CarrierWindowController::cancelPushButton()
{
    session_->cancel();
}

void CarrierWindowController::pollSession()
{
    if (drawsInColor_ && drawsInColor_() != theCarrierView->drawsInColor())
        pushButton2();
    const CarrierSession::Progress progress = session_->progress();
    if (progress.running) {
        const int total = std::max(progress.fileCount * CarrierRun::kSecondsPerFile, 1);
        progressBar_->setRange(0, total);
        progressBar_->setValue(std::max(progress.fileNumber - 1, 0) * CarrierRun::kSecondsPerFile + progress.second);
        progressLabel_->setText(QString("file %1 of %2, second %3")
                                    .arg(std::max(progress.fileNumber, 1))
                                    .arg(progress.fileCount)
                                    .arg(progress.second));
        return;
    }
    const std::optional<CarrierSession::Outcome> outcome = session_->takeOutcome();
    if (!outcome)
        return;
    processButton_->setEnabled(true);
    loadButton_->setEnabled(true);
    cancelButton_->setEnabled(false);
    progressBar_->setRange(0, 1);
    progressBar_->setValue(outcome->cancelled || !outcome->error.empty() ? 0 : 1);
    progressLabel_->clear();
    QStringList lines;
    if (outcome->cancelled)
        lines << "Analysis cancelled; nothing was written.";
    else if (!outcome->error.empty())
        lines << QString::fromStdString(outcome->error);
    else
        lines << QString("Analysis written to %1.").arg(QFile::decodeName(QByteArray::fromStdString(outcome->writtenPath)));
    for (const std::string& note : outcome->notes)
        lines << QString::fromStdString(note);
    showStatus(lines.join("\n"));
    if (outcome->measured)
        analysisReplaced();
}

void CarrierWindowController::loadPushButton()
{
    QSettings settings = Preferences();
    const QString path = QFileDialog::getOpenFileName(this, "Choose Directory",
                                                      settings.value(Settings::kCarrierFolder, recordingsFolder_).toString(),
                                                      "Analysis files (*.bin);;All files (*)");
    if (path.isEmpty())
        return;
    settings.setValue(Settings::kCarrierFolder, QFileInfo(path).absolutePath());
    loadAnalysis(path);
}

void CarrierWindowController::loadAnalysis(const QString& path)
{
    std::string error;
    if (!session_->loadAnalysis(LocalPath(path), error)) {
        showStatus(QString::fromStdString(error));
        return;
    }
    showStatus(QString("Loaded %1.").arg(QFileInfo(path).fileName()));
    analysisReplaced();
}

void CarrierWindowController::analysisReplaced()
{
    const CarrierAnalysis& analysis = session_->analysis();
    const QSignalBlocker blocker(channelStepper);
    channelStepper->setRange(0, std::max(analysis.numCarrierFreq() - 1, 0));
    timeield->setText(analysis.empty() ? QString()
                                       : QString("%1 rows from %2 UTC")
                                             .arg(analysis.dbBufCount())
                                             .arg(QString::fromStdString(UtcCalendar::format(analysis.startingTime(), ':'))));
    pushButton2();
}

void CarrierWindowController::pushButton2()
{
    const CarrierAnalysis& analysis = session_->analysis();
    theCarrierView->setDrawInColor(drawsInColor_ && drawsInColor_());
    theCarrierView->makeNewBitMap(CarrierPicture::height(analysis.dbBufCount()));
    if (analysis.empty()) {
        freqLabel->clear();
        return;
    }
    const int channel = std::clamp(channelStepper->value(), 0, analysis.numCarrierFreq() - 1);
    freqLabel->setText(QString("%1 kHz").arg(analysis.carrierFreqs()[static_cast<size_t>(channel)]));
    std::vector<int> screen(CarrierPicture::kWidth);
    for (int r = 0; r < analysis.dbBufCount(); ++r) {
        CarrierPicture::process(CarrierPicture::kWidth, analysis.levels(r, channel), carrierMinDb, carrierMaxDb,
                                screen.data());
        theCarrierView->drawFftLine(screen.data(), CarrierPicture::kWidth, r);
    }
    theCarrierView->drawMarks(CarrierPicture::frequencyMarks(analysis.halfSpan()),
                              CarrierPicture::hourMarks(analysis.startingTime()));
}

void CarrierWindowController::sliderDidChange()
{
    carrierMinDb = minDbSlider->value();
    carrierMaxDb = maxDbSlider->value();
    minLabel->setText(DbText(carrierMinDb));
    maxLabel->setText(DbText(carrierMaxDb));
    pushButton2();
}

void CarrierWindowController::pushButtonCopyImage()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(theCarrierView->bitmap());
}

void CarrierWindowController::showStatus(const QString& text)
{
    statusField_->setText(text);
}

void CarrierWindowController::closeEvent(QCloseEvent* event)
{
    session_->cancel();
    WindowGeometry::save(this, kFrameKey);
    QMainWindow::closeEvent(event);
}
