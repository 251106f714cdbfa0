#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "recording/SelectionRules.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// A 60-second waterfall of a 192 kHz band around 7100 kHz.
class FFTViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.setHeight(60);
        view.setBandwidth(192.0, 7100.0);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    FFTView view;
};

TEST_F(FFTViewTest, HeightGivesOneRowPerLineAcrossTheBand)
{
    EXPECT_EQ(view.size(), QSize(1024, 60));
    EXPECT_EQ(view.rows(), 60);
    EXPECT_TRUE(view.setHeight(0));
    EXPECT_EQ(view.lines(), 0);
    EXPECT_EQ(view.size(), QSize(1024, 0));
}

// Levels and colour re-map the rows drawn at once; rows not finished are black.
TEST(FFTViewPicture, PaintsFinishedRowsWithTheLevelsAndColourOfNow)
{
    FFTView view;
    view.setHeight(2);
    view.setBandwidth(192.0, 7100.0);
    auto picture = std::make_shared<WaterfallPicture>(2, 1024, 192000.0);
    std::vector<double> bels(1024, -12.0); // -120 dB
    std::fill(bels.begin(), bels.begin() + 512, -8.0);
    picture->mergeSpectrum(0, bels.data());
    picture->mergeSpectrum(1, bels.data());
    picture->setRowsDone(1);
    view.setPicture(picture);
    view.setLevels(-110.0, -80.0);

    const auto pixel = [&view](int x, int row) { return view.picturePixels(QRect(0, 0, 1024, 2)).pixel(x, row); };
    view.setDrawInColor(true);
    EXPECT_EQ(pixel(100, 0), qRgba(255, 0, 130, 255));
    EXPECT_EQ(pixel(900, 0), qRgba(0, 0, 0, 255));
    EXPECT_EQ(pixel(100, 1), qRgba(0, 0, 0, 255)) << "a row not finished";
    view.setDrawInColor(false);
    EXPECT_EQ(pixel(100, 0), qRgba(255, 255, 255, 255));
    view.setLevels(-130.0, -60.0);
    EXPECT_EQ(qRed(pixel(100, 0)), (1023 - 1023 * 20 / 70) / 4);
    EXPECT_EQ(qRed(pixel(900, 0)), (1023 - 1023 * 60 / 70) / 4);
    picture->setRowsDone(2);
    EXPECT_EQ(pixel(100, 1), pixel(100, 0));
}

TEST_F(FFTViewTest, DragReportsTheSameSelectionInEveryDirection)
{
    const struct {
        QPoint from, to;
    } drags[] = {
        {{256, 10}, {768, 20}}, {{768, 20}, {256, 10}}, {{256, 20}, {768, 10}}, {{768, 10}, {256, 20}},
    };
    for (const auto& drag : drags) {
        QSignalSpy spy(&view, &FFTView::demodRecordingSettings);
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, drag.from);
        QTest::mouseEvent(QTest::MouseMove, &view, Qt::NoButton, Qt::NoModifier, (drag.from + drag.to) / 2);
        QTest::mouseEvent(QTest::MouseMove, &view, Qt::NoButton, Qt::NoModifier, drag.to);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, drag.to);
        ASSERT_EQ(spy.count(), 1);
        const Selection selection = spy.takeFirst().at(0).value<Selection>();
        EXPECT_EQ(selection.startSecond, 10);
        EXPECT_EQ(selection.endSecond, 20);
        EXPECT_DOUBLE_EQ(selection.lowKHz, 7052.0);
        EXPECT_DOUBLE_EQ(selection.highKHz, 7148.0);
        EXPECT_EQ(view.selectionFrame(), QRectF(257, 11, 510, 8));
    }
}

TEST_F(FFTViewTest, ClickWithoutDragKeepsTheSelection)
{
    view.setRecordingSettings(10, 20, 7052.0, 7148.0);
    QSignalSpy spy(&view, &FFTView::demodRecordingSettings);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(100, 40));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(view.selectionFrame(), QRectF(257, 11, 510, 8));
}

