#pragma once

#include <QScrollArea>

class FFTView;
class FreqScaleView;

// Scrolls the waterfall and keeps the frequency scale above it: the scale stays
// in view when scrolling down and moves with the columns when scrolling across.
class WaterfallScrollArea : public QScrollArea {
    Q_OBJECT
public:
    WaterfallScrollArea(FFTView* view, FreqScaleView* scale, QWidget* parent = nullptr);

    // Shown in the empty area while the waterfall has no lines.
    void setPlaceholderText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeScale();

    FFTView* fftView;
    FreqScaleView* freqScale;
    QWidget* scaleStrip;
    QString placeholder;
};
