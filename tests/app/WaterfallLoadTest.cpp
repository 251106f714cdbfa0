#include "app/FFTView.h"
#include "app/WindowControl.h"
#include "recording/RecordingObject.h"

#include "IqRecordingWriter.h"
#include "support/ReadFault.h"

#include <QDir>
#include <QFile>
#include <QAction>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
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
