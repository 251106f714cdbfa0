#include "app/WaterfallView.h"
#include "app/WaterfallWindowController.h"
#include "app/WindowControl.h"
#include "recording/RecordingObject.h"
#include "waterfall/WaterfallLevels.h"
#include "waterfall/WaterfallWindowSession.h"

#include "IqRecordingWriter.h"
#include "WaitUntil.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <numbers>

namespace {

constexpr const char* kFortyMetres = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";
constexpr const char* kEightyMetres = "SDRSharp_20150607_080910Z_3600000Hz_IQ.wav";

int threadsOfProcess()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

// A main window listing a folder of three 48 kS/s recordings: two with a
// tone (at +12 kHz on 40 m, at -8 kHz on 80 m) and one the main window plays.
class WaterfallWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid() && folder.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        ASSERT_TRUE(writeTone(kFortyMetres, 12000.0));
        ASSERT_TRUE(writeTone(kEightyMetres, -8000.0));
        ASSERT_TRUE(writeIqRecording(pathOf("main.wav"), 2, 48000, nullptr));
        window = std::make_unique<WindowControl>();
        window->useRecordingFolderForSession(folder.path());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    bool writeTone(const char* name, double offsetHz)
    {
        return writeIqRecording(pathOf(name), 3, 48000, [offsetHz](int64_t k) {
            const double phase = 2.0 * std::numbers::pi * std::fmod(offsetHz * k / 48000.0, 1.0);
            return std::pair{12000.0 * std::cos(phase), 12000.0 * std::sin(phase)};
        });
    }

    QString pathOf(const char* name) const { return QDir(folder.path()).filePath(name); }

    // Opens `name` from the main window as Alt-click and the context menu do.
    WaterfallWindowController* openFromMainWindow(const char* name)
    {
        const auto before = window->findChildren<WaterfallWindowController*>();
        window->loadRecordingAsWaterfall(name);
        for (WaterfallWindowController* opened : window->findChildren<WaterfallWindowController*>())
            if (!before.contains(opened))
                return opened;
        return nullptr;
    }

    static QLineEdit* field(QWidget* w, const char* name) { return w->findChild<QLineEdit*>(name); }
    static QString status(WaterfallWindowController* w) { return w->statusText(); }
    // The drawing ended and the window has taken its end (levels, messages).
    static bool drawn(WaterfallWindowController* w)
    {
        return waitUntil([w] {
            return !w->session().isDrawing() && !w->findChild<QProgressBar*>("progressBar")->isVisible();
        });
    }

    // Moves the pointer over the picture row showing `kHz` in column 5.
    static void pointAt(WaterfallWindowController* w, double kHz)
    {
        const auto& layout = *w->session().layout();
        const double y = ((kHz - layout.lowKHz) / (layout.highKHz - layout.lowKHz)) * layout.height;
        auto* view = w->findChild<WaterfallView*>("waterfallView");
        QTest::mouseMove(view, QPoint(5, static_cast<int>(y)));
        emit view->pointerMoved(QPointF(5.5, y));
    }

    QTemporaryDir settingsDir;
    QTemporaryDir folder;
    std::unique_ptr<WindowControl> window;
};

TEST_F(WaterfallWindowTest, OpensWithTheDefaultsAndItsTitle)
{
    WaterfallWindowController* w = openFromMainWindow(kFortyMetres);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "7076 - 7124 kHz   02-Jan-2014 03:04:05");
    // The recording's whole band from its start.
    const std::pair<const char*, const char*> defaults[] = {
        {"fftSizeField", "65536"}, {"centerFreqField", "7100"}, {"freqSpanField", "48"},
        {"startTimeField", "0"},   {"linesPerSecondField", "50"},
    };
    for (const auto& [name, text] : defaults)
        EXPECT_EQ(field(w, name)->text(), text) << name;
    EXPECT_FALSE(w->findChild<QCheckBox*>("zoomCheckBox")->isChecked());
    ASSERT_TRUE(drawn(w));
    EXPECT_EQ(w->session().layout()->height, 1440);
    EXPECT_EQ(w->session().columnsDone(), w->session().layout()->width);
    EXPECT_EQ(w->findChild<WaterfallView*>("waterfallView")->size(),
              QSize(w->session().layout()->width, 1440));
    // Levels measured from the picture, not the stored ones.
    const std::optional<WaterfallLevels::Range> measured = w->session().measuredLevels();
    ASSERT_TRUE(measured);
    EXPECT_EQ(field(w, "minDbField")->text(), QString::number(measured->minDb));
    EXPECT_EQ(field(w, "maxDbField")->text(), QString::number(measured->maxDb));

    // Closing stores the FFT size and lines per second for the next window;
    // where to look is each window's own.
    field(w, "linesPerSecondField")->setText("25");
    field(w, "startTimeField")->setText("1.5");
    QPointer<WaterfallWindowController> closing = w;
    w->close();
    ASSERT_TRUE(waitUntil([&] { return closing.isNull(); }));
    EXPECT_EQ(QSettings("Korvel", "Korvel").value("waterfall_window_linesPerSecondField").toInt(), 25);
    WaterfallWindowController* again = openFromMainWindow(kEightyMetres);
    ASSERT_TRUE(again);
    EXPECT_EQ(field(again, "linesPerSecondField")->text(), "25");
    EXPECT_EQ(field(again, "startTimeField")->text(), "0");
    EXPECT_EQ(field(again, "centerFreqField")->text(), "3600");
    again->close();
}

