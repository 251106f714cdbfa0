#include "app/FreqScaleView.h"

#include "app/FFTView.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

FreqScaleView::FreqScaleView(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(FFTView::kPixelsWide + 2 * kSideMargin, fontMetrics().height() + 8);
}

void FreqScaleView::setBand(double bwKHz, double centerKHz, int contentWidth)
{
    ticks_.clear();
    if (bwKHz > 0.0)
        ticks_ = WaterfallAxes::frequencyTicks(centerKHz - 0.5 * bwKHz, centerKHz + 0.5 * bwKHz, contentWidth,
                                               kTickSpacing);
    setFixedWidth(contentWidth + 2 * kSideMargin);
    update();
}

QStringList FreqScaleView::labelTexts() const
{
    QStringList texts;
    for (const WaterfallAxes::Tick& tick : ticks_)
        texts << QString::fromStdString(tick.text);
    return texts;
}

void FreqScaleView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    if (ticks_.empty())
        return;
    const int bottom = height() - 1;
    painter.setPen(palette().windowText().color());
    painter.drawLine(QPointF(kSideMargin, bottom), QPointF(width() - kSideMargin, bottom));
    const QRect exposed = event->rect().adjusted(-kTickSpacing, 0, kTickSpacing, 0);
    for (const WaterfallAxes::Tick& tick : ticks_) {
        const double x = kSideMargin + tick.position;
        if (x < exposed.left() || x > exposed.right())
            continue;
        painter.drawLine(QPointF(x, bottom - 4), QPointF(x, bottom));
        // Centred on its tick, but kept inside the scale: a label on the band's edge stays whole.
        const double left = std::clamp(x - kTickSpacing / 2.0, 0.0, std::max(0.0, double(width() - kTickSpacing)));
        const QRectF box(left, 0, kTickSpacing, bottom - 4);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromStdString(tick.text));
    }
}
