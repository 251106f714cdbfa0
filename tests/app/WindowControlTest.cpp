#include "app/WindowControl.h"

#include "app/FFTView.h"
#include "app/FreqScaleView.h"
#include "app/SoundDeviceMenu.h"
#include "app/WaterfallWindowController.h"

#include "IqRecordingWriter.h"
#include "WaitUntil.h"
#include "support/RecordingFixtures.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

#include <memory>
#include <optional>

namespace {

// Preferences live in a temporary folder for each test; a recordings folder
// with a few files sits beside them.
class WindowControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        ASSERT_TRUE(recordingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        // Two recordings among files that are not.
        for (const char* name : {"b.wav", "A.wav", ".hidden.wav"})
            ASSERT_TRUE(writeIqRecording(pathOf(name), 1, 1000, nullptr));
        QFile notes(pathOf("notes.txt"));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("Listened to 7030 kHz at 16:40.\n");
        notes.close();
        ASSERT_TRUE(QDir(recordingsDir.path()).mkdir("sub.wav"));
        fixtures::WaveFormat mono;
        mono.channels = 1;
        mono.sampleRate = 44100;
        fixtures::TempDir::writeTo(pathOf("music.wav").toStdString(),
                                   fixtures::riffFile({{"fmt ", fixtures::fmtPayload(mono, 16)}},
                                                      std::vector<uint8_t>(88200)).bytes);
    }

    QString pathOf(const char* name) const { return QDir(recordingsDir.path()).filePath(name); }

    static QSettings preferences() { return QSettings("Korvel", "Korvel"); }

