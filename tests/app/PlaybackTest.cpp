#include "app/FFTView.h"
#include "app/SoundDeviceMenu.h"
#include "app/SoundOutputThread.h"
#include "app/SpectrumView.h"
#include "app/WindowControl.h"
#include "audio/SoundOutputObject.h"
#include "demod/DemodFileJob.h"
#include "demod/DemodSecondFeeder.h"
#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"
#include "demod/ReceiverControls.h"
#include "recording/RecordingObject.h"

#include "IqRecordingWriter.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kSeconds = 30;
constexpr uint32_t kRate = 48000;

// A window with a 30 s recording of an AM station at 7110 kHz loaded; the
// Documents folder lies in a temporary home folder.
class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        ASSERT_TRUE(recordings.isValid());
        ASSERT_TRUE(home.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        ASSERT_TRUE(writeAmRecording(pathOf(kAmRecordingName), kSeconds, kRate, [](int) { return 1000.0; }));
        window = std::make_unique<WindowControl>();
        window->useRecordingFolderForSession(recordings.path());
        window->show();
        ASSERT_TRUE(load(kAmRecordingName)) << window->statusText().toStdString();
    }

    void TearDown() override
    {
        window.reset();
        qputenv("HOME", savedHome);
    }

    QString pathOf(const QString& name) const { return QDir(recordings.path()).filePath(name); }

    bool load(const QString& name)
    {
        QSignalSpy finished(window.get(), &WindowControl::waterfallFinished);
        window->loadRecording(name);
        return finished.wait(20000) && finished.first().first().toBool();
    }

    void select(const QString& start, const QString& end, const QString& lowKHz, const QString& highKHz,
                const char* mode = "AM")
    {
        field("startTimeField")->setText(start);
        field("endTimeField")->setText(end);
        field("startFreqField")->setText(lowKHz);
        field("endFreqField")->setText(highKHz);
        auto* modes = window->findChild<QComboBox*>("modePopup");
        modes->setCurrentIndex(modes->findText(mode));
    }

    QLineEdit* field(const char* name) const { return window->findChild<QLineEdit*>(name); }
    QToolButton* button(const char* name) const { return window->findChild<QToolButton*>(name); }
    int playMark() const { return window->waterfallView()->currentPlayTime(); }

    // Lets the window's timers run (the sound output takes the audio in real
    // time, with or without a device) until `done` holds; false after 20 s.
    template <typename Condition>
    bool waitUntil(Condition done)
    {
        for (int waited = 0; waited < 20000; waited += 20) {
            window->FastTimer();
            if (done())
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    bool waitForSecond(int second)
    {
        return waitUntil([this, second] { return window->playBackSecond() >= second; });
    }

    QTemporaryDir settingsDir;
    QTemporaryDir recordings;
    QTemporaryDir home;
    QByteArray savedHome;
    std::unique_ptr<WindowControl> window;
};

TEST_F(PlaybackTest, PlayPauseAndSkipsMoveThePositionAndTheMark)
{
    select("2", "25", "7105", "7115");
    button("playbutton")->click();
    ASSERT_TRUE(window->isPlaying());
    EXPECT_TRUE(button("pausebutton")->isEnabled());
    EXPECT_FALSE(button("demodFileButton")->isEnabled());
    EXPECT_EQ(window->playBackSecond(), 2);
    EXPECT_EQ(playMark(), 2);

    // The mark and the status follow the sound.
    ASSERT_TRUE(waitForSecond(4));
    EXPECT_GE(playMark(), 4);
    const QString status = window->statusText();
    EXPECT_TRUE(status.startsWith("02-Jan-2014 03:04:") && status.endsWith(" 7110.000 kHz")) << status.toStdString();
    EXPECT_TRUE(field("signalLevelField")->text().endsWith(" dBm"));
    bool isNumber = false;
    field("signalLevelField")->text().chopped(4).trimmed().toDouble(&isNumber);
    EXPECT_TRUE(isNumber) << field("signalLevelField")->text().toStdString();

    // Pause: the position and the mark hold, the sound goes, and the signal
    // level shows no measurement.
    button("pausebutton")->click();
    window->FastTimer();
    const int held = window->playBackSecond();
    QTest::qWait(700);
    window->FastTimer();
    EXPECT_EQ(window->playBackSecond(), held);
    EXPECT_EQ(playMark(), held);
    EXPECT_EQ(window->soundOutputObject().numSoundSamples(), 0);
    EXPECT_TRUE(field("signalLevelField")->text().isEmpty());
    button("pausebutton")->click();

    // A skip moves the mark at once.
    button("p10SecButton")->click();
    EXPECT_EQ(window->playBackSecond(), held + 10);
    EXPECT_EQ(playMark(), held + 10);
    ASSERT_TRUE(waitForSecond(held + 11));

    // Back 5 minutes: from 0.
    button("m5MinButton")->click();
    EXPECT_EQ(window->playBackSecond(), 0);

    // A new selection while playing is what plays next, from its start.
    field("startTimeField")->setText("20");
    emit field("startTimeField")->editingFinished();
    EXPECT_EQ(window->playBackSecond(), 20);
    EXPECT_EQ(window->selectionStartSecond(), 20);

    button("playbutton")->click();
    EXPECT_FALSE(window->isPlaying());
    EXPECT_TRUE(field("signalLevelField")->text().isEmpty());
    EXPECT_EQ(playMark(), -1);
    EXPECT_FALSE(button("pausebutton")->isEnabled());
    EXPECT_TRUE(button("demodFileButton")->isEnabled());
}

TEST_F(PlaybackTest, EndOfSelectionStopsOrLoops)
{
    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop ? "loop" : "no loop");
        button("loopButton")->setChecked(loop);
        select("3", "5", "7105", "7115");
        button("playbutton")->click();
        if (loop) {
            // Heard to the end, then from the start again.
            ASSERT_TRUE(waitForSecond(4));
            ASSERT_TRUE(waitUntil([this] { return window->playBackSecond() == 3; }));
            EXPECT_TRUE(window->isPlaying());
            EXPECT_TRUE(button("playbutton")->isChecked());
            button("playbutton")->click();
        } else {
            ASSERT_TRUE(waitUntil([this] { return !window->isPlaying(); }));
            EXPECT_EQ(window->playBackSecond(), 5);
            EXPECT_EQ(playMark(), 5);
            EXPECT_FALSE(button("playbutton")->isChecked());
        }
        EXPECT_FALSE(window->isPlaying());
    }
}

