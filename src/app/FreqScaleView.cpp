#include "app/FreqScaleView.h"

#include "app/FFTView.h"
#include "recording/SelectionRules.h"

#include <QPainter>

FreqScaleView::FreqScaleView(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(FFTView::kPixelsWide + 2 * kSideMargin, fontMetrics().height() + 8);
}

void FreqScaleView::setBandwidth(double bwKHz, double centerKHz)
{
    bandwidth = bwKHz;
    centerFreq = centerKHz;
    update();
}

double FreqScaleView::labelX(int k)
{
    return kSideMargin + k * FFTView::kPixelsWide / 10.0;
}

QStringList FreqScaleView::labelTexts() const
{
    QStringList texts;
    if (!(bandwidth > 0.0))
        return texts;
    for (int label : FrequencyScaleLabels(bandwidth, centerFreq))
        texts << QString::asprintf("%5d", label);
    return texts;
}

void FreqScaleView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QStringList texts = labelTexts();
    if (texts.isEmpty())
        return;
    const int bottom = height() - 1;
    painter.setPen(palette().windowText().color());
    painter.drawLine(QPointF(labelX(0), bottom), QPointF(labelX(10), bottom));
    for (int k = 0; k < texts.size(); ++k) {
        const double x = labelX(k);
        painter.drawLine(QPointF(x, bottom - 4), QPointF(x, bottom));
        const QRectF box(x - 2 * kSideMargin, 0, 4 * kSideMargin, bottom - 4);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, texts[k].trimmed());
    }
}
