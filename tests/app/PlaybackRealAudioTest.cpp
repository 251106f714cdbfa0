#include "app/WindowControl.h"
#include "demod/DemodSecondFeeder.h"
#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"
#include "recording/RecordingObject.h"

#include "IqRecordingWriter.h"
#include "MonitorRecorder.h"
#include "ToneMeasure.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kRate = MonitorRecorder::rate;
constexpr int kSeconds = 20;
constexpr int kSilenceLevel = 30;

// Second s of the test recording is modulated with this tone: which second is
// playing can be heard.
double toneOfSecond(int s)
{
    return 400.0 + 100.0 * s;
}

// The second of the test recording whose tone is strongest in x[0..n), or -1
// when no tone stands out.
int secondHeard(const int16_t* x, long n)
{
    int best = -1;
    double bestAmplitude = 300.0;
    for (int s = 0; s < kSeconds; ++s) {
        const double a = toneAmplitude(x, n, toneOfSecond(s), kRate);
        if (a > bestAmplitude) {
            bestAmplitude = a;
            best = s;
        }
    }
    return best;
}

// Plays selections of an AM recording through the real window and sound
// output into the test sink and listens to its monitor. ctest runs suites
// named RealAudio one at a time.
class PlaybackRealAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MonitorRecorder::available())
            GTEST_SKIP() << "no PulseAudio test sink; run under scripts/with-audio.sh";
        ASSERT_TRUE(settingsDir.isValid());
        ASSERT_TRUE(recordings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    void openWindow(const QString& name)
    {
        window = std::make_unique<WindowControl>();
        window->useRecordingFolderForSession(recordings.path());
        window->show();
        window->findChild<QSlider*>("volumeSlider")->setValue(1000);
        QSignalSpy finished(window.get(), &WindowControl::waterfallFinished);
        window->loadRecording(name);
        ASSERT_TRUE(finished.wait(60000));
        // The sound output opens the device on its own; give it a moment.
        QTest::qWait(300);
        ASSERT_TRUE(recorder.start()) << "parec does not record the test sink's monitor";
    }

    void select(const char* start, const char* end, bool loop)
    {
        window->findChild<QLineEdit*>("startTimeField")->setText(start);
        window->findChild<QLineEdit*>("endTimeField")->setText(end);
        window->findChild<QLineEdit*>("startFreqField")->setText("7105");
        window->findChild<QLineEdit*>("endFreqField")->setText("7115");
        window->findChild<QComboBox*>("modePopup")->setCurrentIndex(kDemodAM);
        window->findChild<QToolButton*>("loopButton")->setChecked(loop);
    }

    QToolButton* button(const char* name) const { return window->findChild<QToolButton*>(name); }

    // Presses Play and returns the index of the first loud monitor sample.
    long play(qint64* delayMs)
    {
        const size_t before = recorder.samples().size();
        const qint64 pressedAt = recorder.elapsedMs();
        button("playbutton")->click();
        const long onset = recorder.waitForLoud(before, 1000, 5000);
        *delayMs = recorder.loudArrivalMs() - pressedAt;
        return onset;
    }

    // The seconds heard in successive 0.1 s windows from `from` for `ms`.
    std::vector<int> listen(size_t from, int ms)
    {
        const size_t window = kRate / 10;
        recorder.waitForSamples(from + static_cast<size_t>(ms) * kRate / 1000, ms + 3000);
        const std::vector<int16_t>& x = recorder.samples();
        std::vector<int> heard;
        for (size_t at = from; at + window <= x.size(); at += window)
            heard.push_back(secondHeard(x.data() + at, window));
        return heard;
    }

    static void report(const char* what, double value, const char* unit)
    {
        std::printf("%s: %.1f %s\n", what, value, unit);
    }

    QTemporaryDir settingsDir;
    QTemporaryDir recordings;
    MonitorRecorder recorder;
    std::unique_ptr<WindowControl> window;
};

// Amplitude of the tone of second `second` in the audio the core pipeline
// makes of the selection, over the same part of that second as `from`..`to`.
double coreToneAmplitude(const QString& path, int second, double from, double to)
{
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(QFile::encodeName(path).toStdString(), lines);
    DemodSetup setup = DemodSetup::fromFields({std::to_string(second), std::to_string(second + 1), "7105", "7115", ""},
                                              kDemodAM,
                                              {double(recording.mSampleRate), recording.mCenterFreq,
                                               recording.mNumSeconds, recording.mStartTimestamp});
    DemodulatorObject demod;
    setup.configure(demod);
    DemodSecondFeeder feeder(recording, recording.mSampleRate);
    std::vector<int16_t> audio(static_cast<size_t>(demod.maxOutputSamples(recording.mSampleRate)));
    const int n = feeder.feedSecond(demod, second, audio.data());
    const long first = static_cast<long>(from * kRate);
    const long last = std::min<long>(static_cast<long>(to * kRate), n);
    return toneAmplitude(audio.data() + first, last - first, toneOfSecond(second), kRate);
}

