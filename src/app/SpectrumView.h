#pragma once

#include <QWidget>

// Spectrum of the wide-FM multiplex during playback; its drawing space is
// 600 × 400. Until playback feeds it, it shows an empty plot.
class SpectrumView : public QWidget {
    Q_OBJECT
public:
    explicit SpectrumView(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {600, 400}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