    std::unique_ptr<WindowControl> openWindow()
    {
        auto window = std::make_unique<WindowControl>();
        window->useRecordingFolderForSession(recordingsDir.path());
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // A 60-second waterfall of a 192 kHz band around 7100 kHz.
    static void drawEmptyWaterfall(WindowControl& window)
    {
        window.waterfallView()->setHeight(60);
        window.setWaterfallBand(192000.0, 7100000.0);
    }

    // Where a frequency and the start of a second lie in the view, as fitted to the window.
    static QPoint at(WindowControl& window, double kHz, double seconds)
    {
        const WaterfallViewMapping& mapping = window.waterfallView()->mapping();
        return {int(std::lround(mapping.xAt(kHz))), int(std::ceil(mapping.yAt(seconds)))};
    }
    static double kHzPerPixel(WindowControl& window)
    {
        return window.waterfallView()->bandwidthKHz() / window.waterfallView()->mapping().contentWidth();
    }

    static QString text(WindowControl& window, const char* field)
    {
        return window.findChild<QLineEdit*>(field)->text();
    }

    static void setText(WindowControl& window, const char* field, const QString& value)
    {
        window.findChild<QLineEdit*>(field)->setText(value);
    }

    static QListWidget* fileBrowser(WindowControl& window) { return window.findChild<QListWidget*>("fileBrowser"); }

    QTemporaryDir settingsDir;
    QTemporaryDir recordingsDir;
};

TEST_F(WindowControlTest, FftSizeIsNormalisedAtStartUp)
{
    const struct {
        std::optional<QVariant> stored;
        const char* shown;
    } cases[] = {
        {std::nullopt, "8192"}, {0, "8192"},          {3000, "4096"},      {500, "1024"},
        {100000, "65536"},      {1024, "1024"},       {-5, "1024"},        {qint64(1) << 40, "65536"},
        {"99999999999999999999999", "65536"},         {"not a number", "8192"},
    };
    for (const auto& c : cases) {
        QSettings settings = preferences();
        settings.clear();
        if (c.stored)
            settings.setValue("fftsize", *c.stored);
        settings.sync();
        WindowControl window;
        EXPECT_EQ(text(window, "fftLengthField"), c.shown) << (c.stored ? c.stored->toString().toStdString() : "absent");
        EXPECT_EQ(QString::number(window.fftSize()), c.shown);
    }
}

TEST_F(WindowControlTest, DbRangeDefaultsWhenBothAreZero)
{
    const struct {
        std::optional<double> minDb, maxDb;
        const char *shownMin, *shownMax;
    } cases[] = {
        {std::nullopt, std::nullopt, "-110", "-80"},
        {0, 0, "-110", "-80"},
        {-120, 0, "-120", "0"},
        {-100.7, -60.2, "-100", "-60"},
    };
    for (const auto& c : cases) {
        QSettings settings = preferences();
        settings.clear();
        if (c.minDb)
            settings.setValue("minDB", *c.minDb);
        if (c.maxDb)
            settings.setValue("maxDB", *c.maxDb);
        settings.sync();
        WindowControl window;
        EXPECT_EQ(text(window, "mindBField"), c.shownMin);
        EXPECT_EQ(text(window, "maxdBField"), c.shownMax);
    }
}

TEST_F(WindowControlTest, PreferencesAreWrittenBackWhenTheWindowCloses)
{
    {
        auto window = openWindow();
        setText(*window, "mindBField", "-125");
        setText(*window, "maxdBField", "-65.5");
        setText(*window, "fftLengthField", "3000");
        window->findChild<QAction*>("colorWaterFallMenuItem")->trigger();
        window->findChild<QAction*>("carrierTxtlMenuItem")->trigger();
        EXPECT_TRUE(window->drawsInColor());
        EXPECT_TRUE(window->writesCarrierTxt());
        window->close();
    }
    QSettings settings = preferences();
    EXPECT_EQ(settings.value("minDB").toInt(), -125);
    EXPECT_EQ(settings.value("maxDB").toInt(), -65);
    EXPECT_EQ(settings.value("fftsize").toInt(), 4096);
    EXPECT_TRUE(settings.value("drawInColor").toBool());
    EXPECT_TRUE(settings.value("writeCarriertxt").toBool());
    EXPECT_FALSE(settings.contains("PREF_REC_FOLDER")) << "a session folder is not stored";

    WindowControl again;
    EXPECT_EQ(text(again, "mindBField"), "-125");
    EXPECT_EQ(text(again, "maxdBField"), "-65");
    EXPECT_EQ(text(again, "fftLengthField"), "4096");
    EXPECT_TRUE(again.findChild<QAction*>("colorWaterFallMenuItem")->isChecked());
    EXPECT_TRUE(again.findChild<QAction*>("carrierTxtlMenuItem")->isChecked());
}

TEST_F(WindowControlTest, ChosenFolderIsStoredAndListsOnlyItsRecordingsByName)
{
    {
        WindowControl window;
        window.chooseRecordingFolder(recordingsDir.path());
        EXPECT_EQ(preferences().value("PREF_REC_FOLDER").toString(), recordingsDir.path());
    }
    WindowControl window;
    EXPECT_EQ(window.recordingFolder(), recordingsDir.path());
    // Only the recordings, by name.
    EXPECT_EQ(window.recordingFiles(), QStringList({"A.wav", "b.wav"}));
    EXPECT_EQ(fileBrowser(window)->count(), 2);
    EXPECT_EQ(fileBrowser(window)->item(0)->text(), "A.wav");

    ASSERT_TRUE(writeIqRecording(pathOf("a1.wav"), 1, 1000, nullptr));
    window.findChild<QAction*>("reloadAction")->trigger();
    EXPECT_EQ(window.recordingFiles(), QStringList({"A.wav", "a1.wav", "b.wav"}));

    window.chooseRecordingFolder(QString());
    EXPECT_EQ(window.recordingFolder(), QDir(QDir::homePath()).filePath("sdr_recordings"));
}

TEST_F(WindowControlTest, MissingFolderGivesAnEmptyList)
{
    WindowControl window;
    window.useRecordingFolderForSession(QDir(recordingsDir.path()).filePath("gone"));
    EXPECT_TRUE(window.recordingFiles().isEmpty());
    EXPECT_TRUE(window.statusText().contains("does not exist"));
    window.useRecordingFolderForSession(recordingsDir.path());
    EXPECT_EQ(window.statusText(), "") << "the message goes once a folder is listed";
}

TEST_F(WindowControlTest, ClickLoadsAndAltClickOpensAWaterfallWindow)
{
    auto window = openWindow();
    QListWidget* list = fileBrowser(*window);
    QListWidgetItem* item = list->findItems("A.wav", Qt::MatchExactly).value(0);
    ASSERT_NE(item, nullptr);
    const QPoint where = list->visualItemRect(item).center();

    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::AltModifier, where);
    const QList<WaterfallWindowController*> opened = window->findChildren<WaterfallWindowController*>();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.front()->isVisible());
    EXPECT_EQ(window->windowTitle(), "Korvel");
    delete opened.front();

    // Gone since the list was read: the click tries to load it and says why it cannot.
    ASSERT_TRUE(QFile::remove(pathOf("A.wav")));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, where);
    EXPECT_TRUE(window->statusText().startsWith("A.wav was not loaded")) << window->statusText().toStdString();

    std::unique_ptr<QMenu> menu(window->createFileContextMenu("b.wav"));
    for (QAction* action : menu->actions())
        if (action->text() == "Open in Waterfall Window")
            action->trigger();
    EXPECT_EQ(window->findChildren<WaterfallWindowController*>().size(), 1);
    EXPECT_EQ(window->windowTitle(), "Korvel");
}

