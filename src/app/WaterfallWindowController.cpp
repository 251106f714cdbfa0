#include "app/WaterfallWindowController.h"

#include "app/ElidedLabel.h"
#include "app/FormRows.h"
#include "app/Preferences.h"
#include "app/WaterfallView.h"
#include "app/WindowGeometry.h"
#include "waterfall/WaterfallWindowFields.h"
#include "waterfall/WaterfallWindowSession.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const std::array<const char*, WaterfallWindowFields::kFieldCount> kPreferenceKeys = {
    "waterfall_window_fftSizeField",    "waterfall_window_minDbField",     "waterfall_window_maxDbField",
    "waterfall_window_centerFreqField", "waterfall_window_freqSpanField",  "waterfall_window_startTimeField",
    "waterfall_window_linesPerSecondField"};
const char* const kZoomKey = "waterfall_window_zoomToSpan";
const char* const kFrameKey = "waterfallWindowFrame";
constexpr int kDrawPollMilliseconds = 40;

QString Shown(const std::string& text) { return QString::fromStdString(text); }

} // namespace

WaterfallWindowController* WaterfallWindowController::openWindow(const QString& path, QWidget* parent,
                                                                 QString& problem)
{
    auto* window = new WaterfallWindowController(parent);
    if (!window->myInit(path, problem)) {
        delete window;
        return nullptr;
    }
    return window;
}

WaterfallWindowController::WaterfallWindowController(QWidget* parent)
    : QMainWindow(parent)
    , session_(std::make_unique<WaterfallWindowSession>())
{
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("waterfallWindow");
    setWindowTitle("Waterfall");

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->addWidget(buildFields());

    waterfallView = new WaterfallView(*session_);
    connect(waterfallView, &WaterfallView::pointerMoved, this, &WaterfallWindowController::mouseDown);
    connect(waterfallView, &WaterfallView::pointerLeft, this, [this] { statusField->setText(message_); });
    scrollView = new QScrollArea;
    scrollView->setObjectName("scrollView");
    scrollView->setBackgroundRole(QPalette::Dark);
    scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scrollView->setWidget(waterfallView);
    column->addWidget(scrollView, 1);

    statusField = new ElidedLabel;
    statusField->setObjectName("statusField");
    statusBar()->addWidget(statusField, 1);
    progressBar = new QProgressBar;
    progressBar->setObjectName("progressBar");
    progressBar->setFixedWidth(200);
    progressBar->setFormat("Drawing %p%");
    progressBar->hide();
    statusBar()->addPermanentWidget(progressBar);
    setCentralWidget(central);

    drawTimer = new QTimer(this);
    drawTimer->setInterval(kDrawPollMilliseconds);
    connect(drawTimer, &QTimer::timeout, this, &WaterfallWindowController::drawTick);
}

// Also when the main window goes first and takes this one with it unclosed.
WaterfallWindowController::~WaterfallWindowController()
{
    session_->abandonDrawing();
    if (opened_)
        writePreferences();
}

