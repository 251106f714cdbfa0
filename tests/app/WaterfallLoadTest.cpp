#include "app/FFTView.h"
#include "app/WaterfallScrollArea.h"
#include "app/WindowControl.h"
#include "recording/RecordingObject.h"

#include "IqRecordingWriter.h"
#include "support/ReadFault.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QAction>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// A recording of 48,000 samples per second around 7100 kHz holding one tone.
void writeToneRecording(const QString& path, int seconds, double toneOffsetHz, bool sparse = false)
{
    constexpr uint32_t rate = 48000;
    auto tone = [toneOffsetHz](int64_t k) {
        const double phase = 2.0 * std::numbers::pi * toneOffsetHz * static_cast<double>(k) / rate;
        return std::pair{8000.0 * std::cos(phase), 8000.0 * std::sin(phase)};
    };
    ASSERT_TRUE(writeIqRecording(path, seconds, rate, sparse ? nullptr : std::function(tone)));
}

class WaterfallLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        ASSERT_TRUE(recordings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        window.useRecordingFolderForSession(recordings.path());
        // These draw with the levels the fields show, not levels measured on each recording.
        window.findChild<QCheckBox*>("pinLevelsBox")->setChecked(true);
        window.show();
    }

    QString pathOf(const QString& name) const { return QDir(recordings.path()).filePath(name); }

    bool loadAndWait(const QString& name)
    {
        QSignalSpy finished(&window, &WindowControl::waterfallFinished);
        window.loadRecording(name);
        return finished.wait(20000) && finished.first().first().toBool();
    }

    QTemporaryDir settingsDir;
    QTemporaryDir recordings;
    WindowControl window;
};

const char* kToneName = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";

TEST_F(WaterfallLoadTest, DrawsEveryLineWithTheToneInItsColumn)
{
    // +12 kHz of a 48 kHz band lies three quarters of the way across: column 768.
    writeToneRecording(pathOf(kToneName), 12, 12000.0);
    ASSERT_TRUE(loadAndWait(kToneName)) << window.statusText().toStdString();

    const QImage bitmap = window.waterfallView()->bandImage(1024);
    ASSERT_EQ(bitmap.height(), 12);
    EXPECT_EQ(window.windowTitle(), kToneName);
    EXPECT_FALSE(window.isDrawingWaterfall());
    EXPECT_FALSE(window.infoLines().isEmpty());
    for (int line = 0; line < bitmap.height(); ++line) {
        int brightest = -1;
        int best = -1;
        for (int x = 0; x < bitmap.width(); ++x) {
            const QRgb p = bitmap.pixel(x, line);
            const int level = qRed(p) + qGreen(p) + qBlue(p);
            if (level > best) {
                best = level;
                brightest = x;
            }
        }
        EXPECT_NEAR(brightest, 768, 1) << "line " << line;
    }
}

// The README starts the app with a folder relative to where it stands; the
// waterfall worker must read the same file as the window.
TEST_F(WaterfallLoadTest, FolderGivenRelativeToTheCurrentDirectoryIsDrawn)
{
    writeToneRecording(pathOf(kToneName), 3, 3000.0);
    const QString before = QDir::currentPath();
    QDir parent(recordings.path());
    parent.cdUp();
    ASSERT_TRUE(QDir::setCurrent(parent.path()));
    window.useRecordingFolderForSession(QDir(recordings.path()).dirName());
    ASSERT_TRUE(QDir::setCurrent(before));

    EXPECT_TRUE(QDir::isAbsolutePath(window.recordingFolder())) << window.recordingFolder().toStdString();
    EXPECT_TRUE(window.recordingFiles().contains(kToneName));
    EXPECT_TRUE(loadAndWait(kToneName)) << window.statusText().toStdString();
}