TEST_F(WindowControlTest, UnusableDbRangeIsRefusedWithAMessage)
{
    const struct {
        const char *minDb, *maxDb;
    } cases[] = {{"-80", "-80"}, {"-70", "-80"}, {"low", "-80"}};
    for (const auto& c : cases) {
        auto window = openWindow();
        setText(*window, "mindBField", c.minDb);
        setText(*window, "maxdBField", c.maxDb);
        window->loadRecording("A.wav");
        EXPECT_EQ(window->windowTitle(), "Korvel");
        EXPECT_TRUE(window->statusText().contains("dB")) << window->statusText().toStdString();
    }
}

TEST_F(WindowControlTest, DragFillsTheFourSelectionFields)
{
    auto window = openWindow();
    drawEmptyWaterfall(*window);
    FFTView* view = window->waterfallView();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, at(*window, 7148, 20));
    QTest::mouseEvent(QTest::MouseMove, view, Qt::NoButton, Qt::ShiftModifier, at(*window, 7100, 15));
    QTest::mouseEvent(QTest::MouseMove, view, Qt::NoButton, Qt::ShiftModifier, at(*window, 7052, 10));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, at(*window, 7052, 10));
    EXPECT_EQ(text(*window, "startTimeField"), "10");
    EXPECT_EQ(text(*window, "endTimeField"), "20");
    EXPECT_NEAR(text(*window, "startFreqField").toDouble(), 7052.0, kHzPerPixel(*window));
    EXPECT_NEAR(text(*window, "endFreqField").toDouble(), 7148.0, kHzPerPixel(*window));
    EXPECT_EQ(text(*window, "endFreqField").size(), 9) << "%9.3f";
}

TEST_F(WindowControlTest, RightClicksSetTheFieldOfTheirModifiers)
{
    // Clicked at 7100.7 kHz, 42 s; the fields start as 5 s, 50 s, 7050, 7150 kHz.
    const struct {
        Qt::KeyboardModifiers keys;
        const char* start;
        const char* end;
        const char* low;
        const char* high;
    } cases[] = {
        {Qt::ShiftModifier, "42", "50", "7050", "7150"},
        {Qt::ControlModifier, "5", "42", "7050", "7150"},
        {Qt::AltModifier, "5", "50", "7101", "7150"},
        {Qt::MetaModifier, "5", "50", "7050", "7101"},
        {Qt::ShiftModifier | Qt::AltModifier, "0", "50", "7050", "7150"},
        {Qt::ShiftModifier | Qt::MetaModifier, "5", "60", "7050", "7150"},
        {Qt::ShiftModifier | Qt::ControlModifier, "5", "50", "7050", "7150"},
        {Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier, "5", "50", "7050", "7150"},
    };
    auto window = openWindow();
    drawEmptyWaterfall(*window);
    for (const auto& c : cases) {
        window->demodRecordingSettings({5, 50, 7050, 7150});
        for (const char* field : {"startFreqField", "endFreqField"})
            setText(*window, field, text(*window, field).trimmed().section('.', 0, 0));
        QTest::mouseClick(window->waterfallView(), Qt::RightButton, c.keys, at(*window, 7100.7, 42));
        EXPECT_EQ(text(*window, "startTimeField"), c.start) << int(c.keys);
        EXPECT_EQ(text(*window, "endTimeField"), c.end) << int(c.keys);
        EXPECT_EQ(text(*window, "startFreqField"), c.low) << int(c.keys);
        EXPECT_EQ(text(*window, "endFreqField"), c.high) << int(c.keys);
        EXPECT_EQ(window->selectionStartSecond(), QString(c.start).toInt());
        EXPECT_EQ(window->selectionEndSecond(), QString(c.end).toInt());
        EXPECT_TRUE(window->waterfallView()->hasSelection());
    }
}