QWidget* WaterfallWindowController::buildFields()
{
    fftSizeField = FormRows::makeField(nullptr, "fftSizeField", 80, "Points of each line's transform: a power of two, 512 to 1048576");
    minDbField = FormRows::makeField(nullptr, "minDbField", 55, "Level drawn black");
    maxDbField = FormRows::makeField(nullptr, "maxDbField", 55, "Level drawn in the strongest colour");
    centerFreqField = FormRows::makeField(nullptr, "centerFreqField", 80, "Centre of the band to zoom to, kHz");
    freqSpanField = FormRows::makeField(nullptr, "freqSpanField", 60, "Width of the band to zoom to, kHz");
    startTimeField = FormRows::makeField(nullptr, "startTimeField", 70, "Seconds from the start of the recording at the left edge");
    linesPerSecondField = FormRows::makeField(nullptr, "linesPerSecondField", 60, "Lines (pixel columns) per second of recording");
    zoomCheckBox = new QCheckBox("Zoom to centre and span");
    zoomCheckBox->setObjectName("zoomCheckBox");
    zoomCheckBox->setToolTip("Draw only the centre +- half the span instead of the whole band");
    minusStartTimeButton = FormRows::makeButton("minusStartTimeButton", "◀", "Earlier: back three quarters of the picture");
    plusStartTimeButton = FormRows::makeButton("plusStartTimeButton", "▶", "Later: on three quarters of the picture");
    autoLevelsButton = FormRows::makeButton("autoLevelsButton", "Auto",
                                  "Min and Max from the levels drawn: the noise floor to the strongest signal");
    connect(autoLevelsButton, &QPushButton::clicked, this, &WaterfallWindowController::autoLevelsButtonPress);
    updateButton = FormRows::makeButton("updateButton", "Update", "Draw the picture the fields describe");
    updateButton->setDefault(true);
    connect(minusStartTimeButton, &QPushButton::clicked, this, &WaterfallWindowController::minusStartTimeButtonPress);
    connect(plusStartTimeButton, &QPushButton::clicked, this, &WaterfallWindowController::plusStartTimeButtonPress);
    connect(updateButton, &QPushButton::clicked, this, &WaterfallWindowController::updateButtonPress);

    // Two rows, so that the window fits a 1024-pixel screen: the picture's
    // levels and density, then the band and the time shown.
    auto* rows = new QWidget;
    auto* column = new QVBoxLayout(rows);
    column->setContentsMargins(0, 0, 0, 0);
    auto* levels = new QHBoxLayout;
    FormRows::addLabelledField(levels, "FFT", fftSizeField, {});
    FormRows::addLabelledField(levels, "Min", minDbField, {});
    FormRows::addLabelledField(levels, "Max", maxDbField, "dB");
    levels->addWidget(autoLevelsButton);
    FormRows::addLabelledField(levels, "Lines", linesPerSecondField, "per s");
    levels->addStretch(1);
    levels->addWidget(updateButton);
    auto* place = new QHBoxLayout;
    FormRows::addLabelledField(place, "Centre", centerFreqField, "kHz");
    FormRows::addLabelledField(place, "Span", freqSpanField, "kHz");
    place->addWidget(zoomCheckBox);
    place->addStretch(1);
    FormRows::addLabelledField(place, "Start", startTimeField, "s");
    place->addWidget(minusStartTimeButton);
    place->addWidget(plusStartTimeButton);
    column->addLayout(levels);
    column->addLayout(place);
    for (QLineEdit* field : fieldsInOrder())
        connect(field, &QLineEdit::returnPressed, this, &WaterfallWindowController::updateButtonPress);
    for (QLineEdit* field : {minDbField, maxDbField})
        connect(field, &QLineEdit::textEdited, this, [this] { levelsFromPicture_ = false; });
    return rows;
}

std::array<QLineEdit*, 7> WaterfallWindowController::fieldsInOrder() const
{
    return {fftSizeField,   minDbField,     maxDbField,         centerFreqField,
            freqSpanField,  startTimeField, linesPerSecondField};
}

bool WaterfallWindowController::myInit(const QString& path, QString& problem)
{
    std::string why;
    if (!session_->open(QFile::encodeName(path).toStdString(), why)) {
        problem = Shown(why);
        return false;
    }
    setWindowTitle(Shown(session_->title()));
    readPreferences();
    opened_ = true;
    WindowGeometry::restore(this, kFrameKey, QSize(1100, 700));
    show();
    // The picture takes the width of the laid-out window.
    if (QLayout* layout = centralWidget()->layout())
        layout->activate();
    doProccessing();
    return true;
}

void WaterfallWindowController::readPreferences()
{
    QSettings settings = Preferences();
    std::array<int, WaterfallWindowFields::kFieldCount> stored{};
    for (size_t f = 0; f < stored.size(); ++f)
        stored[f] = settings.value(kPreferenceKeys[f], 0).toInt();
    WaterfallWindowFields fields = WaterfallWindowFields::fromPreferences(stored);
    // The FFT size and lines per second are the user's habits; where to look
    // and the levels belong to this recording: its whole band from its
    // start, levels measured once the first picture is drawn.
    const WaterfallWindowLayout::Recording shape = session_->recordingShape();
    fields.centerKHz = shape.centerFreq * 0.001;
    fields.spanKHz = shape.bandwidth * 0.001;
    fields.startSeconds = 0.0;
    fields.zoomToSpan = false;
    showFields(fields);
    levelsFromPicture_ = true;
}

void WaterfallWindowController::writePreferences() const
{
    QSettings settings = Preferences();
    const std::array<QLineEdit*, 7> fields = fieldsInOrder();
    WaterfallWindowFields values;
    for (size_t f = 0; f < fields.size(); ++f) {
        // A field that holds no number is stored as 0, which shows its default next time.
        const auto number = WaterfallWindowFields::parseNumber(fields[f]->text().toStdString());
        values.setValue(static_cast<WaterfallWindowFields::Field>(f), number.value_or(0.0));
    }
    const auto stored = values.toPreferences();
    for (size_t f = 0; f < stored.size(); ++f)
        settings.setValue(kPreferenceKeys[f], stored[f]);
    settings.setValue(kZoomKey, zoomCheckBox->isChecked());
    settings.sync();
    WindowGeometry::save(this, kFrameKey);
}

void WaterfallWindowController::showFields(const WaterfallWindowFields& fields)
{
    const std::array<QLineEdit*, 7> shown = fieldsInOrder();
    for (size_t f = 0; f < shown.size(); ++f)
        shown[f]->setText(Shown(WaterfallWindowFields::text(fields.value(static_cast<WaterfallWindowFields::Field>(f)))));
    zoomCheckBox->setChecked(fields.zoomToSpan);
}