TEST_F(PlaybackRealAudio, PlaysTheSelectionPausesToSilenceAndSkips)
{
    const QString path = QDir(recordings.path()).filePath(kAmRecordingName);
    ASSERT_TRUE(writeAmRecording(path, kSeconds, 48000, toneOfSecond));
    openWindow(kAmRecordingName);
    select("0", "20", false);

    qint64 delayMs = 0;
    const long onset = play(&delayMs);
    ASSERT_GE(onset, 0) << "nothing was heard";
    report("Play to audio", static_cast<double>(delayMs), "ms");
    RecordProperty("play_to_audio_ms", static_cast<int>(delayMs));

    // Second 0 at the level the pipeline gives it at full volume.
    ASSERT_TRUE(recorder.waitForSamples(onset + kRate, 5000));
    const int16_t* firstSecond = recorder.samples().data() + onset;
    const double heard = toneAmplitude(firstSecond + kRate * 3 / 10, kRate / 2, toneOfSecond(0), kRate);
    const double expected = coreToneAmplitude(path, 0, 0.3, 0.8);
    ASSERT_GT(expected, 1000.0);
    EXPECT_NEAR(heard, expected, 0.1 * expected);
    EXPECT_EQ(secondHeard(firstSecond + kRate / 2, kRate / 10), 0);

    // Seconds follow one another in order.
    const std::vector<int> heardSeconds = listen(onset, 2500);
    ASSERT_GE(heardSeconds.size(), 24u);
    EXPECT_EQ(heardSeconds[5], 0);
    EXPECT_EQ(heardSeconds[15], 1);

    // Pause: once what was queued has played out, silence, and it lasts.
    const size_t pausedAt = recorder.samples().size();
    button("pausebutton")->click();
    const int paused = window->playBackSecond();
    ASSERT_TRUE(recorder.waitForSamples(pausedAt + 4 * kRate, 8000));
    const int16_t* afterPause = recorder.samples().data() + pausedAt;
    EXPECT_LT(rmsLevel(afterPause + 3 * kRate, kRate), kSilenceLevel);
    EXPECT_EQ(window->playBackSecond(), paused);
    button("pausebutton")->click();

    // +10 s: within a few seconds the tone of a second 10 further on.
    const int before = window->playBackSecond();
    const size_t skippedAt = recorder.samples().size();
    button("p10SecButton")->click();
    const std::vector<int> afterSkip = listen(skippedAt, 4000);
    EXPECT_NE(std::find(afterSkip.begin(), afterSkip.end(), before + 10), afterSkip.end())
        << "second " << before + 10 << " not heard";
    EXPECT_EQ(std::find(afterSkip.begin(), afterSkip.end(), before + 5), afterSkip.end());
}

TEST_F(PlaybackRealAudio, LoopPlaysTheSelectionAgain)
{
    ASSERT_TRUE(writeAmRecording(QDir(recordings.path()).filePath(kAmRecordingName), kSeconds, 48000, toneOfSecond));
    openWindow(kAmRecordingName);
    select("3", "5", true);

    qint64 delayMs = 0;
    const long onset = play(&delayMs);
    ASSERT_GE(onset, 0) << "nothing was heard";
    const std::vector<int> heard = listen(onset, 6000);
    // 3, 4, 3, 4, ...: the selection's start comes back after its end.
    int restarts = 0;
    for (size_t k = 1; k < heard.size(); ++k) {
        EXPECT_TRUE(heard[k] == -1 || heard[k] == 3 || heard[k] == 4) << heard[k] << " at " << k;
        if (heard[k - 1] == 4 && heard[k] == 3)
            ++restarts;
    }
    EXPECT_GE(restarts, 2);
    EXPECT_TRUE(window->isPlaying());
}

// Not run by ctest: measures the CPU time of playing a 2,000,000 S/s
// recording. scripts/with-audio.sh -- build/tests/app/test_app
//   --gtest_also_run_disabled_tests --gtest_filter='*PlaybackCpu*'
TEST_F(PlaybackRealAudio, DISABLED_PlaybackCpuOfATwoMegasampleRecording)
{
    constexpr int seconds = 24;
    ASSERT_TRUE(writeAmRecording(QDir(recordings.path()).filePath(kAmRecordingName), seconds, 2000000,
                                 [](int) { return 1000.0; }));
    openWindow(kAmRecordingName);
    select("0", "24", false);
    qint64 delayMs = 0;
    ASSERT_GE(play(&delayMs), 0);
    QTest::qWait(1000);

    auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    };
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(20000);
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = wall.elapsed() * 1e-3;
    EXPECT_TRUE(window->isPlaying());
    report("Play to audio", static_cast<double>(delayMs), "ms");
    report("CPU of playback", 100.0 * cpu / elapsed, "% of one core");
}

} // namespace