TEST_F(WindowControlTest, EditedFieldsPlaceTheSelectionAndARightClickBeforeOneFillsItsField)
{
    auto window = openWindow();
    drawEmptyWaterfall(*window);
    QTest::mouseClick(window->waterfallView(), Qt::RightButton, Qt::ShiftModifier, at(*window, 7100.7, 42));
    EXPECT_EQ(text(*window, "startTimeField"), "42");
    EXPECT_EQ(text(*window, "endTimeField"), "");
    EXPECT_FALSE(window->waterfallView()->hasSelection());

    setText(*window, "endTimeField", "50");
    setText(*window, "startFreqField", "7052");
    setText(*window, "endFreqField", "7148");
    emit window->findChild<QLineEdit*>("endFreqField")->editingFinished();
    EXPECT_EQ(window->selectionStartSecond(), 42);
    EXPECT_EQ(window->selectionEndSecond(), 50);
    EXPECT_TRUE(window->waterfallView()->hasSelection());

    // Text that is not a number places nothing; what was placed stays.
    setText(*window, "startTimeField", "soon");
    emit window->findChild<QLineEdit*>("startTimeField")->editingFinished();
    EXPECT_EQ(window->selectionStartSecond(), 42);
}

TEST_F(WindowControlTest, PlainRightClickPlacesTheTypedSelectionAndOffersTheMenu)
{
    auto window = openWindow();
    drawEmptyWaterfall(*window);
    window->demodRecordingSettings({10, 20, 7052, 7148});
    QTest::mouseClick(window->waterfallView(), Qt::RightButton, Qt::NoModifier, at(*window, 7100.7, 42));
    const WaterfallViewMapping& mapping = window->waterfallView()->mapping();
    EXPECT_EQ(window->waterfallView()->selectionFrame(),
              QRectF(QPointF(mapping.xAt(7052), mapping.yAt(10)), QPointF(mapping.xAt(7148), mapping.yAt(20)))
                  .adjusted(1, 1, -1, -1));
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    for (QAction* action : popup->actions())
        if (action->text().startsWith("End at End of Recording"))
            action->trigger();
    popup->close();
    EXPECT_EQ(text(*window, "endTimeField"), "60");
}

TEST_F(WindowControlTest, ControlsOfLaterWorkStartDisabled)
{
    auto window = openWindow();
    for (const char* name : {"playbutton", "pausebutton", "loopButton", "p10SecButton", "p30SecButton", "p60SecButton",
                             "p5MinButton", "m10SecButton", "m30SecButton", "m60SecButton", "m5MinButton",
                             "demodFileButton", "timestampedDemodFileButton"}) {
        auto* button = window->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_FALSE(button->isEnabled()) << name;
    }
    EXPECT_TRUE(window->findChild<QAbstractButton*>("playbutton")->isCheckable());
    EXPECT_TRUE(window->findChild<QAbstractButton*>("pausebutton")->isCheckable());
    EXPECT_TRUE(window->findChild<QSlider*>("volumeSlider")->isEnabled());
    QMenu* outputDevices = window->soundDevices()->menu();
    ASSERT_FALSE(outputDevices->actions().isEmpty());
    EXPECT_EQ(outputDevices->actions().first()->text(), "Default Output Device");
    EXPECT_TRUE(outputDevices->actions().first()->isChecked());
    for (const char* name : {"startTimeField", "endTimeField", "startFreqField", "endFreqField", "pbtField",
                             "mindBField", "maxdBField", "fftLengthField"})
        EXPECT_TRUE(window->findChild<QLineEdit*>(name)->isEnabled()) << name;
    EXPECT_TRUE(window->findChild<QLineEdit*>("signalLevelField")->isReadOnly());
    for (const char* name : {"theAudioSpectrumView", "spectrumView"})
        EXPECT_NE(window->findChild<QWidget*>(name), nullptr) << name;

    QStringList modes;
    auto* modePopup = window->findChild<QComboBox*>("modePopup");
    for (int i = 0; i < modePopup->count(); ++i)
        modes << modePopup->itemText(i);
    EXPECT_EQ(modes, QStringList({"AM", "SAM", "FM", "WFM", "USB", "LSB", "CWU", "CWL", "None"}));
}

