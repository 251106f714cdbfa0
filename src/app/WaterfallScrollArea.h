#pragma once

#include <QScrollArea>

class FFTView;
class FreqScaleView;
class TimeScaleView;

// Scrolls the waterfall and keeps its axes beside it: the frequency scale
// stays above it when scrolling down and moves with the columns when
// scrolling across; the time axis stays at the left and moves with the rows.
// The band fits the width until zoomed (Ctrl+wheel, zoomIn(), zoomOut()),
// and a recording of few rows is stretched to fill the height.
class WaterfallScrollArea : public QScrollArea {
    Q_OBJECT
public:
    WaterfallScrollArea(FFTView* view, FreqScaleView* scale, TimeScaleView* times, QWidget* parent = nullptr);

    // Shown in the empty area while the waterfall has no lines.
    void setPlaceholderText(const QString& text);

    // Zoom in frequency around the pointer when it is over the waterfall, else
    // around the middle of what is in view.
    void zoomIn();
    void zoomOut();
    // The whole band in view.
    void fitBand();
    // Zooms by `factor` keeping the frequency at viewport x `viewportX` there.
    void zoomAt(double factor, int viewportX);
    // Scrolls so that `seconds` from the start is in view.
    void showSecond(double seconds);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeAxes();
    void fitView();
    void updateAxes();
    int pointerOrMiddle() const;

    FFTView* fftView;
    FreqScaleView* freqScale;
    TimeScaleView* timeScale;
    QWidget* scaleStrip;
    QWidget* timeStrip;
    QString placeholder;
};
