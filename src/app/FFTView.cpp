#include "app/FFTView.h"

#include "recording/SelectionRules.h"
#include "waterfall/WaterfallAxes.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

unsigned SelectionModifiersOf(Qt::KeyboardModifiers modifiers)
{
    unsigned keys = 0;
    if (modifiers & Qt::ShiftModifier)
        keys |= kShiftKey;
    if (modifiers & Qt::ControlModifier)
        keys |= kControlKey;
    if (modifiers & Qt::AltModifier)
        keys |= kOptionKey;
    if (modifiers & Qt::MetaModifier)
        keys |= kCommandKey;
    return keys;
}

constexpr int kPlayMarkHeight = 3;

} // namespace

FFTView::FFTView(QWidget* parent)
    : QWidget(parent)
{
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    mapping_.fit(fitWidth_, fitHeight_);
    setFixedSize(kPixelsWide, 0);
}

QSize FFTView::sizeHint() const
{
    return size();
}

void FFTView::resizeToContent()
{
    setFixedSize(static_cast<int>(std::lround(mapping_.contentWidth())),
                 static_cast<int>(std::lround(mapping_.contentHeight())));
    update();
    emit geometryChanged();
}

bool FFTView::setHeight(int lines)
{
    mapping_ = WaterfallViewMapping(mapping_.bandwidthKHz(), mapping_.centerKHz(),
                                    WaterfallRowPlan(lines, WaterfallRowPlan::kMaxWindowRows));
    mapping_.fit(fitWidth_, fitHeight_);
    picture_.reset();
    selectionShown = false;
    currentPlayPosition = -1;
    resizeToContent();
    return true;
}

void FFTView::setPicture(std::shared_ptr<const WaterfallPicture> picture)
{
    picture_ = std::move(picture);
    limitZoom();
    update();
}

void FFTView::rowsDone(int firstRow, int endRow)
{
    const int top = static_cast<int>(std::floor(firstRow * mapping_.pixelsPerRow()));
    const int bottom = static_cast<int>(std::ceil(endRow * mapping_.pixelsPerRow()));
    update(0, top, width(), bottom - top);
}

void FFTView::limitZoom()
{
    // Zoom in down to the transform's resolution: a few pixels a column across the band shown.
    const double columnsInBand =
        picture_ ? mapping_.bandwidthKHz() * 1000.0 / picture_->sampleRate() * picture_->columns() : 0.0;
    mapping_.setMaxContentWidth(WaterfallViewMapping::kMaxPixelsPerColumn * columnsInBand);
}

void FFTView::setBandwidth(double bwKHz, double centerKHz)
{
    mapping_ = WaterfallViewMapping(bwKHz, centerKHz, mapping_.plan());
    limitZoom();
    mapping_.fit(fitWidth_, fitHeight_);
    resizeToContent();
}

void FFTView::setDrawInColor(bool inColor)
{
    drawInColor = inColor;
    update();
}

void FFTView::setLevels(double minDb, double maxDb)
{
    maxDb_ = maxDb;
    minDb_ = minDb;
    update();
}

void FFTView::fitTo(int viewWidth, int viewHeight)
{
    fitWidth_ = std::max(viewWidth, 64);
    fitHeight_ = std::max(viewHeight, 0);
    mapping_.fit(fitWidth_, fitHeight_);
    resizeToContent();
}

double FFTView::zoomAround(double factor, double anchorX)
{
    const double x = mapping_.zoomAround(factor, anchorX);
    resizeToContent();
    return x;
}

QPointF FFTView::pointOf(const Corner& corner) const
{
    return {mapping_.xAt(corner.kHz), mapping_.yAt(corner.seconds)};
}

FFTView::Corner FFTView::cornerAt(QPointF p) const
{
    return {mapping_.secondsAt(p.y()), mapping_.frequencyAt(p.x())};
}

void FFTView::setRecordingSettings(int start, int stop, double loKHz, double hiKHz)
{
    currentPlayPosition = -1;
    if (!mapping_.hasBand()) {
        selectionShown = false;
        update();
        return;
    }
    anchor_ = {double(start), loKHz};
    marquee_ = {double(stop), hiKHz};
    selectionShown = true;
    update();
}