// Two windows keep their own fields; a centre is kept as typed, and a span
// zoomed to fills the picture's height.
TEST_F(WaterfallWindowTest, FieldsBelongToTheirWindowAndZoomFillsTheView)
{
    WaterfallWindowController* first = openFromMainWindow(kFortyMetres);
    WaterfallWindowController* second = openFromMainWindow(kFortyMetres);
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(drawn(first) && drawn(second));
    field(first, "startTimeField")->setText("1");
    field(first, "centerFreqField")->setText("7112.75");
    field(first, "freqSpanField")->setText("3");
    first->findChild<QCheckBox*>("zoomCheckBox")->setChecked(true);
    first->updateButtonPress();
    ASSERT_TRUE(drawn(first));
    EXPECT_EQ(field(first, "centerFreqField")->text(), "7112.75");
    EXPECT_EQ(field(second, "centerFreqField")->text(), "7100");
    EXPECT_EQ(field(second, "startTimeField")->text(), "0");
    const auto* view = first->findChild<QScrollArea*>("scrollView")->viewport();
    EXPECT_GE(first->session().layout()->height, view->height());
    EXPECT_DOUBLE_EQ(first->session().layout()->lowKHz, 7111.25);
    EXPECT_DOUBLE_EQ(first->session().layout()->highKHz, 7114.25);
    first->close();
    second->close();
}

// On a 1024-pixel screen every field and button shows whole.
TEST_F(WaterfallWindowTest, FitsASmallScreen)
{
    WaterfallWindowController* w = openFromMainWindow(kFortyMetres);
    ASSERT_TRUE(w);
    w->resize(1024, 600);
    QTest::qWait(20);
    EXPECT_LE(w->width(), 1024);
    for (QWidget* control : w->findChildren<QWidget*>()) {
        if (!control->isVisible() || !(qobject_cast<QLineEdit*>(control) || qobject_cast<QAbstractButton*>(control)))
            continue;
        const QRect frame(control->mapTo(w, QPoint(0, 0)), control->size());
        EXPECT_LE(frame.right(), w->width()) << control->objectName().toStdString();
        EXPECT_GE(control->width(), control->minimumSizeHint().width()) << control->objectName().toStdString();
    }
    w->close();
}

TEST_F(WaterfallWindowTest, TwoWindowsAndTheMainWindowKeepTheirOwnRecordings)
{
    QSettings("Korvel", "Korvel").setValue("waterfall_window_fftSizeField", 8192);
    window->loadRecording("main.wav");
    const std::string mainPath = window->recording()->path();
    const QString mainTitle = window->windowTitle();

    WaterfallWindowController* forty = openFromMainWindow(kFortyMetres);
    WaterfallWindowController* eighty = openFromMainWindow(kEightyMetres);
    ASSERT_TRUE(forty && eighty);
    EXPECT_EQ(eighty->windowTitle(), "3576 - 3624 kHz   07-Jun-2015 08:09:10");
    EXPECT_EQ(window->recording()->path(), mainPath);
    EXPECT_EQ(window->windowTitle(), mainTitle);
    ASSERT_TRUE(drawn(forty) && drawn(eighty));

    // Each reads out its own picture: the tone there is strong, elsewhere the floor.
    pointAt(forty, 7112.0);
    pointAt(eighty, 3592.0);
    EXPECT_TRUE(status(forty).startsWith(" 7112")) << status(forty).toStdString();
    EXPECT_TRUE(status(forty).contains("02-Jan-2014 03:04:05")) << status(forty).toStdString();
    EXPECT_TRUE(status(eighty).startsWith(" 3592")) << status(eighty).toStdString();
    EXPECT_TRUE(status(eighty).contains("07-Jun-2015 08:09:10")) << status(eighty).toStdString();
    const auto levelAtPointer = [](WaterfallWindowController* w, double kHz) {
        const auto& layout = *w->session().layout();
        const int y = static_cast<int>((kHz - layout.lowKHz) / (layout.highKHz - layout.lowKHz) * layout.height);
        double best = -1000.0;
        for (int dy = -3; dy <= 3; ++dy)
            best = std::max(best, w->session().levelAt(5, y + dy).value_or(-1000.0));
        return best;
    };
    EXPECT_GT(levelAtPointer(forty, 7112.0), levelAtPointer(forty, 7092.0) + 40.0);
    EXPECT_GT(levelAtPointer(eighty, 3592.0), levelAtPointer(eighty, 3612.0) + 40.0);

    // Drawing one again leaves the other as it is.
    field(forty, "linesPerSecondField")->setText("10");
    forty->findChild<QPushButton*>("updateButton")->click();
    EXPECT_EQ(eighty->session().layout()->linesPerSecond, 50);
    ASSERT_TRUE(drawn(forty));
    EXPECT_EQ(forty->session().layout()->linesPerSecond, 10);
    forty->close();
    eighty->close();
}

