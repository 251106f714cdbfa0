#pragma once

#include <QWidget>

// Close-up of the carrier measurement during playback; its drawing space is
// 512 × 256. Until playback feeds it, it shows an empty plot.
class AudioSpectrumView : public QWidget {
    Q_OBJECT
public:
    explicit AudioSpectrumView(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {512, 256}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