TEST_F(PlaybackTest, FieldsThatCannotBeUsedRefusePlayWithAMessage)
{
    select("abc", "10", "7105", "7115");
    button("playbutton")->click();
    EXPECT_FALSE(window->isPlaying());
    EXPECT_FALSE(button("playbutton")->isChecked());
    EXPECT_TRUE(window->statusText().contains("abc")) << window->statusText().toStdString();

    // Reversed edges are swapped and the shift is limited, as shown in the fields.
    select("1", "10", "7115", "7105");
    field("pbtField")->setText("7.5");
    button("playbutton")->click();
    EXPECT_TRUE(window->isPlaying());
    EXPECT_EQ(field("startFreqField")->text(), "7105");
    EXPECT_EQ(field("endFreqField")->text(), "7115");
    EXPECT_NE(field("pbtField")->text(), "7.5");
}

TEST_F(PlaybackTest, LoadingAnotherRecordingStopsPlayback)
{
    ASSERT_TRUE(writeAmRecording(pathOf("SDRSharp_20140102_040000Z_7200000Hz_IQ.wav"), 5, 24000,
                                 [](int) { return 800.0; }));
    select("2", "25", "7105", "7115");
    button("playbutton")->click();
    ASSERT_TRUE(window->isPlaying());

    ASSERT_TRUE(load("SDRSharp_20140102_040000Z_7200000Hz_IQ.wav"));
    EXPECT_FALSE(window->isPlaying());
    EXPECT_FALSE(button("playbutton")->isChecked());
    EXPECT_EQ(playMark(), -1);

    select("1", "4", "7208", "7212");
    button("playbutton")->click();
    ASSERT_TRUE(waitForSecond(2));
    EXPECT_TRUE(window->statusText().startsWith("02-Jan-2014 04:00:0")) << window->statusText().toStdString();
}