TEST_F(WaterfallWindowTest, BadFieldsAreReportedAndPagingMoves)
{
    WaterfallWindowController* w = openFromMainWindow(kFortyMetres);
    ASSERT_TRUE(w && drawn(w));
    auto* update = w->findChild<QPushButton*>("updateButton");

    const QByteArray maxDb = field(w, "maxDbField")->text().toLatin1();
    const std::pair<const char*, const char*> bad[] = {
        {"minDbField", maxDb.constData()}, // equal to max
        {"linesPerSecondField", "1e9"},
        {"startTimeField", "3"},
        {"fftSizeField", "12x"},
    };
    for (const auto& [name, text] : bad) {
        const QString kept = field(w, name)->text();
        field(w, name)->setText(text);
        update->click();
        EXPECT_FALSE(status(w).isEmpty()) << name;
        EXPECT_FALSE(w->session().isDrawing()) << name;
        field(w, name)->setText(kept);
    }
    field(w, "linesPerSecondField")->setText("0");
    update->click();
    EXPECT_EQ(field(w, "linesPerSecondField")->text(), "10");
    field(w, "fftSizeField")->setText("5000");
    update->click();
    EXPECT_EQ(field(w, "fftSizeField")->text(), "8192");
    EXPECT_TRUE(status(w).contains("rounded up to 8192")) << status(w).toStdString();
    ASSERT_TRUE(drawn(w));

    // A picture shows more than the 3 s recorded: forward refuses, back stays at 0.
    w->findChild<QPushButton*>("plusStartTimeButton")->click();
    EXPECT_EQ(status(w), "The recording ends at 3 s");
    field(w, "linesPerSecondField")->setText("1000");
    field(w, "startTimeField")->setText("2");
    w->findChild<QPushButton*>("minusStartTimeButton")->click();
    const double shown = w->session().layout()->width / 1000.0;
    EXPECT_DOUBLE_EQ(field(w, "startTimeField")->text().toDouble(), std::max(0.0, 2.0 - 0.75 * shown));
    w->close();
}

// Auto takes Min and Max from the picture and shows them at once, without
// drawing again.
TEST_F(WaterfallWindowTest, AutoLevelsComeFromThePicture)
{
    WaterfallWindowController* w = openFromMainWindow(kFortyMetres);
    ASSERT_TRUE(w && drawn(w));
    const std::optional<WaterfallLevels::Range> measured = w->session().measuredLevels();
    ASSERT_TRUE(measured);
    w->findChild<QPushButton*>("autoLevelsButton")->click();
    EXPECT_EQ(field(w, "minDbField")->text(), QString::number(measured->minDb));
    EXPECT_EQ(field(w, "maxDbField")->text(), QString::number(measured->maxDb));
    EXPECT_FALSE(w->session().isDrawing());
    EXPECT_EQ(w->session().layout()->minDb, measured->minDb);
    EXPECT_TRUE(status(w).startsWith("Levels ")) << status(w).toStdString();
    w->close();
}

TEST_F(WaterfallWindowTest, ClosingDuringADrawingLeavesNoThread)
{
    const int threadsBefore = threadsOfProcess();
    QSettings settings("Korvel", "Korvel");
    settings.setValue("waterfall_window_fftSizeField", 1048576);
    settings.setValue("waterfall_window_linesPerSecondField", 2000);
    QPointer<WaterfallWindowController> w = openFromMainWindow(kFortyMetres);
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->session().isDrawing());
    EXPECT_GT(threadsOfProcess(), threadsBefore);
    w->close();
    EXPECT_TRUE(waitUntil([&] { return w.isNull(); }));
    EXPECT_EQ(threadsOfProcess(), threadsBefore);
}

TEST_F(WaterfallWindowTest, NoRecordingOpensNoWindow)
{
    QFile notes(pathOf("notes.wav"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a recording\n");
    notes.close();
    EXPECT_FALSE(openFromMainWindow("notes.wav"));
    EXPECT_TRUE(window->statusText().startsWith("notes.wav: ")) << window->statusText().toStdString();
}

} // namespace
