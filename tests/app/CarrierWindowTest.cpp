#include "carrier/CarrierTestRecordings.h"

#include "app/CarrierView.h"
#include "app/CarrierWindowController.h"
#include "app/WindowControl.h"
#include "carrier/CarrierSession.h"

#include "WaitUntil.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

using namespace carriertest;

namespace {

class CarrierWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        window = new CarrierWindowController(QString::fromStdString(dir.path), [this] { return inColor; });
        window->show();
    }
    void TearDown() override
    {
        delete window.data();
        QSettings("Korvel", "Korvel").clear();
    }

    QString write(const std::string& name, const fixtures::Recording& r)
    {
        return QString::fromStdString(dir.write(name, r.bytes));
    }
    QString status() const { return window->findChild<QLabel*>("statusField")->text(); }
    bool idle() const { return window->findChild<QPushButton*>("processButton")->isEnabled(); }
    // The pixel in the middle of the carrier's columns in row `row`.
    QRgb carrierPixel(int row) const
    {
        return window->carrierView().bitmap().pixel(1024 + 3 * 2048 / 200, row);
    }

    QTemporaryDir settingsDir;
    fixtures::TempDir dir;
    bool inColor = false;
    QPointer<CarrierWindowController> window;
};

} // namespace

TEST_F(CarrierWindowTest, AnalysisShowsProgressThenThePictureAndTheLeftOut)
{
    const QString a = write("a.wav", recording(2.0, kStart, {{3.0, 0.0}}));
    const QString twin = write("twin.wav", recording(2.0, kStart, {}));
    const QString output = QString::fromStdString(dir.path) + "/output.bin";
    window->analyseRecordings({a, twin}, output);
    EXPECT_FALSE(idle());
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_TRUE(status().contains("Analysis written to")) << status().toStdString();
    EXPECT_TRUE(status().contains("twin.wav: left out, it starts at the same time as a.wav")) << status().toStdString();
    EXPECT_TRUE(std::filesystem::exists(output.toStdString()));

    auto* stepper = window->findChild<QSpinBox*>("channelStepper");
    EXPECT_EQ(stepper->maximum(), 1);
    EXPECT_EQ(window->carrierView().bitmap().height(), 237 + 50);
    stepper->setValue(1);
    EXPECT_EQ(window->findChild<QLabel*>("freqLabel")->text(), "1000 kHz");
    // The carrier is bright in grey, the silence after the recording black.
    EXPECT_GT(qGray(carrierPixel(0)), 200);
    EXPECT_EQ(qGray(carrierPixel(100)), 0);
    EXPECT_EQ(qRed(carrierPixel(0)), qBlue(carrierPixel(0)));

    // Raising the floor to the carrier's level darkens it.
    window->findChild<QSlider*>("minDbSlider")->setValue(-1);
    EXPECT_EQ(window->findChild<QLabel*>("minLabel")->text(), "-1 dB");
    EXPECT_LT(window->findChild<QSlider*>("minDbSlider")->value(), window->findChild<QSlider*>("maxDbSlider")->value());
    EXPECT_LT(qGray(carrierPixel(0)), 50);

    // The main window's colour choice is followed.
    window->findChild<QSlider*>("minDbSlider")->setValue(-120);
    inColor = true;
    ASSERT_TRUE(waitUntil([&] { return qRed(carrierPixel(0)) != qBlue(carrierPixel(0)); }, 2000));

    window->pushButtonCopyImage();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(2048, 287));
}

TEST_F(CarrierWindowTest, CancelWritesNothingAndRefusedFilesLeaveThePicture)
{
    const QString a = write("a.wav", recording(1.0, kStart, {{3.0, 0.0}}));
    const QString first = QString::fromStdString(dir.path) + "/first.bin";
    window->analyseRecordings({a}, first);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));

    const QString cancelled = QString::fromStdString(dir.path) + "/cancelled.bin";
    window->findChild<QComboBox*>("fftSizePopup")->setCurrentIndex(6); // 4194304
    window->analyseRecordings({a}, cancelled);
    ASSERT_FALSE(idle());
    window->findChild<QPushButton*>("cancelButton")->click();
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_TRUE(status().contains("cancelled")) << status().toStdString();
    EXPECT_FALSE(std::filesystem::exists(cancelled.toStdString()));
    EXPECT_EQ(window->session().analysis().dbBufCount(), 237);

    window->loadAnalysis(QString::fromStdString(dir.write("bad.bin", std::vector<uint8_t>(100, 0))));
    EXPECT_TRUE(status().contains("not a carrier analysis file")) << status().toStdString();
    EXPECT_EQ(window->carrierView().bitmap().height(), 237 + 50);

    window->analyseRecordings({QString::fromStdString(dir.path) + "/missing.wav"}, cancelled);
    EXPECT_TRUE(idle());
    EXPECT_TRUE(status().contains("no recording to analyse")) << status().toStdString();

    window->loadAnalysis(first);
    EXPECT_TRUE(status().contains("Loaded first.bin")) << status().toStdString();
}

TEST_F(CarrierWindowTest, ToolsMenuOpensTheWindow)
{
    WindowControl control;
    control.useRecordingFolderForSession(QString::fromStdString(dir.path));
    QAction* open = control.findChild<QAction*>("openCarrierAction");
    ASSERT_NE(open, nullptr);
    open->trigger();
    CarrierWindowController* window = control.findChild<CarrierWindowController*>();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    window->close();
}

// Analyse… offers every kind of recording the core opens, not only WAV files.
TEST_F(CarrierWindowTest, AnalyseOffersEveryKindOfRecording)
{
    QStringList offered;
    int dialogs = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (++dialogs == 1) {
            dialog->selectFile(QString::fromStdString(dir.path) + "/analysis.bin");
            QMetaObject::invokeMethod(dialog, "accept");
        } else {
            offered = dialog->nameFilters();
            dialog->reject();
        }
    });
    answer.start(20);
    window->findChild<QPushButton*>("processButton")->click();
    answer.stop();
    ASSERT_EQ(dialogs, 2);
    ASSERT_FALSE(offered.isEmpty());
    for (const char* pattern : {"*.wav", "*.WAV", "*.sigmf-meta", "*.au", "*.cu8", "*.cf32", "*.raw"})
        EXPECT_TRUE(offered.front().contains(QString(pattern) + " ") || offered.front().contains(QString(pattern) + ")"))
            << pattern << " in " << offered.front().toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.path) + "/analysis.bin"));
}
