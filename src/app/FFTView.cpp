#include "app/FFTView.h"

#include "recording/SelectionRules.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

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
    setFixedSize(kPixelsWide, 0);
}

QSize FFTView::sizeHint() const
{
    return {kPixelsWide, pixelsHigh};
}

bool FFTView::setHeight(int lines)
{
    lines = std::max(lines, 0);
    QImage fresh;
    if (lines > 0) {
        fresh = QImage(kPixelsWide, lines, QImage::Format_RGBA8888);
        if (fresh.isNull())
            return false;
        fresh.fill(Qt::black);
    }
    bitmap = fresh;
    pixelsHigh = lines;
    selectionShown = false;
    currentPlayPosition = -1;
    setFixedSize(kPixelsWide, lines);
    update();
    return true;
}

void FFTView::drawFftLine(const int* row, int len, int line)
{
    if (line < 0 || line >= pixelsHigh || len <= 0)
        return;
    len = std::min(len, kPixelsWide);
    uchar* pixels = bitmap.bits() + static_cast<qsizetype>(line) * bitmap.bytesPerLine();
    colorTable.PaintRow(len, row, drawInColor, pixels);
    update(0, line, len, 1);
}

void FFTView::setBandwidth(double bwKHz, double centerKHz)
{
    bandwidth = bwKHz;
    centerFreq = centerKHz;
    update();
}

void FFTView::setRecordingSettings(int start, int stop, double loKHz, double hiKHz)
{
    const WaterfallBand band{bandwidth, centerFreq, kPixelsWide};
    const std::optional<double> loColumn = ColumnAtFrequency(loKHz, band);
    const std::optional<double> hiColumn = ColumnAtFrequency(hiKHz, band);
    currentPlayPosition = -1;
    if (!loColumn || !hiColumn) {
        selectionShown = false;
        update();
        return;
    }
    anchorPt = QPointF(*loColumn, start);
    marqueePt = QPointF(*hiColumn, stop);
    selectionShown = true;
    update();
}

QRectF FFTView::selectionFrame() const
{
    QRectF frame = QRectF(anchorPt, marqueePt).normalized();
    if (frame.width() >= 2)
        frame.adjust(1, 0, -1, 0);
    if (frame.height() >= 2)
        frame.adjust(0, 1, 0, -1);
    return frame;
}

QRect FFTView::playMarkRect() const
{
    const QRectF frame = selectionFrame();
    return QRectF(frame.left(), currentPlayPosition, frame.width(), kPlayMarkHeight).toAlignedRect();
}

void FFTView::setCurrentPlayTime(int line)
{
    if (line == currentPlayPosition)
        return;
    if (selectionShown && currentPlayPosition >= 0)
        update(playMarkRect().adjusted(0, -2, 0, 2));
    currentPlayPosition = line < 0 ? -1 : line;
    if (selectionShown && currentPlayPosition >= 0)
        update(playMarkRect().adjusted(0, -2, 0, 2));
}

void FFTView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, Qt::black);
    if (!bitmap.isNull())
        painter.drawImage(exposed.topLeft(), bitmap, exposed);
    if (!selectionShown)
        return;
    painter.setPen(QPen(Qt::red, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(selectionFrame());
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
    return {std::clamp(p.x(), 0.0, double(kPixelsWide)), std::clamp(p.y(), 0.0, double(pixelsHigh))};
}

void FFTView::showMarquee(QPointF anchor, QPointF corner)
{
    const QRect before = selectionShown ? selectionFrame().toAlignedRect() : QRect();
    anchorPt = anchor;
    marqueePt = corner;
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
        const WaterfallBand band{bandwidth, centerFreq, kPixelsWide};
        emit rightMouseDownFreq(float(FrequencyAtColumn(p.x(), band)), float(p.y()), modifiers);
        if (modifiers == 0)
            popUpContextMenu(p, event->globalPosition().toPoint());
    }
}

void FFTView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging)
        return;
    const QPointF p = limitedToView(event->position());
    if (!dragMoved && p == pressPt)
        return;
    dragMoved = true;
    showMarquee(pressPt, p);
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
    const WaterfallSelection selection = SelectionFromDrag(pressPt.x(), pressPt.y(), corner.x(), corner.y(),
                                                           pixelsHigh, {bandwidth, centerFreq, kPixelsWide});
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
    if (pixelsHigh == 0)
        return;
    QMenu* menu = createContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

QMenu* FFTView::createContextMenu(QPointF pos)
{
    const QPointF p = limitedToView(pos);
    const float kHz = float(FrequencyAtColumn(p.x(), {bandwidth, centerFreq, kPixelsWide}));
    const float seconds = float(p.y());
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