QRectF FFTView::selectionFrame() const
{
    QRectF frame = QRectF(pointOf(anchor_), pointOf(marquee_)).normalized();
    if (frame.width() >= 2)
        frame.adjust(1, 0, -1, 0);
    if (frame.height() >= 2)
        frame.adjust(0, 1, 0, -1);
    return frame;
}

QRect FFTView::playMarkRect() const
{
    const QRectF frame = selectionFrame();
    return QRectF(frame.left(), mapping_.yAt(currentPlayPosition), frame.width(), kPlayMarkHeight).toAlignedRect();
}

void FFTView::setCurrentPlayTime(int second)
{
    if (second == currentPlayPosition)
        return;
    if (selectionShown && currentPlayPosition >= 0)
        update(playMarkRect().adjusted(0, -2, 0, 2));
    currentPlayPosition = second < 0 ? -1 : second;
    if (selectionShown && currentPlayPosition >= 0)
        update(playMarkRect().adjusted(0, -2, 0, 2));
}

QImage FFTView::picturePixels(const QRect& area)
{
    QImage image(area.size(), QImage::Format_RGBA8888);
    if (image.isNull())
        return image;
    if (!picture_) {
        image.fill(Qt::black);
        return image;
    }
    renderer_.render(*picture_, mapping_, area.left(), area.top(), area.width(), area.height(), maxDb_, minDb_,
                     drawInColor, image.bits(), static_cast<size_t>(image.bytesPerLine()));
    return image;
}

QImage FFTView::bandImage(int width)
{
    WaterfallViewMapping band(mapping_.bandwidthKHz(), mapping_.centerKHz(), mapping_.plan());
    band.fit(width, 0);
    QImage image(width, rows(), QImage::Format_RGBA8888);
    if (image.isNull() || !picture_)
        return image;
    renderer_.render(*picture_, band, 0, 0, width, rows(), maxDb_, minDb_, drawInColor, image.bits(),
                     static_cast<size_t>(image.bytesPerLine()));
    return image;
}

QString FFTView::readoutAt(QPointF pos) const
{
    if (!mapping_.hasBand() || rows() == 0)
        return {};
    const QPointF p = limitedToView(pos);
    const double kHz = mapping_.frequencyAt(p.x());
    const double seconds = std::min(mapping_.secondsAt(p.y()), double(std::max(lines() - 1, 0)));
    std::optional<double> level;
    const int row = mapping_.rowAt(p.y());
    if (picture_ && row < picture_->rowsDone()) {
        const double column = std::floor(picture_->columnAtFrequency((kHz - mapping_.centerKHz()) * 1000.0));
        if (column >= 0 && column < picture_->columns())
            level = picture_->levelDb(row, static_cast<int>(column));
    }
    return QString::fromStdString(WaterfallAxes::readout(kHz, seconds, startUnix_, level));
}

void FFTView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.drawImage(exposed.topLeft(), picturePixels(exposed));
    if (!selectionShown)
        return;
    // Red between a dark line outside and a light one inside, so that the
    // frame shows on red signals and on the dark floor alike.
    painter.setBrush(Qt::NoBrush);
    const QRectF frame = selectionFrame();
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(frame.adjusted(-1, -1, 1, 1));
    if (frame.width() > 2 && frame.height() > 2) {
        painter.setPen(QPen(Qt::white, 0));
        painter.drawRect(frame.adjusted(1, 1, -1, -1));
    }
    painter.setPen(QPen(Qt::red, 0));
    painter.drawRect(frame);
    if (currentPlayPosition >= 0) {
        // Outlined so that it shows on the blue part of the colour ramp too.
        const QRect mark = playMarkRect();
        painter.fillRect(mark, QColor(0, 90, 255));
        painter.setPen(QPen(Qt::white, 0));
        painter.drawLine(mark.topLeft() - QPoint(0, 1), mark.topRight() - QPoint(0, 1));
        painter.drawLine(mark.bottomLeft() + QPoint(0, 1), mark.bottomRight() + QPoint(0, 1));
    }
}