bool WaterfallWindowController::readFields(WaterfallWindowFields& fields)
{
    std::array<std::string, WaterfallWindowFields::kFieldCount> texts;
    const std::array<QLineEdit*, 7> shown = fieldsInOrder();
    for (size_t f = 0; f < shown.size(); ++f)
        texts[f] = shown[f]->text().toStdString();
    std::string problem;
    const std::optional<WaterfallWindowFields> read =
        WaterfallWindowFields::fromTexts(texts, zoomCheckBox->isChecked(), problem);
    if (!read) {
        showMessage(Shown(problem));
        return false;
    }
    fields = *read;
    return true;
}

int WaterfallWindowController::pictureWidth() const { return scrollView->viewport()->width(); }

void WaterfallWindowController::doProccessing()
{
    WaterfallWindowFields fields;
    if (!readFields(fields)) {
        session_->abandonDrawing();
        drawTick();
        return;
    }
    const auto outcome = session_->draw(fields, pictureWidth(), scrollView->viewport()->height());
    if (!outcome.layout) {
        drawTick();
        showMessage(Shown(outcome.problem));
        return;
    }
    showFields(outcome.fields);
    waterfallView->pictureChanged();
    progressBar->setRange(0, outcome.layout->width);
    progressBar->setValue(0);
    progressBar->show();
    showMessage(Shown(outcome.note));
    drawTimer->start();
}

void WaterfallWindowController::drawTick()
{
    waterfallView->showNewColumns();
    progressBar->setValue(session_->columnsDone());
    if (session_->isDrawing())
        return;
    drawTimer->stop();
    progressBar->hide();
    const std::string problem = session_->drawingProblem();
    if (!problem.empty()) {
        showMessage(Shown(problem));
        return;
    }
    if (levelsFromPicture_) {
        levelsFromPicture_ = false;
        if (session_->measuredLevels())
            autoLevelsButtonPress();
    }
}

void WaterfallWindowController::minusStartTimeButtonPress()
{
    WaterfallWindowFields fields;
    if (!readFields(fields))
        return;
    const double linesPerSecond = fields.linesPerSecond > 0.0 ? fields.linesPerSecond : 10.0;
    const int width = session_->layout() ? session_->layout()->width : pictureWidth();
    fields.startSeconds = WaterfallWindowLayout::pageBack(fields.startSeconds, width, linesPerSecond);
    startTimeField->setText(Shown(WaterfallWindowFields::text(fields.startSeconds)));
    doProccessing();
}

void WaterfallWindowController::plusStartTimeButtonPress()
{
    WaterfallWindowFields fields;
    if (!readFields(fields))
        return;
    const double linesPerSecond = fields.linesPerSecond > 0.0 ? fields.linesPerSecond : 10.0;
    const int width = session_->layout() ? session_->layout()->width : pictureWidth();
    const double seconds = session_->recordingShape().seconds;
    const std::optional<double> next =
        WaterfallWindowLayout::pageForward(fields.startSeconds, width, linesPerSecond, seconds);
    if (!next) {
        showMessage(QString("The recording ends at %1 s").arg(Shown(WaterfallWindowFields::text(seconds))));
        return;
    }
    startTimeField->setText(Shown(WaterfallWindowFields::text(*next)));
    doProccessing();
}

void WaterfallWindowController::updateButtonPress() { doProccessing(); }

void WaterfallWindowController::autoLevelsButtonPress()
{
    const std::optional<WaterfallLevels::Range> levels = session_->measuredLevels();
    if (!levels) {
        showMessage("Automatic levels are measured from the picture; draw it first");
        return;
    }
    minDbField->setText(QString::number(levels->minDb));
    maxDbField->setText(QString::number(levels->maxDb));
    // A finished picture takes the levels at once; one still being drawn
    // starts again with them.
    if (session_->recolor(levels->minDb, levels->maxDb))
        waterfallView->pictureChanged();
    else
        doProccessing();
    showMessage(QString("Levels %1 to %2 dB, measured from the picture").arg(levels->minDb).arg(levels->maxDb));
}

void WaterfallWindowController::mouseDown(QPointF position)
{
    statusField->setText(Shown(session_->readOut(position.x(), position.y())));
}

QString WaterfallWindowController::statusText() const { return statusField->text(); }

void WaterfallWindowController::showMessage(const QString& text)
{
    message_ = text;
    statusField->setText(text);
}

void WaterfallWindowController::closeEvent(QCloseEvent* event)
{
    drawTimer->stop();
    session_->abandonDrawing();
    QMainWindow::closeEvent(event);
}