TEST_F(PlaybackTest, ASelectionOutsideTheRecordingsBandIsClearedOnLoadAndRefused)
{
    const QString other = "SDRSharp_20140102_040000Z_7200000Hz_IQ.wav";
    ASSERT_TRUE(writeAmRecording(pathOf(other), 5, 24000, [](int) { return 800.0; }));
    select("2", "25", "7105", "7115");
    ASSERT_TRUE(load(other));
    for (const char* name : {"startTimeField", "endTimeField", "startFreqField", "endFreqField"})
        EXPECT_EQ(field(name)->text(), "") << name;

    select("1", "4", "7105", "7115");
    button("playbutton")->click();
    EXPECT_FALSE(window->isPlaying());
    EXPECT_TRUE(window->statusText().endsWith("outside the recording's band 7188.000 - 7212.000 kHz."))
        << window->statusText().toStdString();
    window->showStatus("");
    window->doDemodToFile();
    EXPECT_FALSE(window->isWritingFile());
    EXPECT_TRUE(window->statusText().contains("outside the recording's band")) << window->statusText().toStdString();

    // A selection that fits stays.
    select("1", "4", "7195", "7205");
    ASSERT_TRUE(load(other));
    EXPECT_EQ(field("startFreqField")->text(), "7195");
    EXPECT_EQ(field("endTimeField")->text(), "4");
}

