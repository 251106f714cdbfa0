#include "app/WaterfallScrollArea.h"

#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "app/TimeScaleView.h"
#include "waterfall/WaterfallViewMapping.h"

#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

WaterfallScrollArea::WaterfallScrollArea(FFTView* view, FreqScaleView* scale, TimeScaleView* times, QWidget* parent)
    : QScrollArea(parent)
    , fftView(view)
    , freqScale(scale)
    , timeScale(times)
    , scaleStrip(new QWidget(this))
    , timeStrip(new QWidget(this))
{
    auto* content = new QWidget;
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(FreqScaleView::kSideMargin, 0, FreqScaleView::kSideMargin, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(fftView);
    setWidget(content);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    content->setBackgroundRole(QPalette::Dark);

    scaleStrip->setAutoFillBackground(true);
    freqScale->setParent(scaleStrip);
    timeStrip->setAutoFillBackground(true);
    timeScale->setParent(timeStrip);
    setViewportMargins(timeScale->width(), freqScale->height(), 0, 0);
    content->installEventFilter(this);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(fftView, &FFTView::geometryChanged, this, &WaterfallScrollArea::updateAxes);
    placeAxes();
}

void WaterfallScrollArea::setPlaceholderText(const QString& text)
{
    placeholder = text;
    viewport()->update();
}

void WaterfallScrollArea::placeAxes()
{
    const QRect port = viewport()->geometry();
    scaleStrip->setGeometry(port.x(), port.y() - freqScale->height(), port.width(), freqScale->height());
    freqScale->move(widget()->x(), 0);
    timeStrip->setGeometry(port.x() - timeScale->width(), port.y(), timeScale->width(), port.height());
    timeScale->move(0, widget()->y());
}

void WaterfallScrollArea::updateAxes()
{
    const WaterfallViewMapping& mapping = fftView->mapping();
    freqScale->setBand(mapping.bandwidthKHz(), mapping.centerKHz(), fftView->width());
    timeScale->setMapping(mapping, fftView->startTime());
    // The layout follows the view's new size now, so that scrolling can be set at once.
    widget()->layout()->activate();
    placeAxes();
}

void WaterfallScrollArea::fitView()
{
    // The whole band across the viewport (without its side margins), the rows down it.
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    fftView->fitTo(viewport()->width() - 2 * FreqScaleView::kSideMargin - scrollBar, viewport()->height());
}

void WaterfallScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    const double anchor = horizontalScrollBar()->value() + viewport()->width() / 2.0;
    const double kHz = fftView->mapping().frequencyAt(anchor - FreqScaleView::kSideMargin);
    fitView();
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(fftView->mapping().xAt(kHz) +
                                                                 FreqScaleView::kSideMargin - viewport()->width() / 2.0)));
    placeAxes();
}

int WaterfallScrollArea::pointerOrMiddle() const
{
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    return viewport()->rect().contains(pointer) ? pointer.x() : viewport()->width() / 2;
}

void WaterfallScrollArea::zoomIn()
{
    zoomAt(WaterfallViewMapping::kZoomStep, pointerOrMiddle());
}

void WaterfallScrollArea::zoomOut()
{
    zoomAt(1.0 / WaterfallViewMapping::kZoomStep, pointerOrMiddle());
}

void WaterfallScrollArea::fitBand()
{
    zoomAt(1.0 / fftView->mapping().zoom(), viewport()->width() / 2);
}

void WaterfallScrollArea::zoomAt(double factor, int viewportX)
{
    const double contentX = viewportX - widget()->x() - FreqScaleView::kSideMargin;
    const double newX = fftView->zoomAround(factor, contentX);
    horizontalScrollBar()->setValue(static_cast<int>(std::lround(newX + FreqScaleView::kSideMargin - viewportX)));
    placeAxes();
}

void WaterfallScrollArea::showSecond(double seconds)
{
    const double y = fftView->mapping().yAt(seconds);
    ensureVisible(horizontalScrollBar()->value() + viewport()->width() / 2, static_cast<int>(y), 0,
                  viewport()->height() / 3);
}

void WaterfallScrollArea::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QScrollArea::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        zoomAt(std::pow(WaterfallViewMapping::kZoomStep, steps), static_cast<int>(event->position().x()));
    event->accept();
}

bool WaterfallScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    const bool handled = QScrollArea::eventFilter(watched, event);
    if (watched == widget() && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        // Nothing to scroll across before a recording is drawn.
        setHorizontalScrollBarPolicy(fftView->lines() > 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        placeAxes();
    }
    return handled;
}

void WaterfallScrollArea::paintEvent(QPaintEvent* event)
{
    QScrollArea::paintEvent(event);
    if (fftView->lines() > 0 || placeholder.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::BrightText));
    painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap, placeholder);
}
