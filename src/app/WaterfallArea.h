#pragma once

#include <QObject>
#include <QString>

#include <optional>
#include <utility>

class FFTView;
class FreqScaleView;
class QProgressBar;
class RecordingObject;
class TimeScaleView;
class WaterfallLoader;
class WaterfallScrollArea;

// The main window's whole-recording waterfall: the view between its frequency
// scale and time axis in a scroll area, the worker that computes its picture,
// and the progress bar of a drawing. The picture is computed once per load
// (or FFT size); levels, colour and zoom re-map it at once. The window places
// the scroll area and the progress bar and shows the messages this reports.
class WaterfallArea : public QObject {
    Q_OBJECT
public:
    explicit WaterfallArea(QObject* parent = nullptr);
    ~WaterfallArea() override;

    WaterfallScrollArea* scrollArea() const { return scrollingView; }
    FFTView* view() const { return fftView; }
    FreqScaleView* scale() const { return freqScaleView; }
    TimeScaleView* timeScale() const { return timeScaleView; }
    QProgressBar* progressBar() const { return drawingProgress; }

    // Draws `recording` (opened by the caller; it is read again on the
    // worker from its path) with the FFT size and dB range; returns the
    // status to show.
    QString draw(const RecordingObject& recording, const QString& name, int fftSize, double maxDb, double minDb);
    // Draws the recording drawn last again with another FFT size and the dB
    // range shown; returns the status to show.
    QString redraw(const RecordingObject& recording, int fftSize);
    // Whole second (peak hold) for the drawings from now on; redraw() applies it.
    void setWholeSecond(bool on) { wholeSecond_ = on; }
    bool wholeSecond() const { return wholeSecond_; }
    // Draws what is drawn with another dB range, at once.
    void setLevels(double minDb, double maxDb);
    std::optional<std::pair<int, int>> measuredLevels() const { return measuredLevels_; }
    // Tells the view and its scale the band drawn (Hz); a band of no width is
    // reported through `problem` and leaves both without a band.
    void setBand(double bandwidthHz, double centerHz, QString* problem);
    void cancel();
    bool isDrawing() const;

signals:
    // A drawing ended: completed, or stopped with the status saying why.
    void finished(bool completed, const QString& status);
    // The levels of the rows drawn so far (WaterfallLoader::levelsMeasured).
    void levelsMeasured(int minDb, int maxDb);

private:
    void end(bool completed, int lines, const QString& problem);

    FFTView* fftView;
    FreqScaleView* freqScaleView;
    TimeScaleView* timeScaleView;
    WaterfallScrollArea* scrollingView;
    WaterfallLoader* waterfallLoader;
    QProgressBar* drawingProgress;
    QString drawingName;
    double bandwidthHz_ = 0.0;
    double centerHz_ = 0.0;
    bool wholeSecond_ = false;
    std::optional<std::pair<int, int>> measuredLevels_; // min and max dB of the waterfall drawn
};
