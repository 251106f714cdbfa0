#include "app/AudioSpectrumView.h"

#include "demod/DemodulatorObject.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kColumns = 512;
constexpr int kHeight = 256;
constexpr int kPeakColumn = 256;
constexpr int kBins = DemodulatorObject::kCarrierFftSize;

double levelOf(double power)
{
    return power > 1.0 ? std::log(power) : 1.0;
}

} // namespace

AudioSpectrumView::AudioSpectrumView(QWidget* parent)
    : QWidget(parent)
{
    // Low enough that the main window fits a 768-pixel screen.
    setMinimumSize(256, 80);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void AudioSpectrumView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (carrier.carrierPower.size() != static_cast<size_t>(kBins))
        return;

    // Origin at the bottom left, y up, 512 x 256 across the view.
    painter.scale(width() / double(kColumns), height() / double(kHeight));
    painter.translate(0.0, kHeight);
    painter.scale(1.0, -1.0);

    const std::vector<double>& power = carrier.carrierPower;
    // A negative peak bin must not index before the spectrum.
    auto binOfColumn = [peak = carrier.carrierPeakBin](int column) {
        return ((peak - kPeakColumn + column) % kBins + kBins) % kBins;
    };
    const double top = carrier.carrierPeakPower > 1.0 ? std::log(carrier.carrierPeakPower) : 1.0;
    double floor = 1e70;
    for (int i = 0; i < kColumns; ++i) {
        const double p = power[binOfColumn(i)];
        if (p > 1.0)
            floor = std::min(floor, std::log(p));
    }

    const double pixelsPerHz = carrier.carrierRate > 0.0 ? kBins / carrier.carrierRate : 1.0;
    const struct {
        double grey;
        int stepHz;
    } grid[] = {{0.3, 10}, {0.6, 50}, {0.9, 100}};
    for (const auto& lines : grid) {
        const QColor colour = QColor::fromRgbF(lines.grey, lines.grey, lines.grey);
        for (int offset = -200; offset <= 200; offset += lines.stepHz)
            painter.fillRect(QRectF(kPeakColumn + pixelsPerHz * offset, 0.0, 1.0, kHeight), colour);
    }

    // Only the peak above power 1: no scale to draw bars on.
    if (top == floor)
        return;
    for (int i = 0; i < kColumns; ++i) {
        const double height = (levelOf(power[binOfColumn(i)]) - floor) * kHeight / (top - floor);
        painter.fillRect(QRectF(i, 0.0, 1.0, std::clamp(height, 0.0, double(kHeight))), Qt::green);
    }
}
