#include "app/CarrierView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

CarrierView::CarrierView(QWidget* parent)
    : QWidget(parent)
{
    setCursor(Qt::CrossCursor);
    makeNewBitMap(CarrierPicture::height(0));
}

void CarrierView::makeNewBitMap(int height)
{
    bitmap_ = QImage(CarrierPicture::kWidth, std::max(height, 1), QImage::Format_RGBA8888);
    bitmap_.fill(Qt::black);
    setFixedSize(bitmap_.size());
    update();
}

void CarrierView::drawFftLine(const int* values, int count, int row)
{
    if (row < 0 || row >= bitmap_.height())
        return;
    colorTable_.PaintRow(std::min(count, bitmap_.width()), values, drawInColor_, bitmap_.scanLine(row));
}

void CarrierView::drawMarks(const std::vector<CarrierPicture::FrequencyMark>& frequencyMarks,
                            const std::vector<CarrierPicture::HourMark>& hourMarks)
{
    const int h = bitmap_.height();
    QPainter painter(&bitmap_);
    painter.setPen(QPen(Qt::white, 1));
    QFont small = font();
    small.setBold(true);
    small.setPixelSize(11);
    small.setLetterSpacing(QFont::AbsoluteSpacing, -0.25);
    painter.setFont(small);
    QFontMetrics smallMetrics(small);
    for (const auto& mark : frequencyMarks) {
        painter.drawLine(mark.x, h - CarrierPicture::kTickTop, mark.x, h - CarrierPicture::kTickBottom);
        const QString caption = QString::number(mark.hertz);
        // The outermost captions are kept inside the picture.
        const int left = std::clamp(mark.x - 30, 0, bitmap_.width() - 60);
        const QRect box(left, h - CarrierPicture::kCaptionFromBottom - smallMetrics.height() / 2, 60,
                        smallMetrics.height());
        painter.drawText(box, Qt::AlignCenter, caption);
    }
    QFont large = small;
    large.setPixelSize(24);
    painter.setFont(large);
    const int captionHeight = QFontMetrics(large).height();
    painter.setPen(QPen(Qt::white, 3));
    for (const auto& mark : hourMarks) {
        if (mark.captionRow + captionHeight >= 0 && mark.captionRow - captionHeight < h)
            painter.drawText(QRect(14, mark.captionRow - captionHeight / 2, 100, captionHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(mark.caption));
        if (mark.lineRow >= 0 && mark.lineRow < h)
            painter.drawLine(0, mark.lineRow, 10, mark.lineRow);
    }
    update();
}

void CarrierView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), bitmap_, event->rect());
}