TEST_F(WindowControlTest, BandOfNoWidthIsReportedAndLeavesNoScale)
{
    auto window = openWindow();
    drawEmptyWaterfall(*window);
    EXPECT_FALSE(window->frequencyScaleView()->labelTexts().isEmpty());
    window->setWaterfallBand(0.0, 7100000.0);
    EXPECT_TRUE(window->frequencyScaleView()->labelTexts().isEmpty());
    EXPECT_FALSE(window->statusText().isEmpty());
    window->demodRecordingSettings({10, 20, 7052, 7148});
    QTest::mouseClick(window->waterfallView(), Qt::RightButton, Qt::ShiftModifier, at(*window, 7100.7, 42));
    EXPECT_FALSE(window->waterfallView()->hasSelection());
}

TEST_F(WindowControlTest, TypedFftLengthIsNormalised)
{
    auto window = openWindow();
    auto* field = window->findChild<QLineEdit*>("fftLengthField");
    field->setText("5000");
    emit field->editingFinished();
    EXPECT_EQ(field->text(), "8192");
    EXPECT_EQ(window->fftSize(), 8192);
    field->setText("nonsense");
    emit field->editingFinished();
    EXPECT_EQ(field->text(), "8192");
}

TEST_F(WindowControlTest, ScaleStaysOverItsColumnsWhenScrolledAcross)
{
    auto window = openWindow();
    drawEmptyWaterfall(*window);
    auto* scroller = window->findChild<QScrollArea*>("scrollingView");
    window->waterfallView()->setPicture(std::make_shared<WaterfallPicture>(60, 8192, 192000.0));
    scroller->setFixedWidth(500);
    QApplication::processEvents();
    window->findChild<QAction*>("zoomInAction")->trigger();
    QApplication::processEvents();
    QScrollBar* across = scroller->horizontalScrollBar();
    ASSERT_GT(across->maximum(), 0);
    const auto& ticks = window->frequencyScaleView()->ticks();
    ASSERT_GE(ticks.size(), 3u);
    for (int value : {0, across->maximum() / 2, across->maximum()}) {
        across->setValue(value);
        QApplication::processEvents();
        for (size_t k : {size_t(0), ticks.size() / 2, ticks.size() - 1}) {
            const int x = int(ticks[k].position);
            const QPoint label = window->frequencyScaleView()->mapTo(window.get(), QPoint(FreqScaleView::kSideMargin + x, 0));
            const QPoint column = window->waterfallView()->mapTo(window.get(), QPoint(x, 0));
            EXPECT_EQ(label.x(), column.x()) << "scrolled to " << value << ", tick " << k;
        }
    }
}

} // namespace

