#pragma once

#include "waterfall/WaterfallAxes.h"

#include <QRectF>
#include <QString>
#include <QWidget>

#include <vector>

// The frequency scale above the waterfall: ticks at round frequencies in
// units that fit, each over its column of the waterfall at the view's zoom.
class FreqScaleView : public QWidget {
    Q_OBJECT
public:
    // Room left and right of the waterfall's columns so the edge labels fit;
    // column 0 of the waterfall lies at x = kSideMargin of this view.
    static constexpr int kSideMargin = 28;
    // The least room between two ticks.
    static constexpr int kTickSpacing = 90;

    explicit FreqScaleView(QWidget* parent = nullptr);

    // The band across the waterfall's `contentWidth` columns, kHz; nothing is
    // labelled while the band is 0.
    void setBand(double bwKHz, double centerKHz, int contentWidth);

    // The ticks as drawn from left to right, empty without a band; positions
    // are waterfall columns.
    const std::vector<WaterfallAxes::Tick>& ticks() const { return ticks_; }
    QStringList labelTexts() const;

    // The labels of the ticks on screen as drawn: each whole inside the part
    // of the scale that is visible, the rightmost with the unit.
    struct Label {
        double tickX;
        QRectF box;
        Qt::Alignment alignment;
        QString text;
    };
    std::vector<Label> visibleLabels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<WaterfallAxes::Tick> ticks_;
};
