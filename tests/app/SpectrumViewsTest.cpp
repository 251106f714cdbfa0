#include "app/AudioSpectrumView.h"
#include "app/SpectrumView.h"
#include "demod/DemodulatorObject.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

bool isGreen(QRgb p) { return qGreen(p) > 200 && qRed(p) < 60 && qBlue(p) < 60; }
bool isBlack(QRgb p) { return qRed(p) < 10 && qGreen(p) < 10 && qBlue(p) < 10; }

// A bright grey line in the pixel column holding x or the one after it.
bool brightGreyNear(const QImage& image, double x, int y)
{
    for (int column : {static_cast<int>(x), static_cast<int>(x) + 1}) {
        const QRgb p = image.pixel(column, y);
        if (qRed(p) > 200 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p))
            return true;
    }
    return false;
}

// Rows of the bar in `column` that are green, counted from the bottom.
int greenHeight(const QImage& image, int column)
{
    int height = 0;
    for (int y = image.height() - 1; y >= 0 && isGreen(image.pixel(column, y)); --y)
        ++height;
    return height;
}

QImage render(QWidget& view, QSize size)
{
    view.resize(size);
    QImage image(size, QImage::Format_RGB32);
    view.render(&image);
    return image;
}

TEST(AudioSpectrumView, PeakInTheMiddleBinsAroundItOnALogScaleAndTheGrid)
{
    AudioSpectrumView view;
    EXPECT_TRUE(isBlack(render(view, {512, 256}).pixel(256, 128))) << "nothing before the first measurement";

    CarrierSpectrum spectrum;
    spectrum.carrierPower.assign(DemodulatorObject::kCarrierFftSize, std::exp(2.0));
    spectrum.carrierRate = 24000.0;
    const struct {
        int peakBin;
        int binOfColumn0;
    } cases[] = {{10, 32522}, {-5, 32507}, {20000, 19744}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.peakBin);
        std::vector<double>& power = spectrum.carrierPower;
        std::fill(power.begin(), power.end(), std::exp(2.0));
        const int peak = ((c.peakBin % 32768) + 32768) % 32768;
        power[peak] = std::exp(10.0);
        power[c.binOfColumn0] = std::exp(6.0);
        spectrum.carrierPeakBin = c.peakBin;
        spectrum.carrierPeakPower = std::exp(10.0);
        view.setSpectrum(spectrum);
        const QImage image = render(view, {512, 256});
        EXPECT_EQ(greenHeight(image, 256), 256);
        EXPECT_NEAR(greenHeight(image, 0), 128, 1);
        EXPECT_EQ(greenHeight(image, 300), 0);
    }
    // At 24000 Hz the 100 Hz lines lie 136.5 pixels either side of the peak.
    const QImage image = render(view, {512, 256});
    for (double x : {119.47, 392.53})
        EXPECT_TRUE(brightGreyNear(image, x, 10)) << x;
    EXPECT_TRUE(isBlack(image.pixel(200, 10)));

    // Only the peak above power 1: top equals floor, no bars, no crash.
    std::fill(spectrum.carrierPower.begin(), spectrum.carrierPower.end(), 0.5);
    spectrum.carrierPower[10] = std::exp(10.0);
    spectrum.carrierPeakBin = 10;
    view.setSpectrum(spectrum);
    EXPECT_EQ(greenHeight(render(view, {512, 256}), 256), 0);
}

TEST(SpectrumView, ColumnsLimitedToTheViewAndMarkersAtTheSubcarriers)
{
    SpectrumView view;
    EXPECT_TRUE(isBlack(render(view, {600, 400}).pixel(20, 390)));

    std::vector<double> columns(SpectrumView::kColumns, 100.0);
    columns[20] = -3.0;
    columns[21] = 512.0;
    columns[22] = 200.0;
    columns[99] = 0.0;
    columns[100] = 0.0;
    view.setSpectrum(&columns);
    const QImage image = render(view, {600, 400});
    EXPECT_EQ(greenHeight(image, 20), 0);
    EXPECT_EQ(greenHeight(image, 21), 400);
    EXPECT_EQ(greenHeight(image, 22), 200);
    EXPECT_EQ(greenHeight(image, 30), 100);
    // The pilot's marker, 370 high, with its captions above.
    const QRgb marker = qRed(image.pixel(99, 200)) > 200 ? image.pixel(99, 200) : image.pixel(100, 200);
    EXPECT_GT(qRed(marker), 200);
    EXPECT_LT(qGreen(marker), 60);
    EXPECT_LT(qRed(image.pixel(150, 5)), 200);
}

} // namespace