// Made as small as it goes, the window still shows every caption and field
// whole and apart, and a file list of several rows; it fits a 1366 x 768 screen.
TEST_F(WindowControlTest, AtItsSmallestSizeEverythingStaysLegible)
{
    auto window = openWindow();
    window->resize(800, 500);
    QTest::qWait(20);
    EXPECT_LE(window->width(), 1366);
    EXPECT_LE(window->height(), 720);

    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isVisible() && (qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
                               qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w)) &&
            !qobject_cast<QLabel*>(w->parentWidget()))
            controls << w;
    }
    auto frame = [&](QWidget* w) { return QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size()); };
    for (QWidget* w : controls) {
        auto* label = qobject_cast<QLabel*>(w);
        if (label && !label->text().isEmpty() && label->objectName() != "statusField") {
            EXPECT_GE(label->width(), label->minimumSizeHint().width()) << label->text().toStdString();
        }
        for (QWidget* other : controls) {
            if (other != w && !w->isAncestorOf(other) && !other->isAncestorOf(w)) {
                EXPECT_FALSE(frame(w).intersects(frame(other)))
                    << w->objectName().toStdString() << " " << w->metaObject()->className() << " overlaps "
                    << other->objectName().toStdString() << " " << other->metaObject()->className();
            }
        }
    }
    QListWidget* files = fileBrowser(*window);
    EXPECT_GE(files->viewport()->height(), 6 * files->fontMetrics().lineSpacing());
}

// Each recording loaded starts from levels measured on it, unless Pin keeps
// the levels shown; measured levels are not stored as the next session's.
TEST_F(WindowControlTest, LevelsFollowEachRecordingUnlessPinned)
{
    // Noise of two strengths some 30 dB apart.
    for (const auto& [name, amplitude] : {std::pair{"quiet.wav", 100.0}, std::pair{"loud.wav", 3000.0}}) {
        uint32_t state = 12345;
        ASSERT_TRUE(writeIqRecording(pathOf(name), 40, 8000, [&state, amplitude = amplitude](int64_t) {
            const auto next = [&state] {
                state = state * 1664525u + 1013904223u;
                return (static_cast<double>(state >> 8) / (1 << 24)) - 0.5;
            };
            return std::pair{amplitude * next(), amplitude * next()};
        }));
    }
    auto window = openWindow();
    setText(*window, "mindBField", "-150");
    setText(*window, "maxdBField", "-140");
    window->findChild<QLineEdit*>("maxdBField")->editingFinished();
    const auto loadAndWait = [&](const char* name) {
        window->loadRecording(name);
        EXPECT_TRUE(waitUntil([&] { return !window->isDrawingWaterfall(); }));
        return std::pair{text(*window, "mindBField").toInt(), text(*window, "maxdBField").toInt()};
    };
    const auto quiet = loadAndWait("quiet.wav");
    const auto loud = loadAndWait("loud.wav");
    EXPECT_GT(quiet.first, -150) << "the levels typed gave way to those measured";
    EXPECT_NEAR(loud.first - quiet.first, 30, 4);
    EXPECT_EQ(window->waterfallView()->minDb(), loud.first);

    window->savePreferences();
    EXPECT_EQ(preferences().value("minDB").toInt(), -150) << "measured levels are not stored";
    EXPECT_EQ(preferences().value("maxDB").toInt(), -140);

    window->findChild<QCheckBox*>("pinLevelsBox")->setChecked(true);
    EXPECT_EQ(loadAndWait("quiet.wav"), loud) << "pinned levels stay";
    window->savePreferences();
    EXPECT_EQ(preferences().value("minDB").toInt(), loud.first) << "pinned levels are stored";
    EXPECT_TRUE(preferences().value("pinLevels").toBool());
}

// Listing the folder again keeps the loaded recording chosen in the list;
// Ctrl+O asks for a recording, not for a folder.
TEST_F(WindowControlTest, ReloadKeepsTheLoadedRecordingChosen)
{
    auto window = openWindow();
    window->openRecordingFile(pathOf("b.wav"));
    ASSERT_TRUE(waitUntil([&] { return !window->isDrawingWaterfall(); }));
    ASSERT_TRUE(writeIqRecording(pathOf("a1.wav"), 1, 1000, nullptr));
    window->findChild<QAction*>("reloadAction")->trigger();
    QListWidget* files = fileBrowser(*window);
    ASSERT_NE(files->currentItem(), nullptr);
    EXPECT_EQ(files->currentItem()->text(), "b.wav");
    EXPECT_TRUE(files->currentItem()->isSelected());

    EXPECT_EQ(window->findChild<QAction*>("openRecordingAction")->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_NE(window->findChild<QAction*>("chooseFolderAction")->shortcut(), QKeySequence(QKeySequence::Open));
}
