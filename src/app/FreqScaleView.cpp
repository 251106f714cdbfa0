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

std::vector<FreqScaleView::Label> FreqScaleView::visibleLabels() const
{
    std::vector<Label> labels;
    if (ticks_.empty())
        return labels;
    // Zoomed in, only part of the scale is on screen: its labels are kept
    // whole inside that part, and the rightmost of them carries the unit
    // (which the axis puts on its last tick only).
    // A widget not on screen (drawn into an image) counts as all visible.
    const QRect visible = visibleRegion().isEmpty() ? rect() : visibleRegion().boundingRect();
    const QString last = QString::fromStdString(ticks_.back().text);
    const qsizetype space = last.lastIndexOf(' ');
    const QString unit = space > 0 ? last.mid(space) : QString();
    const double lowest = std::max(0, visible.left());
    const double highest = std::max(lowest, double(std::min(width(), visible.right() + 1) - kTickSpacing));
    for (const WaterfallAxes::Tick& tick : ticks_) {
        const double x = kSideMargin + tick.position;
        if (x < visible.left() || x > visible.right())
            continue;
        QString text = QString::fromStdString(tick.text);
        if (!unit.isEmpty() && text.endsWith(unit))
            text.chop(unit.size());
        // Centred on its tick; one the edge would cut is moved inside and
        // set against that edge, away from its neighbour.
        const double centred = x - kTickSpacing / 2.0;
        const double left = std::clamp(centred, lowest, highest);
        const Qt::Alignment across = left > centred   ? Qt::AlignLeft
                                     : left < centred ? Qt::AlignRight
                                                      : Qt::AlignHCenter;
        labels.push_back({x, QRectF(left, 0, kTickSpacing, height() - 5), across, text});
    }
    if (!labels.empty())
        labels.back().text += unit;
    return labels;
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
    for (const Label& label : visibleLabels()) {
        if (label.box.right() < event->rect().left() || label.box.left() > event->rect().right())
            continue;
        painter.drawLine(QPointF(label.tickX, bottom - 4), QPointF(label.tickX, bottom));
        painter.drawText(label.box, label.alignment | Qt::AlignVCenter, label.text);
    }
}