TEST_F(WaterfallLoadTest, RefusedFileKeepsTheWaterfallAndSaysWhy)
{
    writeToneRecording(pathOf(kToneName), 5, 3000.0);
    ASSERT_TRUE(loadAndWait(kToneName));
    const QImage before = window.waterfallView()->bandImage(1024);

    QFile junk(pathOf("notes.txt"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a recording at all");
    junk.close();
    window.loadRecording("notes.txt");
    EXPECT_TRUE(window.statusText().startsWith("notes.txt was not loaded: Unsupported recording"))
        << window.statusText().toStdString();
    EXPECT_EQ(window.windowTitle(), kToneName);
    EXPECT_EQ(window.waterfallView()->bandImage(1024), before);
    ASSERT_NE(window.recording(), nullptr);
    EXPECT_EQ(window.recording()->parameters().mNumSeconds, 5);

    window.loadRecording("missing.wav");
    EXPECT_TRUE(window.statusText().contains("missing.wav was not loaded")) << window.statusText().toStdString();
    EXPECT_EQ(window.waterfallView()->bandImage(1024), before);
}

// Rows drawn from a failed read would repeat the last one: the drawing stops
// there and says why.
TEST_F(WaterfallLoadTest, AReadErrorStopsTheDrawingAndSaysWhy)
{
    writeToneRecording(pathOf(kToneName), 5, 3000.0);
    const uint64_t secondThree = 44 + 3ull * 48000 * 4;
    const ReadFault fault(kToneName, secondThree);
    EXPECT_FALSE(loadAndWait(kToneName));
    EXPECT_EQ(window.statusText(), QString("%1 could not be read to the end: read error at byte %2: Input/output error")
                                       .arg(kToneName)
                                       .arg(secondThree));
}

TEST_F(WaterfallLoadTest, AnotherClickAbandonsTheRunningDrawing)
{
    // An hour of holes takes long enough to still be drawing at the next click.
    writeToneRecording(pathOf("SDRSharp_20140102_030405Z_7000000Hz_long.wav"), 3600, 0.0, true);
    writeToneRecording(pathOf(kToneName), 4, 5000.0);
    QSignalSpy finished(&window, &WindowControl::waterfallFinished);
    window.loadRecording("SDRSharp_20140102_030405Z_7000000Hz_long.wav");
    EXPECT_TRUE(window.isDrawingWaterfall());
    window.loadRecording(kToneName);
    ASSERT_TRUE(finished.wait(20000));
    QTest::qWait(200);
    EXPECT_EQ(finished.count(), 1) << "the abandoned run reports nothing";
    EXPECT_EQ(window.waterfallView()->rows(), 4);
    EXPECT_EQ(window.windowTitle(), kToneName);
}

TEST_F(WaterfallLoadTest, CommandLinePictureMatchesTheWindow)
{
    writeToneRecording(pathOf(kToneName), 6, -7000.0);
    for (bool colour : {true, false}) {
        SCOPED_TRACE(colour ? "colour" : "grey");
        if (window.drawsInColor() != colour)
            window.findChild<QAction*>("colorWaterFallMenuItem")->trigger();
        window.findChild<QLineEdit*>("mindBField")->setText("-100");
        window.findChild<QLineEdit*>("maxdBField")->setText("-40");
        ASSERT_TRUE(loadAndWait(kToneName));

        const QString png = QDir(recordings.path()).filePath("picture.png");
        QStringList args{"waterfall", pathOf(kToneName), "-o", png, "--fft-size", QString::number(window.fftSize()),
                         "--min-db", "-100", "--max-db", "-40"};
        if (!colour)
            args << "--grey";
        QProcess cli;
        cli.start(KORVEL_CLI_PATH, args);
        ASSERT_TRUE(cli.waitForFinished(30000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

        const QImage fromCli = QImage(png).convertToFormat(QImage::Format_RGBA8888);
        const QImage fromWindow = window.waterfallView()->bandImage(1024).convertToFormat(QImage::Format_RGBA8888);
        ASSERT_EQ(fromCli.size(), fromWindow.size());
        EXPECT_EQ(fromCli, fromWindow);
    }
}

// A burst from 0.70 to 0.75 s into second 1 at +12 kHz (column 768): the
// plain rows miss it; View > Whole Second (Peak Hold) draws again at once with
// it in its row and column, pixel for pixel as korvel-cli --peak-hold, and is
// kept as a preference.
TEST_F(WaterfallLoadTest, WholeSecondShowsABurstLateInTheSecondAndMatchesTheCommandLine)
{
    ASSERT_TRUE(writeIqRecording(pathOf(kToneName), 3, 48000, [](int64_t k) {
        const bool on = k >= 48000 + 33600 && k < 48000 + 36000;
        const double phase = 2.0 * std::numbers::pi * 12000.0 * static_cast<double>(k) / 48000;
        return on ? std::pair{8000.0 * std::cos(phase), 8000.0 * std::sin(phase)} : std::pair{0.0, 0.0};
    }));
    if (window.drawsInColor())
        window.findChild<QAction*>("colorWaterFallMenuItem")->trigger();
    auto* wholeSecond = window.findChild<QAction*>("wholeSecondMenuItem");
    ASSERT_TRUE(wholeSecond);
    ASSERT_FALSE(wholeSecond->isChecked());
    ASSERT_TRUE(loadAndWait(kToneName));
    auto burstBrightness = [&] { return qGray(window.waterfallView()->bandImage(1024).pixel(768, 1)); };
    EXPECT_EQ(burstBrightness(), 0);

    QSignalSpy finished(&window, &WindowControl::waterfallFinished);
    wholeSecond->trigger();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_GT(burstBrightness(), 200);
    EXPECT_EQ(qGray(window.waterfallView()->bandImage(1024).pixel(768, 0)), 0);

    const QString png = QDir(recordings.path()).filePath("picture.png");
    QProcess cli;
    cli.start(KORVEL_CLI_PATH, {"waterfall", pathOf(kToneName), "-o", png, "--fft-size",
                                QString::number(window.fftSize()), "--min-db", window.findChild<QLineEdit*>("mindBField")->text(),
                                "--max-db", window.findChild<QLineEdit*>("maxdBField")->text(), "--grey", "--peak-hold"});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGBA8888),
              window.waterfallView()->bandImage(1024).convertToFormat(QImage::Format_RGBA8888));

    window.savePreferences();
    EXPECT_TRUE(QSettings("Korvel", "Korvel").value("wholeSecondPeakHold").toBool());
}

// At every zoom, the pointer on the tone reads the tone's frequency and its
// level, and the tone is drawn under it; panning keeps it at its frequency.
TEST_F(WaterfallLoadTest, ZoomAndPanKeepTheToneUnderThePointersReadout)
{
    writeToneRecording(pathOf(kToneName), 4, 12000.0);
    ASSERT_TRUE(loadAndWait(kToneName)) << window.statusText().toStdString();
    // A range wide enough that only the tone's own column is drawn brightest.
    window.findChild<QLineEdit*>("maxdBField")->setText("0");
    emit window.findChild<QLineEdit*>("maxdBField")->editingFinished();
    FFTView* view = window.waterfallView();
    auto* scroller = window.findChild<WaterfallScrollArea*>("scrollingView");
    QScrollBar* across = scroller->horizontalScrollBar();
    const auto kHzIn = [](const QString& readout) { return readout.section(' ', 0, 0).toDouble(); };
    const auto levelIn = [](const QString& readout) { return readout.section("   ", -1).chopped(3).toDouble(); };

    for (int zoom = 0; zoom < 12; ++zoom) {
        const WaterfallViewMapping& mapping = view->mapping();
        const double kHzPerPixel = mapping.bandwidthKHz() / mapping.contentWidth();
        const QPoint tone(int(std::lround(mapping.xAt(7112.0))), int(mapping.yAt(1.5)));
        const QString readout = view->readoutAt(tone);
        EXPECT_NEAR(kHzIn(readout), 7112.0, kHzPerPixel + 0.003) << readout.toStdString();
        EXPECT_TRUE(readout.contains("0:00:01  03:04:06 UTC")) << readout.toStdString();
        const QString aside = view->readoutAt(tone - QPoint(int(2.0 / kHzPerPixel) + 2, 0));
        EXPECT_GT(levelIn(readout), levelIn(aside) + 30.0) << readout.toStdString() << " / " << aside.toStdString();

        // The brightest pixel drawn in that row of what is in view.
        const QRect inView(across->value(), tone.y(), scroller->viewport()->width(), 1);
        const QImage row = view->picturePixels(inView.intersected(view->rect()));
        int brightest = 0;
        for (int x = 1; x < row.width(); ++x)
            if (qGray(row.pixel(x, 0)) > qGray(row.pixel(brightest, 0)))
                brightest = x;
        // Within the tone's column, which is drawn several pixels wide at the deepest zoom.
        const double pixelsPerColumn = 48000.0 / view->picture()->columns() / 1000.0 / kHzPerPixel;
        EXPECT_NEAR(inView.left() + brightest, tone.x(), pixelsPerColumn / 2 + 2) << "zoom step " << zoom;

        // Zoom in with the pointer on the tone: the tone stays under it on screen.
        const int pointer = view->mapTo(scroller->viewport(), tone).x();
        scroller->zoomAt(2.0, pointer);
        EXPECT_NEAR(view->mapTo(scroller->viewport(), QPoint(int(mapping.xAt(7112.0)), 0)).x(), pointer, 1.0);
    }
    across->setValue(across->maximum() / 3);
    EXPECT_NEAR(kHzIn(view->readoutAt(QPoint(int(view->mapping().xAt(7112.0)), 10))), 7112.0, 0.01);
    scroller->fitBand();
    EXPECT_EQ(view->mapping().zoom(), 1.0);
}

// New levels re-map the picture at once; it is the picture a reload gives.
TEST_F(WaterfallLoadTest, LevelsAppliedWithoutReloadingGiveTheSamePictureAsAReload)
{
    writeToneRecording(pathOf(kToneName), 5, -7000.0);
    ASSERT_TRUE(loadAndWait(kToneName));
    const QImage before = window.waterfallView()->bandImage(1024);
    QLineEdit* minField = window.findChild<QLineEdit*>("mindBField");
    QLineEdit* maxField = window.findChild<QLineEdit*>("maxdBField");
    minField->setText("-150");
    emit minField->editingFinished();
    maxField->setText("-20");
    emit maxField->editingFinished();
    EXPECT_FALSE(window.isDrawingWaterfall());
    const QImage remapped = window.waterfallView()->bandImage(1024);
    EXPECT_NE(remapped, before);
    ASSERT_TRUE(loadAndWait(kToneName));
    EXPECT_EQ(window.waterfallView()->bandImage(1024), remapped);

    // A range that cannot be drawn is refused and leaves the picture.
    minField->setText("-20");
    emit minField->editingFinished();
    EXPECT_FALSE(window.statusText().isEmpty());
    EXPECT_EQ(window.waterfallView()->bandImage(1024), remapped);

    // A new FFT length draws the recording again.
    QSignalSpy finished(&window, &WindowControl::waterfallFinished);
    QLineEdit* fftField = window.findChild<QLineEdit*>("fftLengthField");
    fftField->setText("2048");
    emit fftField->editingFinished();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(window.waterfallView()->picture()->fftSize(), 2048);
}

// 9000 s are more rows than the window draws: two seconds a row, and the
// selection stays in seconds.
TEST_F(WaterfallLoadTest, LongRecordingIsDrawnAtFewerRowsWithTheSelectionInSeconds)
{
    const QString name = "SDRSharp_20140102_030405Z_7100000Hz_long.wav";
    writeToneRecording(pathOf(name), 9000, 0.0, true);
    ASSERT_TRUE(loadAndWait(name)) << window.statusText().toStdString();
    FFTView* view = window.waterfallView();
    EXPECT_EQ(view->lines(), 9000);
    EXPECT_EQ(view->rows(), 4500);
    EXPECT_TRUE(window.statusText().endsWith(", 2 s per row")) << window.statusText().toStdString();
    EXPECT_LE(view->picture()->memoryBytes(), WaterfallPicture::kMemoryBudget);

    // A right click on the row of second 5001 sets the second it shows first.
    const WaterfallViewMapping& mapping = view->mapping();
    QTest::mouseClick(view, Qt::RightButton, Qt::ShiftModifier, QPoint(300, int(mapping.yAt(5001))));
    EXPECT_EQ(window.findChild<QLineEdit*>("startTimeField")->text(), "5000");
    const struct {
        const char* name;
        const char* text;
    } typed[] = {{"endTimeField", "7001"}, {"startFreqField", "7090"}, {"endFreqField", "7110"}};
    for (const auto& field : typed) {
        window.findChild<QLineEdit*>(field.name)->setText(field.text);
        emit window.findChild<QLineEdit*>(field.name)->editingFinished();
    }
    EXPECT_EQ(window.selectionStartSecond(), 5000);
    EXPECT_EQ(window.selectionEndSecond(), 7001);
    const QRectF frame = view->selectionFrame();
    EXPECT_NEAR(frame.top(), mapping.yAt(5000) + 1, 1e-9);
    EXPECT_NEAR(frame.bottom(), mapping.yAt(7001) - 1, 1e-9);
    EXPECT_EQ(mapping.rowAt(mapping.yAt(5000)), 2500);
    EXPECT_EQ(view->plan().firstSecond(2500), 5000);
}

} // namespace

// Auto takes Min and Max from the levels of the waterfall drawn and shows it
// with them at once; the tone is no longer drawn at the brightest level alone.
TEST_F(WaterfallLoadTest, AutoLevelsSetTheFieldsAndRedraw)
{
    QPushButton* autoButton = window.findChild<QPushButton*>("autoLevelsButton");
    ASSERT_NE(autoButton, nullptr);
    QLineEdit* minField = window.findChild<QLineEdit*>("mindBField");
    QLineEdit* maxField = window.findChild<QLineEdit*>("maxdBField");
    ASSERT_NE(minField, nullptr);
    ASSERT_NE(maxField, nullptr);

    autoButton->click(); // nothing drawn yet
    EXPECT_TRUE(window.statusText().contains("Automatic levels")) << window.statusText().toStdString();

    writeToneRecording(pathOf(kToneName), 3, 12000.0);
    ASSERT_TRUE(loadAndWait(kToneName)) << window.statusText().toStdString();
    const QString storedMin = minField->text();
    autoButton->click();
    EXPECT_FALSE(window.isDrawingWaterfall()) << "the picture is re-mapped, not computed again";
    EXPECT_NE(minField->text(), storedMin);
    const int minDb = minField->text().toInt();
    const int maxDb = maxField->text().toInt();
    // An 8000-unit tone lies far above -80 dB; the range reaches up to it.
    EXPECT_GT(maxDb, -80);
    EXPECT_LT(minDb, maxDb);
    const QImage bitmap = window.waterfallView()->bandImage(1024);
    ASSERT_EQ(bitmap.height(), 3);
    EXPECT_NE(bitmap.pixel(768, 1), bitmap.pixel(100, 1));
}
