#include "app/WaterfallArea.h"

#include "app/FFTView.h"
#include "app/FreqScaleView.h"
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
    , scrollingView(new WaterfallScrollArea(fftView, freqScaleView))
    , waterfallLoader(new WaterfallLoader(this))
    , drawingProgress(new QProgressBar)
{
    scrollingView->setObjectName("scrollingView");
    scrollingView->setPlaceholderText("Click a recording in the list to draw its waterfall.");
    fftView->setObjectName("fftView");
    freqScaleView->setObjectName("freqScaleView");
    drawingProgress->setObjectName("drawingProgress");
    drawingProgress->setMaximumWidth(220);
    drawingProgress->setFormat("%v of %m s");
    drawingProgress->hide();
    connect(waterfallLoader, &WaterfallLoader::rowsReady, this, &WaterfallArea::drawRows);
    connect(waterfallLoader, &WaterfallLoader::finished, this, &WaterfallArea::end);
    connect(waterfallLoader, &WaterfallLoader::levelsMeasured, this,
            [this](int minDb, int maxDb) { measuredLevels_ = std::make_pair(minDb, maxDb); });
}

WaterfallArea::~WaterfallArea()
{
    waterfallLoader->cancel();
}

QString WaterfallArea::draw(const RecordingObject& recording, const QString& name, int fftSize, double maxDb,
                            double minDb)
{
    waterfallLoader->cancel();
    const int lineCount = WaterfallGenerator::lineCountOf(recording);
    if (!fftView->setHeight(lineCount)) {
        // Never leave the previous picture and band under the new recording.
        fftView->setHeight(0);
        setBand(0.0, 0.0, nullptr);
        drawingProgress->hide();
        return QString("%1 is too long to draw here (%2 s)").arg(name).arg(lineCount);
    }
    QString problem;
    setBand(recording.parameters().mBandwidth, recording.parameters().mCenterFreq, &problem);
    drawingName = name;
    measuredLevels_.reset();
    start(recording, fftSize, maxDb, minDb);
    return problem.isEmpty() ? QString("Drawing %1…").arg(name) : problem;
}

std::optional<QString> WaterfallArea::redrawWithMeasuredLevels(const RecordingObject& recording, int fftSize)
{
    if (!measuredLevels_)
        return std::nullopt;
    const auto [minDb, maxDb] = *measuredLevels_;
    start(recording, fftSize, maxDb, minDb);
    return QString("Drawing %1 from %2 to %3 dB…").arg(drawingName).arg(minDb).arg(maxDb);
}

void WaterfallArea::start(const RecordingObject& recording, int fftSize, double maxDb, double minDb)
{
    const int lineCount = WaterfallGenerator::lineCountOf(recording);
    drawingProgress->setRange(0, std::max(lineCount, 1));
    drawingProgress->setValue(0);
    drawingProgress->setVisible(lineCount > 0);
    waterfallLoader->start(QFile::decodeName(recording.path().c_str()), fftSize, maxDb, minDb);
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
    freqScaleView->setBandwidth(bandwidthHz * 0.001, centerHz * 0.001);
}

void WaterfallArea::cancel()
{
    waterfallLoader->cancel();
}

bool WaterfallArea::isDrawing() const
{
    return waterfallLoader->isRunning();
}

void WaterfallArea::drawRows(int firstLine, int columns, const QVector<int>& rows)
{
    const int count = columns > 0 ? rows.size() / columns : 0;
    for (int k = 0; k < count; ++k)
        fftView->drawFftLine(rows.constData() + static_cast<qsizetype>(k) * columns, columns, firstLine + k);
    drawingProgress->setValue(firstLine + count);
}

void WaterfallArea::end(bool completed, int lines, const QString& problem)
{
    drawingProgress->hide();
    QString status;
    if (completed)
        status = QString("%1: %2 s, %3 kHz wide at %4 kHz")
                     .arg(drawingName)
                     .arg(lines)
                     .arg(bandwidthHz_ * 0.001, 0, 'f', 1)
                     .arg(centerHz_ * 0.001, 0, 'f', 3);
    else if (!problem.isEmpty())
        status = QString("%1 could not be read to the end: %2").arg(drawingName, problem);
    else
        status = QString("%1 could not be read to the end").arg(drawingName);
    emit finished(completed, status);
}
