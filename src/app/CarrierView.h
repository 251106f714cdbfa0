#pragma once

#include "carrier/CarrierPicture.h"
#include "waterfall/WaterfallColorTable.h"

#include <QImage>
#include <QWidget>

#include <vector>

// The carrier analysis window's picture: a bitmap 2048 pixels wide, one row
// per analysed second and a margin below, painted row by row with the
// waterfall's colour ramp (or grey), with the frequency and hour marks drawn
// into it; the view shows it at its origin.
class CarrierView : public QWidget {
    Q_OBJECT
public:
    explicit CarrierView(QWidget* parent = nullptr);

    // A new black bitmap of `height` rows (at least 1); the view takes its size.
    void makeNewBitMap(int height);
    // Paints row r from `count` screen values (0 the strongest, 1023 and above
    // the weakest); a row outside the bitmap changes nothing.
    void drawFftLine(const int* values, int count, int row);
    // Ticks and captions in white over what is painted.
    void drawMarks(const std::vector<CarrierPicture::FrequencyMark>& frequencyMarks,
                   const std::vector<CarrierPicture::HourMark>& hourMarks);
    void setDrawInColor(bool inColor) { drawInColor_ = inColor; }
    bool drawsInColor() const { return drawInColor_; }

    const QImage& bitmap() const { return bitmap_; }
    QSize sizeHint() const override { return bitmap_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage bitmap_;
    WaterfallColorTable colorTable_;
    bool drawInColor_ = false;
};