QPointF FFTView::limitedToView(QPointF p) const
{
    return {std::clamp(p.x(), 0.0, mapping_.contentWidth()), std::clamp(p.y(), 0.0, mapping_.contentHeight())};
}

void FFTView::showMarquee(QPointF anchor, QPointF corner)
{
    const QRect before = selectionShown ? selectionFrame().toAlignedRect() : QRect();
    anchor_ = cornerAt(anchor);
    marquee_ = cornerAt(corner);
    selectionShown = true;
    update(before.united(selectionFrame().toAlignedRect()).adjusted(-2, -2, 2, 2 + kPlayMarkHeight));
}

void FFTView::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = limitedToView(event->position());
    if (event->button() == Qt::LeftButton) {
        pressPt = p;
        dragging = true;
        dragMoved = false;
    } else if (event->button() == Qt::RightButton) {
        const unsigned modifiers = SelectionModifiersOf(event->modifiers());
        emit rightMouseDownFreq(float(mapping_.frequencyAt(p.x())), float(mapping_.secondsAt(p.y())), modifiers);
        if (modifiers == 0)
            popUpContextMenu(p, event->globalPosition().toPoint());
    }
}

void FFTView::mouseMoveEvent(QMouseEvent* event)
{
    emit readoutChanged(readoutAt(event->position()));
    if (!dragging)
        return;
    const QPointF p = limitedToView(event->position());
    if (!dragMoved && p == pressPt)
        return;
    dragMoved = true;
    showMarquee(pressPt, p);
}

void FFTView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    emit readoutChanged(QString());
}

void FFTView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragging)
        return;
    dragging = false;
    const QPointF corner = limitedToView(event->position());
    // A click without a drag keeps the current selection.
    if (!dragMoved && corner == pressPt)
        return;
    showMarquee(pressPt, corner);
    const WaterfallBand band{mapping_.bandwidthKHz(), mapping_.centerKHz(),
                             static_cast<int>(std::lround(mapping_.contentWidth()))};
    const WaterfallSelection selection = SelectionFromDrag(pressPt.x(), mapping_.secondsAt(pressPt.y()), corner.x(),
                                                           mapping_.secondsAt(corner.y()), lines(), band);
    emit demodRecordingSettings({selection.startSecond, selection.endSecond, selection.lowKHz, selection.highKHz});
}

void FFTView::contextMenuEvent(QContextMenuEvent* event)
{
    // Mouse right clicks were handled when pressed; this is the menu key, which
    // acts where the pointer is, or in the middle of what is in view.
    if (event->reason() == QContextMenuEvent::Mouse)
        return;
    QPoint at = mapFromGlobal(QCursor::pos());
    if (!visibleRegion().contains(at))
        at = visibleRegion().boundingRect().center();
    popUpContextMenu(at, mapToGlobal(at));
}

void FFTView::popUpContextMenu(QPointF pos, QPoint globalPos)
{
    if (rows() == 0)
        return;
    QMenu* menu = createContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

QMenu* FFTView::createContextMenu(QPointF pos)
{
    const QPointF p = limitedToView(pos);
    const float kHz = float(mapping_.frequencyAt(p.x()));
    const float seconds = float(mapping_.secondsAt(p.y()));
    auto* menu = new QMenu(this);
    const auto add = [&](const char* text, const char* keys, unsigned modifiers) {
        QAction* action = menu->addAction(QString("%1\t%2").arg(text, keys));
        connect(action, &QAction::triggered, this, [this, kHz, seconds, modifiers] {
            emit rightMouseDownFreq(kHz, seconds, modifiers);
        });
    };
    add("Set Start Time Here", "Shift+Right-click", kShiftKey);
    add("Set End Time Here", "Ctrl+Right-click", kControlKey);
    add("Set Low Frequency Here", "Alt+Right-click", kOptionKey);
    add("Set High Frequency Here", "Meta+Right-click", kCommandKey);
    menu->addSeparator();
    add("Start at Beginning", "Shift+Alt+Right-click", kShiftKey | kOptionKey);
    add("End at End of Recording", "Shift+Meta+Right-click", kShiftKey | kCommandKey);
    return menu;
}
