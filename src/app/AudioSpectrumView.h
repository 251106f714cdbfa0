#pragma once

#include "demod/CarrierSpectrum.h"

#include <QWidget>

// Close-up of the carrier measurement: the 512 bins of the demodulator's last
// 32768-point carrier spectrum around its strongest bin (which sits in column
// 256), on a log scale between the weakest and the strongest of them, over a
// grid of 10, 50 and 100 Hz offsets from the peak. Drawn in a 512 x 256 space
// scaled to the view; black until the first measurement.
class AudioSpectrumView : public QWidget {
    Q_OBJECT
public:
    explicit AudioSpectrumView(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {512, 256}; }

    // The carrier spectrum to draw (a copy of the demodulator's last one).
    void setSpectrum(CarrierSpectrum spectrum) { carrier = std::move(spectrum); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CarrierSpectrum carrier;
};
