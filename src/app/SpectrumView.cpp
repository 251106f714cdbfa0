#include "app/SpectrumView.h"

#include <QPainter>

SpectrumView::SpectrumView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(300, 200);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void SpectrumView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(QColor(140, 140, 140));
    painter.drawText(rect(), Qt::AlignCenter, "Multiplex spectrum appears while playing WFM");
}
