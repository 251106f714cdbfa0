#include "app/WaterfallArea.h"

#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "app/TimeScaleView.h"
#include "app/WaterfallLoader.h"
#include "app/WaterfallScrollArea.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"
#include "waterfall/WaterfallGenerator.h"

#include <QFile>
#include <QProgressBar>

#include <algorithm>

WaterfallArea::WaterfallArea(QObject* parent)
    : QObject(parent)
    , fftView(new FFTView)
    , freqScaleView(new FreqScaleView)
    , timeScaleView(new TimeScaleView)
    , scrollingView(new WaterfallScrollArea(fftView, freqScaleView, timeScaleView))
    , waterfallLoader(new WaterfallLoader(this))
    , drawingProgress(new QProgressBar)
{
    scrollingView->setObjectName("scrollingView");
    scrollingView->setPlaceholderText("Click a recording in the list to draw its waterfall.");
    fftView->setObjectName("fftView");
    freqScaleView->setObjectName("freqScaleView");
    timeScaleView->setObjectName("timeScaleView");
    drawingProgress->setObjectName("drawingProgress");
    drawingProgress->setMaximumWidth(220);
    drawingProgress->setFormat("%v of %m s");
    drawingProgress->hide();
    connect(waterfallLoader, &WaterfallLoader::pictureStarted, fftView, &FFTView::setPicture);
    connect(waterfallLoader, &WaterfallLoader::rowsReady, this, [this](int firstRow, int endRow) {
        fftView->rowsDone(firstRow, endRow);
        drawingProgress->setValue(std::min(fftView->plan().endSecond(endRow - 1), drawingProgress->maximum()));
    });
    connect(waterfallLoader, &WaterfallLoader::finished, this, &WaterfallArea::end);
    connect(waterfallLoader, &WaterfallLoader::levelsMeasured, this,
            [this](int minDb, int maxDb) {
                measuredLevels_ = std::make_pair(minDb, maxDb);
                emit levelsMeasured(minDb, maxDb);
            });
}

WaterfallArea::~WaterfallArea()
{
    waterfallLoader->cancel();
}

QString WaterfallArea::draw(const RecordingObject& recording, const QString& name, int fftSize, double maxDb,
                            double minDb)
{
    waterfallLoader->cancel();
    // Rows, not the seconds a header claims: the plan bounds what this allocates.
    const int lines = WaterfallGenerator::lineCountOf(recording);
    fftView->setHeight(lines);
    fftView->setLevels(minDb, maxDb);
    fftView->setStartTime(recording.startTimeKnown() ? std::optional<int64_t>(recording.parameters().mStartTimestamp)
                                                     : std::nullopt);
    QString problem;
    setBand(recording.parameters().mBandwidth, recording.parameters().mCenterFreq, &problem);
    drawingName = name;
    measuredLevels_.reset();
    drawingProgress->setRange(0, std::max(lines, 1));
    drawingProgress->setValue(0);
    drawingProgress->setVisible(lines > 0);
    waterfallLoader->start(QFile::decodeName(recording.path().c_str()), recording.rawIqSettings(), lines, fftSize,
                           maxDb, minDb, wholeSecond_);
    return problem.isEmpty() ? QString("Drawing %1…").arg(name) : problem;
}

QString WaterfallArea::redraw(const RecordingObject& recording, int fftSize)
{
    return draw(recording, drawingName, fftSize, fftView->maxDb(), fftView->minDb());
}

void WaterfallArea::setLevels(double minDb, double maxDb)
{
    fftView->setLevels(minDb, maxDb);
}

void WaterfallArea::setBand(double bandwidthHz, double centerHz, QString* problem)
{
    if (const char* why = BandwidthProblem(bandwidthHz)) {
        if (problem)
            *problem = why;
        bandwidthHz = 0.0;
    }
    bandwidthHz_ = bandwidthHz;
    centerHz_ = centerHz;
    fftView->setBandwidth(bandwidthHz * 0.001, centerHz * 0.001);
}

void WaterfallArea::cancel()
{
    waterfallLoader->cancel();
}

bool WaterfallArea::isDrawing() const
{
    return waterfallLoader->isRunning();
}

void WaterfallArea::end(bool completed, int lines, const QString& problem)
{
    drawingProgress->hide();
    QString status;
    if (completed) {
        status = QString("%1: %2 s, %3 kHz wide at %4 kHz")
                     .arg(drawingName)
                     .arg(lines)
                     .arg(bandwidthHz_ * 0.001, 0, 'f', 1)
                     .arg(centerHz_ * 0.001, 0, 'f', 3);
        if (fftView->plan().secondsPerRow() > 1)
            status += QString(", %1 s per row").arg(fftView->plan().secondsPerRow());
    } else if (!problem.isEmpty()) {
        status = QString("%1 could not be read to the end: %2").arg(drawingName, problem);
    } else {
        status = QString("%1 could not be read to the end").arg(drawingName);
    }
    emit finished(completed, status);
}