TEST_F(FFTViewTest, RightClickReportsFrequencyTimeAndModifierKeys)
{
    const struct {
        Qt::KeyboardModifiers keys;
        unsigned modifiers;
    } cases[] = {
        {Qt::ShiftModifier, kShiftKey},
        {Qt::ControlModifier, kControlKey},
        {Qt::AltModifier, kOptionKey},
        {Qt::MetaModifier, kCommandKey},
        {Qt::ShiftModifier | Qt::AltModifier, kShiftKey | kOptionKey},
        {Qt::ShiftModifier | Qt::MetaModifier | Qt::KeypadModifier, kShiftKey | kCommandKey},
    };
    for (const auto& c : cases) {
        QSignalSpy spy(&view, &FFTView::rightMouseDownFreq);
        QTest::mouseClick(&view, Qt::RightButton, c.keys, QPoint(512, 42));
        ASSERT_EQ(spy.count(), 1);
        const QList<QVariant> args = spy.takeFirst();
        EXPECT_FLOAT_EQ(args[0].toFloat(), 7100.0f);
        EXPECT_FLOAT_EQ(args[1].toFloat(), 42.0f);
        EXPECT_EQ(args[2].toUInt(), c.modifiers);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a modifier click opens no menu";
    }
}

TEST_F(FFTViewTest, PlainRightClickOffersTheMenu)
{
    QSignalSpy spy(&view, &FFTView::rightMouseDownFreq);
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, QPoint(512, 42));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.first()[2].toUInt(), 0u);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    popup->close();
}

TEST_F(FFTViewTest, MenuKeyOffersTheMenuToo)
{
    QContextMenuEvent fromKey(QContextMenuEvent::Keyboard, QPoint(0, 0), view.mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(&view, &fromKey);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    popup->close();
}

TEST_F(FFTViewTest, ContextMenuItemsActAsTheModifierClicks)
{
    const struct {
        const char* text;
        unsigned modifiers;
    } items[] = {
        {"Set Start Time Here", kShiftKey},
        {"Set End Time Here", kControlKey},
        {"Set Low Frequency Here", kOptionKey},
        {"Set High Frequency Here", kCommandKey},
        {"Start at Beginning", kShiftKey | kOptionKey},
        {"End at End of Recording", kShiftKey | kCommandKey},
    };
    std::unique_ptr<QMenu> menu(view.createContextMenu(QPointF(768, 30)));
    for (const auto& item : items) {
        QAction* action = nullptr;
        for (QAction* candidate : menu->actions())
            if (candidate->text().section('\t', 0, 0) == item.text)
                action = candidate;
        ASSERT_NE(action, nullptr) << item.text;
        QSignalSpy spy(&view, &FFTView::rightMouseDownFreq);
        action->trigger();
        ASSERT_EQ(spy.count(), 1) << item.text;
        EXPECT_FLOAT_EQ(spy.first()[0].toFloat(), 7148.0f);
        EXPECT_FLOAT_EQ(spy.first()[1].toFloat(), 30.0f);
        EXPECT_EQ(spy.first()[2].toUInt(), item.modifiers) << item.text;
    }
}

TEST_F(FFTViewTest, PlayMarkFollowsThePlayTimeAndGoesAway)
{
    view.setRecordingSettings(10, 20, 7052.0, 7148.0);
    view.setCurrentPlayTime(15);
    EXPECT_EQ(view.currentPlayTime(), 15);
    QImage shown = view.grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(500, 16)).blue(), 255);
    view.setCurrentPlayTime(-1);
    EXPECT_EQ(view.currentPlayTime(), -1);
    shown = view.grab().toImage();
    EXPECT_EQ(shown.pixel(500, 16), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(257, 15), qRgb(255, 0, 0)) << "the selection frame stays";
    // Edged dark outside and light inside, to show on red signals.
    EXPECT_EQ(shown.pixel(256, 15), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(258, 15), qRgb(255, 255, 255));
}

TEST_F(FFTViewTest, NoBandMeansNoSelectionInsteadOfADivisionByZero)
{
    view.setBandwidth(0.0, 7100.0);
    view.setRecordingSettings(10, 20, 7052.0, 7148.0);
    EXPECT_FALSE(view.hasSelection());
}

TEST(FreqScaleView, TicksFallOnRoundFrequenciesOverTheirColumns)
{
    FreqScaleView scale;
    EXPECT_TRUE(scale.labelTexts().isEmpty());
    scale.setBand(192.0, 7100.0, 1024);
    const QStringList expected = {"7020", "7040", "7060", "7080", "7100", "7120", "7140", "7160", "7180 kHz"};
    EXPECT_EQ(scale.labelTexts(), expected);
    EXPECT_DOUBLE_EQ(scale.ticks()[4].position, 512.0);
    EXPECT_EQ(scale.width(), 1024 + 2 * FreqScaleView::kSideMargin);
}

} // namespace
