#include "app/WaterfallScrollArea.h"

#include "app/FFTView.h"
#include "app/FreqScaleView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

WaterfallScrollArea::WaterfallScrollArea(FFTView* view, FreqScaleView* scale, QWidget* parent)
    : QScrollArea(parent)
    , fftView(view)
    , freqScale(scale)
    , scaleStrip(new QWidget(this))
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
    setViewportMargins(0, freqScale->height(), 0, 0);
    content->installEventFilter(this);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    placeScale();
}

void WaterfallScrollArea::setPlaceholderText(const QString& text)
{
    placeholder = text;
    viewport()->update();
}

void WaterfallScrollArea::placeScale()
{
    const QRect port = viewport()->geometry();
    scaleStrip->setGeometry(port.x(), port.y() - freqScale->height(), port.width(), freqScale->height());
    freqScale->move(widget()->x(), 0);
}

void WaterfallScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    placeScale();
}

bool WaterfallScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    const bool handled = QScrollArea::eventFilter(watched, event);
    if (watched == widget() && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        // Nothing to scroll across before a recording is drawn.
        setHorizontalScrollBarPolicy(fftView->lines() > 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        placeScale();
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
