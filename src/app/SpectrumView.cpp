#include "app/SpectrumView.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr double kHeight = 400.0;
constexpr double kMarkerHeight = 370.0;

// 5.24288 pixels per kHz: each column sums 200 bins of a 524288-point
// transform of a multiplex sampled at 500 kHz.
const struct {
    double x;
    const char* frequency;
    const char* name;
} kMarkers[] = {
    {99.61472171369198, "19 kHz", "Stereo Pilot"},
    {199.22944342738396, "38 kHz", "Stereo Subcarrier"},
    {298.84416514107596, "57 kHz", "RDS"},
    {351.2729660430191, "67 kHz", "SCA"},
    {482.34496829787696, "92 kHz", "SCA"},
};

} // namespace

SpectrumView::SpectrumView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(300, 200);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void SpectrumView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!mpxSpectrum || mpxSpectrum->size() < static_cast<size_t>(kColumns))
        return;

    painter.scale(width() / double(kColumns), height() / kHeight);
    // Heights count up from the bottom edge.
    auto bar = [](double x, double height) { return QRectF(x, kHeight - height, 1.0, height); };

    QFont captionFont = painter.font();
    captionFont.setPixelSize(9);
    painter.setFont(captionFont);
    painter.setPen(Qt::white);
    for (const auto& marker : kMarkers) {
        // Captions stand on y = 370 and y = 380, centred on the marker.
        painter.drawText(QRectF(marker.x - 60.0, kHeight - 370.0 - 10.0, 120.0, 10.0),
                         Qt::AlignHCenter | Qt::AlignBottom, marker.frequency);
        painter.drawText(QRectF(marker.x - 60.0, kHeight - 380.0 - 10.0, 120.0, 10.0),
                         Qt::AlignHCenter | Qt::AlignBottom, marker.name);
        painter.fillRect(bar(marker.x, kMarkerHeight), Qt::red);
    }
    for (int i = 0; i < kColumns; ++i)
        painter.fillRect(bar(i, std::clamp((*mpxSpectrum)[i], 0.0, kHeight)), Qt::green);
}
