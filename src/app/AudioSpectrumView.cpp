#include "app/AudioSpectrumView.h"

#include <QPainter>

AudioSpectrumView::AudioSpectrumView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(256, 128);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void AudioSpectrumView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(QColor(140, 140, 140));
    painter.drawText(rect(), Qt::AlignCenter, "Carrier spectrum appears during playback");
}
