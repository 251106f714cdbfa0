#include "app/WaterfallView.h"

#include "waterfall/WaterfallWindowSession.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

WaterfallView::WaterfallView(const WaterfallWindowSession& session, QWidget* parent)
    : QWidget(parent)
    , session_(session)
{
    setObjectName("waterfallView");
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(1, 1);
}

void WaterfallView::pictureChanged()
{
    columnsShown_ = 0;
    if (const auto& layout = session_.layout())
        setFixedSize(layout->width, layout->height);
    update();
}

void WaterfallView::showNewColumns()
{
    const int done = session_.columnsDone();
    if (done > columnsShown_) {
        update(QRect(columnsShown_, 0, done - columnsShown_, height()));
        columnsShown_ = done;
    }
}

void WaterfallView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    const auto& layout = session_.layout();
    if (!layout || !session_.rgba())
        return;
    // Only the completed columns are read: the drawing thread writes the others.
    const QRect done = event->rect() & QRect(0, 0, session_.columnsDone(), layout->height);
    if (done.isEmpty())
        return;
    const QImage picture(session_.rgba(), layout->width, layout->height, 4 * layout->width, QImage::Format_RGBA8888);
    painter.drawImage(done, picture, done);
}

void WaterfallView::mouseMoveEvent(QMouseEvent* event) { emit pointerMoved(event->position()); }

void WaterfallView::mousePressEvent(QMouseEvent* event) { emit pointerMoved(event->position()); }

void WaterfallView::leaveEvent(QEvent*) { emit pointerLeft(); }