// What the core job writes for the same selection, read back.
QByteArray coreWav(const QString& recordingPath, const SelectionFields& fields, int mode, const QString& folder,
                   const ReceiverControls& controls = {})
{
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(QFile::encodeName(recordingPath).toStdString(), lines);
    DemodSetup setup = DemodSetup::fromFields(fields, mode, recording.parameters());
    setup.setControls(controls);
    DemodulatorObject demod;
    setup.configure(demod);
    DemodSecondFeeder feeder(recording, recording.parameters().mSampleRate);
    DemodFileJob job(demod, feeder, setup.startSecond(), setup.endSecond(), QFile::encodeName(folder).toStdString(),
                     "core.wav");
    if (!job.run().ok)
        return {};
    QFile file(QDir(folder).filePath("core.wav"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

uint32_t u32At(const QByteArray& bytes, int at)
{
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | static_cast<uint8_t>(bytes[at + k]);
    return v;
}

TEST_F(PlaybackTest, FileRunWritesTheSelectionAndRefusesEverythingElseMeanwhile)
{
    select("1", "29", "7105", "7115");
    QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
    button("demodFileButton")->click();
    ASSERT_TRUE(window->isWritingFile()) << window->statusText().toStdString();
    EXPECT_FALSE(button("demodFileButton")->isEnabled());
    EXPECT_FALSE(button("timestampedDemodFileButton")->isEnabled());
    EXPECT_FALSE(button("playbutton")->isEnabled());
    EXPECT_TRUE(window->findChild<QProgressBar*>("fileProgress")->isVisible());

    window->doDemodToTimestampedFile();
    EXPECT_TRUE(window->statusText().contains("already being written")) << window->statusText().toStdString();
    window->doPlay(true);
    EXPECT_FALSE(window->isPlaying());
    EXPECT_FALSE(button("playbutton")->isChecked());
    window->loadRecording(kAmRecordingName);
    EXPECT_TRUE(window->statusText().contains("was not loaded")) << window->statusText().toStdString();

    // The play mark follows the file as it is written.
    int furthestMark = -1;
    for (int waited = 0; finished.isEmpty() && waited < 30000; waited += 5) {
        QTest::qWait(5);
        furthestMark = std::max(furthestMark, playMark());
    }
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished.first().first().toBool()) << window->statusText().toStdString();
    EXPECT_GT(furthestMark, 1);
    EXPECT_EQ(playMark(), -1);
    EXPECT_FALSE(window->isWritingFile());
    EXPECT_TRUE(button("demodFileButton")->isEnabled());

    const QString written = QDir(home.path()).filePath("Documents/DemodOutput.wav");
    EXPECT_TRUE(window->statusText().contains(written)) << window->statusText().toStdString();
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    ASSERT_GT(wav.size(), 44);
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(u32At(wav, 4), uint32_t(wav.size() - 8));
    EXPECT_EQ(u32At(wav, 24), 44100u);
    EXPECT_EQ(u32At(wav, 40), uint32_t(wav.size() - 44));
    // 28 seconds of audio, less what the filters still hold.
    EXPECT_NEAR((wav.size() - 44) / 2.0 / 44100.0, 28.0, 0.1);

    QTemporaryDir coreFolder;
    ASSERT_TRUE(coreFolder.isValid());
    EXPECT_TRUE(wav == coreWav(pathOf(kAmRecordingName), {"1", "29", "7105", "7115", ""}, kDemodAM,
                               coreFolder.path()))
        << "the window's file differs from the core job's";
}

// Audio > AGC reaches every set-up: the WAV file is written with the AGC
// chosen, and the choice is kept for the next start.
TEST_F(PlaybackTest, TheAgcChosenInTheAudioMenuIsWhatTheFileIsWrittenWith)
{
    auto* off = window->findChild<QAction*>("agcOffAction");
    ASSERT_NE(off, nullptr);
    off->trigger();
    select("1", "3", "7105", "7115");
    QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
    button("demodFileButton")->click();
    ASSERT_TRUE(finished.wait(30000));
    QFile file(QDir(home.path()).filePath("Documents/DemodOutput.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    QTemporaryDir coreFolder;
    ReceiverControls agcOff;
    agcOff.agc = AgcChoice::Off;
    EXPECT_TRUE(wav == coreWav(pathOf(kAmRecordingName), {"1", "3", "7105", "7115", ""}, kDemodAM, coreFolder.path(),
                               agcOff));
    EXPECT_FALSE(wav == coreWav(pathOf(kAmRecordingName), {"1", "3", "7105", "7115", ""}, kDemodAM,
                                coreFolder.path()))
        << "the AGC's choice made no difference";

    window->savePreferences();
    EXPECT_EQ(QSettings("Korvel", "Korvel").value("receiverAgc").toString(), "off");
}

TEST_F(PlaybackTest, TimestampedFileIsNamedAfterFrequencyModeAndStart)
{
    const struct {
        const char* mode;
        const char* name;
    } cases[] = {
        {"USB", "7105.0 USB 02-Jan-2014 03.04.07.wav"},
        {"AM", "7110.0 AM 02-Jan-2014 03.04.07.wav"},
        {"CWL", "7110.0 CWL 02-Jan-2014 03.04.07.wav"},
        {"CWU", "7110.0 CWU 02-Jan-2014 03.04.07.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        select("2", "4", "7105", "7115", c.mode);
        QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
        button("timestampedDemodFileButton")->click();
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_TRUE(finished.first().first().toBool()) << window->statusText().toStdString();
        EXPECT_TRUE(QFile::exists(QDir(home.path()).filePath(QString("Documents/") + c.name)))
            << window->statusText().toStdString();
    }
}

TEST_F(PlaybackTest, FileButtonsDoNothingWhilePlaying)
{
    select("2", "25", "7105", "7115");
    button("playbutton")->click();
    EXPECT_FALSE(button("demodFileButton")->isEnabled());
    window->doDemodToFile();
    EXPECT_FALSE(window->isWritingFile());
    EXPECT_TRUE(window->isPlaying());
}

TEST_F(PlaybackTest, SkipsMoveTheFileRunToo)
{
    select("0", "29", "7105", "7115");
    QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
    button("demodFileButton")->click();
    ASSERT_TRUE(window->isWritingFile());
    button("p60SecButton")->click();
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_TRUE(finished.first().first().toBool()) << window->statusText().toStdString();
    // Past the end: the run stopped after the second it was on.
    EXPECT_LT(QFileInfo(QDir(home.path()).filePath("Documents/DemodOutput.wav")).size(), 10 * 88200);
}

TEST_F(PlaybackTest, ClosingTheWindowDuringAFileRunStopsItAndLeavesNoPartialFile)
{
    select("0", "29", "7105", "7115");
    button("demodFileButton")->click();
    ASSERT_TRUE(window->isWritingFile());
    window.reset();
    const QStringList left = QDir(QDir(home.path()).filePath("Documents"))
                                 .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : left)
        EXPECT_EQ(name, "DemodOutput.wav") << "a temporary file was left behind";
}

// The I/Q button writes the selection as a SigMF pair that opens again,
// tuned to the middle of the selection.
TEST_F(PlaybackTest, IqButtonWritesTheSelectionAsSigmf)
{
    select("1", "3", "7105", "7115");
    QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
    button("iqExtractButton")->click();
    ASSERT_TRUE(window->isWritingFile()) << window->statusText().toStdString();
    EXPECT_FALSE(button("demodFileButton")->isEnabled());
    for (int waited = 0; finished.isEmpty() && waited < 30000; waited += 5)
        QTest::qWait(5);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished.first().first().toBool()) << window->statusText().toStdString();
    const QStringList written = QDir(QDir(home.path()).filePath("Documents")).entryList({"*.sigmf-*"}, QDir::Files);
    ASSERT_EQ(written.size(), 2) << written.join(", ").toStdString();
    EXPECT_TRUE(written[0].startsWith("7110.0 IQ ")) << written[0].toStdString();
    RecordingObject extracted;
    std::vector<std::string> lines;
    extracted.setRecordingFile(QFile::encodeName(QDir(home.path()).filePath("Documents/" + written[0])).toStdString(),
                               lines);
    ASSERT_TRUE(extracted.isValidRecordingFile()) << lines.back();
    EXPECT_EQ(extracted.layoutName(), "SigMF");
    EXPECT_EQ(extracted.parameters().mCenterFreq, 7110000.0);
    EXPECT_EQ(extracted.parameters().mNumSeconds, 2);
}

TEST_F(PlaybackTest, UnwritableDocumentsFolderIsReportedAndLeavesNothing)
{
    // A file where the Documents folder should be.
    QFile blocker(QDir(home.path()).filePath("Documents"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    select("2", "4", "7105", "7115");
    QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
    button("demodFileButton")->click();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_TRUE(window->statusText().startsWith("The WAV file was not written")) << window->statusText().toStdString();
    EXPECT_TRUE(button("demodFileButton")->isEnabled());
}

TEST_F(PlaybackTest, WideFmPlaybackDrawsTheMultiplexSpectrumOnTheSlowTick)
{
    ASSERT_TRUE(writeWfmRecording(pathOf("SDRSharp_20140102_050000Z_7100000Hz_IQ.wav"), 4, 250000));
    ASSERT_TRUE(load("SDRSharp_20140102_050000Z_7100000Hz_IQ.wav"));
    select("0", "4", "7020", "7200", "WFM");
    auto* view = window->findChild<SpectrumView*>("spectrumView");
    button("playbutton")->click();
    ASSERT_TRUE(window->isPlaying());
    window->OneSecTimer();
    EXPECT_EQ(view->spectrum(), nullptr) << "nothing before a transform's worth";
    ASSERT_TRUE(waitUntil([&] {
        window->OneSecTimer();
        return view->spectrum() != nullptr;
    }));
    const std::vector<double>& columns = *view->spectrum();
    ASSERT_EQ(columns.size(), size_t(SpectrumView::kColumns));
    // The multiplex runs at 250 kHz here: the pilot lands in column 199.
    const auto peak = std::max_element(columns.begin() + 150, columns.begin() + 250);
    EXPECT_NEAR(peak - columns.begin(), 199, 1);
}

TEST_F(PlaybackTest, DeviceChosenDuringAFileRunIsTakenWhenItEnds)
{
    const bool noSoundServer = qEnvironmentVariableIsEmpty("PULSE_SERVER");
    auto* soundStatus = window->findChild<QLabel*>("soundStatusLabel");
    if (noSoundServer) {
        EXPECT_FALSE(soundStatus->text().isEmpty()) << "no sound server: the status line says so";
    }
    SoundDeviceMenu* devices = window->soundDevices();
    devices->setDevices({{"Headset", 0, "test-headset", 2, 0}});
    QAction* defaultDevice = devices->menu()->actions().value(0);
    QAction* headset = devices->menu()->actions().value(1);
    ASSERT_NE(headset, nullptr);
    ASSERT_EQ(headset->text(), "Headset");
    headset->trigger();
    EXPECT_EQ(window->soundOutputDevice().deviceId(), "test-headset");
    // A device that cannot be opened is reported; nothing else stops.
    EXPECT_FALSE(soundStatus->text().isEmpty());

    select("0", "5", "7105", "7115");
    QSignalSpy finished(window.get(), &WindowControl::demodFileFinished);
    button("demodFileButton")->click();
    ASSERT_TRUE(window->isWritingFile());
    defaultDevice->trigger();
    EXPECT_EQ(window->soundOutputDevice().deviceId(), "test-headset") << "restarted during the file run";
    ASSERT_TRUE(finished.wait(30000));
    for (int waited = 0; !window->soundOutputDevice().deviceId().isEmpty() && waited < 3000; waited += 20)
        QTest::qWait(20);
    EXPECT_TRUE(window->soundOutputDevice().deviceId().isEmpty());

    select("1", "3", "7105", "7115");
    button("playbutton")->click();
    EXPECT_EQ(window->playBackSecond(), 1);
    EXPECT_TRUE(waitForSecond(2));
}

} // namespace

// The keys of the Playback menu: Space (Ctrl+Space also from a text field)
// plays and pauses, Left and Right skip 10 s (60 s with Shift), Home and End
// go to the selection's start and its last seconds, L loops.
TEST_F(PlaybackTest, KeysPlayPauseSkipGoToTheEdgesAndLoop)
{
    select("2", "25", "7105", "7115");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_TRUE(window->isPlaying());
    EXPECT_EQ(window->playBackSecond(), 2);

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int second;
    } moves[] = {
        {Qt::Key_Right, Qt::NoModifier, 12}, {Qt::Key_Left, Qt::NoModifier, 2},
        {Qt::Key_End, Qt::NoModifier, 20},   {Qt::Key_Home, Qt::NoModifier, 2},
        {Qt::Key_Left, Qt::ShiftModifier, 0}, {Qt::Key_Right, Qt::ShiftModifier, 60},
    };
    for (const auto& move : moves) {
        QTest::keyClick(window.get(), move.key, move.modifiers);
        EXPECT_EQ(window->playBackSecond(), move.second) << QKeySequence(move.key | move.modifiers).toString().toStdString();
    }

    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_TRUE(button("pausebutton")->isChecked());
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_FALSE(button("pausebutton")->isChecked());
    QTest::keyClick(window.get(), Qt::Key_L);
    EXPECT_TRUE(button("loopButton")->isChecked());
    // Second 60 lies past the end: with Loop on, the selection starts again.
    ASSERT_TRUE(waitUntil([this] { return window->playBackSecond() < 25; }));
    EXPECT_TRUE(window->isPlaying());

    // In a text field Space is a space; Ctrl+Space still pauses.
    QLineEdit* pbt = field("pbtField");
    pbt->setFocus();
    pbt->clear();
    QTest::keyClick(pbt, Qt::Key_Space);
    EXPECT_EQ(pbt->text(), " ");
    EXPECT_FALSE(button("pausebutton")->isChecked());
    QTest::keyClick(pbt, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(button("pausebutton")->isChecked());

    // The keys are shown in the menus.
    const QAction* play = window->findChild<QAction*>("playPauseAction");
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Space));
}
