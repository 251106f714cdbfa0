#pragma once

#include <QWidget>

class DemodulatorObject;

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

    // The demodulator whose published carrier spectrum is drawn; read while
    // painting, on the thread that runs that demodulator. Not owned; may be null.
    void setSource(const DemodulatorObject* demodulator) { source = demodulator; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const DemodulatorObject* source = nullptr;
};
