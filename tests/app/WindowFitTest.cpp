#include "app/CarrierWindowController.h"
#include "app/DGPSWindowController.h"
#include "app/DgpsWindows.h"
#include "app/WaterfallWindowController.h"
#include "app/WindowControl.h"
#include "app/WindowGeometry.h"

#include "IqRecordingWriter.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

TEST(WindowGeometry, FitsTheAvailableArea)
{
    const QSize allowance = WindowGeometry::kFrameAllowance;
    struct Case {
        const char* what;
        QRect available;
        QSize preferred;
        std::optional<QRect> remembered;
        QSize size; // expected
    };
    const Case cases[] = {
        {"smaller than the screen keeps its size", QRect(0, 0, 1920, 1200), QSize(1280, 800), std::nullopt,
         QSize(1280, 800)},
        {"shrunk to a 1280x800 screen", QRect(0, 0, 1280, 800), QSize(1280, 800), std::nullopt,
         QSize(1280, 800) - allowance},
        {"shrunk to a 1024x768 screen", QRect(0, 0, 1024, 768), QSize(1200, 800), std::nullopt,
         QSize(1024, 768) - allowance},
        {"a panel takes part of the screen", QRect(0, 40, 1280, 760), QSize(1100, 700), std::nullopt,
         QSize(1100, 700)},
        {"a remembered frame keeps its size", QRect(0, 0, 1920, 1200), QSize(1280, 800), QRect(100, 100, 700, 500),
         QSize(700, 500)},
        {"a remembered frame from a larger screen shrinks", QRect(1920, 0, 1024, 768), QSize(1280, 800),
         QRect(0, 0, 1800, 1100), QSize(1024, 768) - allowance},
    };
    for (const Case& c : cases) {
        const QRect placed = WindowGeometry::fitted(c.available, c.preferred, c.remembered);
        EXPECT_EQ(placed.size(), c.size) << c.what;
        const QRect frame = placed.adjusted(-allowance.width() / 2, -(allowance.height() - allowance.width() / 2),
                                            allowance.width() / 2, allowance.width() / 2);
        EXPECT_TRUE(c.available.contains(frame)) << c.what;
        if (c.remembered && c.available.contains(*c.remembered)) {
            EXPECT_EQ(placed.topLeft(), c.remembered->topLeft()) << c.what;
        }
    }
}

QScreen* ScreenNamed(const char* name)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

// Whether the widget takes part in the window's fixed layout: shown, and not
// in a scrolled area or the menu bar.
bool IsLaidOutControl(const QWidget* widget, const QWidget* window)
{
    if (!widget->isVisibleTo(window))
        return false;
    for (const QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(up) || qobject_cast<const QMenuBar*>(up) ||
            qobject_cast<const QSpinBox*>(up) || qobject_cast<const QComboBox*>(up))
            return false;
    }
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QSpinBox*>(widget) ||
           qobject_cast<const QSlider*>(widget);
}

// Every button and field inside the window, at least as wide as it needs,
// none overlapping another; the status bar shown inside the window.
void ExpectUsable(QMainWindow& window, const char* what)
{
    const QRect inside = window.rect();
    std::vector<std::pair<QWidget*, QRect>> placed;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!IsLaidOutControl(widget, &window))
            continue;
        const QRect box(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        const QString name = widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName();
        EXPECT_TRUE(inside.contains(box)) << what << ": " << name.toStdString() << " at " << box.x() << ","
                                          << box.y() << " " << box.width() << "x" << box.height();
        EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << what << ": " << name.toStdString();
        for (const auto& [other, otherBox] : placed)
            EXPECT_FALSE(box.intersects(otherBox))
                << what << ": " << name.toStdString() << " overlaps " << other->objectName().toStdString();
        placed.emplace_back(widget, box);
    }
    EXPECT_FALSE(placed.empty()) << what;
    QStatusBar* status = window.findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(status, nullptr) << what;
    EXPECT_TRUE(status->isVisible()) << what;
    EXPECT_TRUE(inside.contains(QRect(status->mapTo(&window, QPoint(0, 0)), status->size()))) << what;
    EXPECT_GE(status->height(), status->minimumSizeHint().height()) << what;
}

// Each window placed on a 1024x768 and on a 1280x800 screen, with a fixed font.
class WindowFitTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid() && folder.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        ASSERT_TRUE(writeIqRecording(QDir(folder.path()).filePath("a.wav"), 2, 48000, nullptr));
        font = QApplication::font();
        QApplication::setFont(QFont("DejaVu Sans", 9));
        screen = ScreenNamed(GetParam());
        ASSERT_NE(screen, nullptr) << "the tests' offscreen screens are missing";
    }
    void TearDown() override { QApplication::setFont(font); }

    // Places the window on the screen as it would open there, shows it and checks it.
    void check(QMainWindow& window, const char* key, QSize preferred, const char* what)
    {
        WindowGeometry::restore(&window, key, preferred, screen);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::processEvents();
        EXPECT_TRUE(screen->availableGeometry().contains(window.geometry())) << what;
        EXPECT_LE(window.minimumSizeHint().width(), window.width()) << what;
        EXPECT_LE(window.minimumSizeHint().height(), window.height()) << what;
        ExpectUsable(window, what);
    }

    QTemporaryDir settingsDir;
    QTemporaryDir folder;
    QFont font;
    QScreen* screen = nullptr;
};

TEST_P(WindowFitTest, MainWindow)
{
    WindowControl window;
    window.useRecordingFolderForSession(folder.path());
    check(window, "WindowControlAutoSaveName", QSize(1280, 800), "main window");
    // From 1280 pixels up the controls below the waterfall need no scrolling.
    const auto* strip = window.findChild<QScrollArea*>("controlsStrip");
    ASSERT_NE(strip, nullptr);
    if (screen->availableGeometry().width() >= 1280) {
        EXPECT_EQ(strip->horizontalScrollBar()->maximum(), 0);
    }
}

TEST_P(WindowFitTest, WaterfallWindow)
{
    QString problem;
    QPointer<WaterfallWindowController> window =
        WaterfallWindowController::openWindow(QDir(folder.path()).filePath("a.wav"), nullptr, problem);
    ASSERT_TRUE(window) << problem.toStdString();
    check(*window, "waterfallWindowFrame", QSize(1100, 700), "waterfall window");
    delete window;
}

TEST_P(WindowFitTest, CarrierWindow)
{
    CarrierWindowController window(folder.path(), [] { return false; });
    check(window, "carrierWindowFrame", QSize(1200, 800), "carrier window");
}

TEST_P(WindowFitTest, DgpsWindow)
{
    WindowControl main;
    QPointer<DGPSWindowController> window = DgpsWindows::of(&main)->openDGPS(folder.path());
    ASSERT_TRUE(window);
    check(*window, "dgpsWindowFrame", QSize(1180, 680), "DGPS window");
    delete window;
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowFitTest, ::testing::Values("small", "laptop"));

} // namespace
