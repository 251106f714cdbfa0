#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "recording/SelectionRules.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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

    QRgb pixel(int x, int line) const { return view.offscreen().pixel(x, line); }

    FFTView view;
};

TEST_F(FFTViewTest, HeightGivesAnRgbaBitmapOfOneRowPerLine)
{
    EXPECT_EQ(view.offscreen().size(), QSize(1024, 60));
    EXPECT_EQ(view.offscreen().format(), QImage::Format_RGBA8888);
    EXPECT_EQ(view.size(), QSize(1024, 60));
    EXPECT_TRUE(view.setHeight(0));
    EXPECT_EQ(view.lines(), 0);
    EXPECT_TRUE(view.offscreen().isNull());
}

TEST_F(FFTViewTest, PaintsRowsInColourOrGreyAndIgnoresLinesOutside)
{
    const std::vector<int> row = {0, 1023, 2000, -7};
    view.setDrawInColor(true);
    view.drawFftLine(row.data(), int(row.size()), 3);
    EXPECT_EQ(pixel(0, 3), qRgba(255, 0, 130, 255));
    EXPECT_EQ(pixel(1, 3), qRgba(0, 0, 0, 255));
    EXPECT_EQ(pixel(2, 3), qRgba(0, 0, 0, 255));
    EXPECT_EQ(pixel(3, 3), qRgba(255, 0, 130, 255));

    view.setDrawInColor(false);
    view.drawFftLine(row.data(), int(row.size()), 59);
    EXPECT_EQ(pixel(0, 59), qRgba(255, 255, 255, 255));
    EXPECT_EQ(pixel(1, 59), qRgba(0, 0, 0, 255));
    EXPECT_EQ(pixel(0, 3), qRgba(255, 0, 130, 255)) << "rows already drawn keep their colours";

    const QImage before = view.offscreen().copy();
    view.drawFftLine(row.data(), int(row.size()), 60);
    view.drawFftLine(row.data(), int(row.size()), -1);
    EXPECT_EQ(view.offscreen(), before);
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
}

TEST_F(FFTViewTest, NoBandMeansNoSelectionInsteadOfADivisionByZero)
{
    view.setBandwidth(0.0, 7100.0);
    view.setRecordingSettings(10, 20, 7052.0, 7148.0);
    EXPECT_FALSE(view.hasSelection());
}

TEST(FreqScaleView, LabelsEveryTenthOfTheBand)
{
    FreqScaleView scale;
    EXPECT_TRUE(scale.labelTexts().isEmpty());
    scale.setBandwidth(192.0, 7100.0);
    const QStringList expected = {" 7004", " 7023", " 7042", " 7061", " 7080", " 7100",
                                  " 7119", " 7138", " 7157", " 7176", " 7196"};
    EXPECT_EQ(scale.labelTexts(), expected);
    EXPECT_DOUBLE_EQ(FreqScaleView::labelX(10) - FreqScaleView::labelX(0), 1024.0);
}

} // namespace
