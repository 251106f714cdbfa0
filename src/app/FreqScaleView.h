#pragma once

#include <QWidget>

// The frequency scale above the waterfall: eleven labels in kHz, one every
// tenth of the band, each over its column of the waterfall.
class FreqScaleView : public QWidget {
    Q_OBJECT
public:
    // Room left and right of the waterfall's columns so the edge labels fit;
    // column 0 of the waterfall lies at x = kSideMargin of this view.
    static constexpr int kSideMargin = 28;

    explicit FreqScaleView(QWidget* parent = nullptr);

    // The band across the waterfall, kHz; nothing is labelled while it is 0.
    void setBandwidth(double bwKHz, double centerKHz);

    // The texts as drawn from left to right ("%5d"), empty without a band.
    QStringList labelTexts() const;
    // x of label k (0..10) in this view.
    static double labelX(int k);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double bandwidth = 0.0;
    double centerFreq = 0.0;
};
