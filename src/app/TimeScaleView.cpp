#include "app/TimeScaleView.h"

#include "waterfall/WaterfallAxes.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

TimeScaleView::TimeScaleView(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(fontMetrics().horizontalAdvance("00:00:00") + 14, 0);
}

void TimeScaleView::setMapping(const WaterfallViewMapping& mapping, std::optional<int64_t> startUnix)
{
    mapping_ = mapping;
    startUnix_ = startUnix;
    setFixedHeight(static_cast<int>(mapping_.contentHeight()) + fontMetrics().height());
    update();
}

QStringList TimeScaleView::labelTexts(int top, int bottom) const
{
    QStringList texts;
    const double last = std::min(mapping_.secondsAt(bottom), double(mapping_.plan().lines()));
    for (const auto& tick : WaterfallAxes::timeTicks(mapping_.secondsAt(top), last, mapping_.yAt(last) - top,
                                                     kTickSpacing, startUnix_))
        texts << QString::fromStdString(tick.text);
    return texts;
}

void TimeScaleView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    if (mapping_.plan().lines() <= 0)
        return;
    // Ticks from one spacing above what is exposed, so labels cut by the edge are whole.
    const int top = std::max(event->rect().top() - kTickSpacing, 0);
    const double first = mapping_.secondsAt(top);
    const double last = std::min(mapping_.secondsAt(event->rect().bottom() + kTickSpacing), double(mapping_.plan().lines()));
    const double length = mapping_.yAt(last) - top;
    painter.setPen(palette().windowText().color());
    const int right = width() - 1;
    painter.drawLine(right, event->rect().top(), right, event->rect().bottom());
    const int textHeight = fontMetrics().height();
    // A widget not on screen (drawn into an image) counts as all visible.
    const QRect visible = visibleRegion().isEmpty() ? rect() : visibleRegion().boundingRect();
    const double lowest = std::max(0, visible.top());
    const double highest = std::max(lowest, double(std::min(height(), visible.bottom() + 1) - textHeight));
    for (const auto& tick : WaterfallAxes::timeTicks(first, last, length, kTickSpacing, startUnix_)) {
        const double y = top + tick.position;
        painter.drawLine(QPointF(right - 4, y), QPointF(right, y));
        // Centred on its tick, but kept inside the part of the axis on
        // screen: the first label sits on the top edge, the last on the bottom.
        const double boxTop = std::clamp(y - textHeight / 2.0, lowest, highest);
        painter.drawText(QRectF(0, boxTop, right - 6, textHeight), Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromStdString(tick.text));
    }
}
