#include "app/FreqScaleView.h"
#include "app/TimeScaleView.h"
#include "waterfall/WaterfallRowPlan.h"
#include "waterfall/WaterfallViewMapping.h"

#include <QApplication>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

// Pixels of text (darker than the background) in rows [top, bottom).
int textPixels(const QImage& image, int top, int bottom)
{
    const int background = qGray(image.pixel(1, image.height() / 2));
    int count = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width() - 8; ++x)
            count += qGray(image.pixel(x, y)) < background - 80 ? 1 : 0;
    return count;
}

} // namespace

// The label of the first second sits whole on the top edge, not half above it.
TEST(TimeScaleView, TheFirstLabelIsWhole)
{
    WaterfallViewMapping mapping(48.0, 7100.0, WaterfallRowPlan(60, 100000));
    mapping.fit(600, 600);
    TimeScaleView view;
    view.setMapping(mapping, int64_t{1796488775});
    const QImage image = view.grab().toImage();
    const int textHeight = view.fontMetrics().height();
    const double secondY = mapping.yAt(5.0);
    ASSERT_GT(secondY, 2.0 * textHeight) << "the test wants the second label clear of the first";
    const int first = textPixels(image, 0, textHeight);
    const int second = textPixels(image, int(secondY) - textHeight, int(secondY) + textHeight);
    ASSERT_GT(second, 0);
    EXPECT_GT(first, second * 7 / 10) << "first label " << first << " text pixels, a whole one " << second;
}

// The label on the band's upper edge is whole too (a MHz label is wider than
// the margin beside the picture).
TEST(FreqScaleView, TheEdgeLabelsAreWhole)
{
    FreqScaleView view;
    view.setBand(2000.0, 1090000.0, 600);
    const QStringList labels = view.labelTexts();
    ASSERT_GE(labels.size(), 3) << labels.join(", ").toStdString();
    ASSERT_TRUE(labels.back().endsWith("MHz")) << labels.back().toStdString();
    const QImage image = view.grab().toImage();
    // The last label's text reaches no further than the view's last columns, and is all drawn:
    // its pixels compare with those of a label of the same length from the middle.
    const int background = qGray(image.pixel(1, 1));
    int lastColumn = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height() - 6; ++y)
            if (qGray(image.pixel(x, y)) < background - 80)
                lastColumn = x;
    const int textWidth = view.fontMetrics().horizontalAdvance(labels.back());
    EXPECT_LT(lastColumn, image.width() - 1) << "the last label runs off the edge";
    EXPECT_GE(lastColumn, image.width() - FreqScaleView::kTickSpacing / 2 - textWidth / 2 - 2);
}

// Zoomed in and scrolled, the labels on screen are whole inside the visible
// part, apart from each other, and the rightmost carries the unit.
TEST(FreqScaleView, VisibleLabelsAreWholeAndTheLastHasItsUnit)
{
    struct Case {
        int zoom;
        double scrolledShare; // of the scale's width, from the left
        const char* unit;
    };
    for (const Case& c : {Case{1, 0.0, " kHz"}, Case{4, 0.37, " kHz"}, Case{16, 0.51, " kHz"}, Case{64, 0.77, " kHz"}}) {
        QScrollArea area;
        area.setFixedSize(640, 80);
        auto* view = new FreqScaleView;
        view->setBand(48.0, 7100.0, 600 * c.zoom);
        area.setWidget(view);
        area.show();
        area.horizontalScrollBar()->setValue(int(c.scrolledShare * area.horizontalScrollBar()->maximum()) + 17);
        QApplication::processEvents();
        const QRect visible = view->visibleRegion().boundingRect();
        const std::vector<FreqScaleView::Label> labels = view->visibleLabels();
        ASSERT_GE(labels.size(), 3u) << c.zoom;
        double previousEnd = -1e9;
        for (const auto& label : labels) {
            const double textWidth = view->fontMetrics().horizontalAdvance(label.text);
            // Where the text lies in its box.
            const double start = label.alignment & Qt::AlignLeft    ? label.box.left()
                                 : label.alignment & Qt::AlignRight ? label.box.right() - textWidth
                                                                    : label.box.center().x() - textWidth / 2;
            EXPECT_GE(start, visible.left()) << c.zoom << " " << label.text.toStdString();
            EXPECT_LE(start + textWidth, visible.right() + 1) << c.zoom << " " << label.text.toStdString();
            EXPECT_GT(start, previousEnd) << c.zoom << " " << label.text.toStdString();
            EXPECT_NEAR(label.tickX, start + textWidth / 2, FreqScaleView::kTickSpacing / 2.0) << c.zoom;
            previousEnd = start + textWidth;
        }
        EXPECT_TRUE(labels.back().text.endsWith(c.unit)) << c.zoom << " " << labels.back().text.toStdString();
        for (size_t k = 0; k + 1 < labels.size(); ++k)
            EXPECT_FALSE(labels[k].text.contains("kHz")) << labels[k].text.toStdString();
    }
}
