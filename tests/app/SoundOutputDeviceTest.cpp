#include "app/SoundOutputDevice.h"

#include "MonitorRecorder.h"
#include "ToneMeasure.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <sys/resource.h>

namespace {

constexpr double pipelineRate = 31250.0;
constexpr double toneHz = 1000.0;
constexpr double toneAmplitudeIn = 10000.0;
constexpr int silenceLevel = 30;

// Feeds a 1 kHz tone at the pipeline rate the way playback does: a block at a
// time, only while fewer than 20000 samples wait.
class ToneFeeder {
public:
    explicit ToneFeeder(SoundOutputObject& sound) : sound(sound)
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] { feed(); });
    }

    void add(int n)
    {
        std::vector<double> block(n);
        for (double& x : block)
            x = toneAmplitudeIn * std::sin(2.0 * std::numbers::pi * toneHz * static_cast<double>(k++) / pipelineRate);
        sound.addSoundData(block.data(), n, pipelineRate);
    }

    void start() { timer.start(); }
    long fed() const { return k; }

private:
    void feed()
    {
        while (sound.numSoundSamples() < 20000)
            add(625);
    }

    SoundOutputObject& sound;
    QTimer timer;
    long k = 0;
};

// Plays into the shared test sink; ctest runs these one at a time (RealAudio).
class SoundOutputRealAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MonitorRecorder::available())
            GTEST_SKIP() << "no PulseAudio test sink; run under scripts/with-audio.sh";
        sound.setPlaybackVolume(1.0);
        sound.setNoOutput(false);
        ASSERT_TRUE(recorder.start()) << "parec does not record the test sink's monitor";
    }

    // Checks 1 s of the recording, starting 0.2 s after sample `onset`.
    void expectTone(long onset)
    {
        ASSERT_TRUE(recorder.waitForSamples(onset + MonitorRecorder::rate * 6 / 5, 5000));
        const int16_t* window = recorder.samples().data() + onset + MonitorRecorder::rate / 5;
        const double amplitude = toneAmplitude(window, MonitorRecorder::rate, toneHz, MonitorRecorder::rate);
        const double rms = rmsLevel(window, MonitorRecorder::rate);
        EXPECT_NEAR(amplitude, toneAmplitudeIn, 0.05 * toneAmplitudeIn);
        // A tone off by a fraction of a hertz, a gap or a repeat spreads power
        // away from 1 kHz.
        EXPECT_GT(amplitude * amplitude / 2.0 / (rms * rms), 0.99);
    }

    void reportStartDelay(const char* what, qint64 ms)
    {
        RecordProperty(what, static_cast<int>(ms));
        std::printf("%s: %lld ms\n", what, static_cast<long long>(ms));
    }

    SoundOutputObject sound;
    MonitorRecorder recorder;
};

TEST_F(SoundOutputRealAudio, PlaysQueuedToneAtItsFrequencyAndLevelSoonAfterStart)
{
    ToneFeeder tone(sound);
    tone.add(2 * static_cast<int>(pipelineRate));
    SoundOutputDevice output(sound);
    const size_t before = recorder.samples().size();
    const qint64 startedAt = recorder.elapsedMs();
    output.startSound();
    EXPECT_TRUE(output.isPlaying());
    EXPECT_TRUE(output.statusText().isEmpty());

    const long onset = recorder.waitForLoud(before, silenceLevel, 3000);
    ASSERT_GE(onset, 0) << "nothing was heard";
    const qint64 delay = recorder.loudArrivalMs() - startedAt;
    reportStartDelay("start_delay_ms", delay);
    EXPECT_LT(delay, 1500);
    expectTone(onset);
}

TEST_F(SoundOutputRealAudio, AudioQueuedWhileTheSinkPlaysSilenceIsHeardSoon)
{
    SoundOutputDevice output(sound);
    output.startSound();
    // An empty ring for a second: the sink must keep pulling silence, not stall.
    QTest::qWait(1000);
    const size_t before = recorder.samples().size();
    const qint64 pressedAt = recorder.elapsedMs();
    ToneFeeder tone(sound);
    tone.start();

    const long onset = recorder.waitForLoud(before, silenceLevel, 3000);
    ASSERT_GE(onset, 0) << "nothing was heard";
    const qint64 delay = recorder.loudArrivalMs() - pressedAt;
    reportStartDelay("play_delay_ms", delay);
    EXPECT_LT(delay, 1500);
    expectTone(onset);
}

TEST_F(SoundOutputRealAudio, StoppedOutputCanBeDestroyedBeforeTheEventLoopRuns)
{
    // The closed sink still waits for its deferred deletion and pulls from the
    // output's reader; it must not outlive it.
    for (int round = 0; round < 5; ++round) {
        auto output = std::make_unique<SoundOutputDevice>(sound);
        output->startSound();
        ASSERT_TRUE(output->isPlaying());
        output->stopSound();
        output->startSound();
        output.reset();
    }
}

TEST_F(SoundOutputRealAudio, NoOutputSilencesAndOutputComesBack)
{
    SoundOutputDevice output(sound);
    ToneFeeder tone(sound);
    tone.start();
    output.startSound();
    ASSERT_GE(recorder.waitForLoud(0, silenceLevel, 3000), 0);

    sound.setNoOutput(true);
    QTest::qWait(1500);  // what was in flight drains
    const size_t silentFrom = recorder.samples().size();
    ASSERT_TRUE(recorder.waitForSamples(silentFrom + MonitorRecorder::rate / 2, 3000));
    EXPECT_LT(rmsLevel(recorder.samples().data() + silentFrom, MonitorRecorder::rate / 2), 1.0);
    EXPECT_LT(sound.numSoundSamples(), 20000 + SoundOutputObject::frameCount);

    sound.setNoOutput(false);
    const size_t resumedFrom = recorder.samples().size();
    const long onset = recorder.waitForLoud(resumedFrom, silenceLevel, 3000);
    ASSERT_GE(onset, 0) << "no sound after noOutput was switched off";
    expectTone(onset);
}

// A second sink that the test plugs in and pulls out like a headset.
class LateSink {
public:
    static constexpr const char* name = "korvel_late";

    ~LateSink() { unplug(); }

    bool plug()
    {
        QProcess pactl;
        pactl.start("pactl", {"load-module", "module-null-sink", QString("sink_name=") + name,
                              "sink_properties=device.description=Korvel_Late_Sink"});
        if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
            return false;
        module = pactl.readAllStandardOutput().trimmed();
        return !module.isEmpty();
    }

    void unplug()
    {
        if (module.isEmpty())
            return;
        QProcess::execute("pactl", {"unload-module", QString::fromUtf8(module)});
        module.clear();
    }

private:
    QByteArray module;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < timeoutMs)
        QTest::qWait(20);
    return condition();
}

TEST_F(SoundOutputRealAudio, OutputWaitsForItsDeviceAndSaysWhenItGoes)
{
    SoundOutputDevice output(sound);
    ToneFeeder tone(sound);
    tone.start();
    output.startSound(LateSink::name);
    EXPECT_FALSE(output.isPlaying());
    EXPECT_EQ(output.statusText(), "Audio output device not available");

    LateSink headset;
    ASSERT_TRUE(headset.plug());
    ASSERT_TRUE(waitFor([&] { return output.isPlaying(); }, 5000)) << "the output did not find the new device";
    EXPECT_TRUE(output.statusText().isEmpty());
    MonitorRecorder lateRecorder;
    ASSERT_TRUE(lateRecorder.start(LateSink::name));
    const long onset = lateRecorder.waitForLoud(0, silenceLevel, 4000);
    ASSERT_GE(onset, 0) << "nothing was heard on the new device";

    headset.unplug();
    ASSERT_TRUE(waitFor([&] { return !output.isPlaying(); }, 3000));
    EXPECT_FALSE(output.statusText().isEmpty());
    // Playback goes on without a device: the ring is still emptied in real
    // time, so the feeder, which only adds while fewer than 20000 wait, goes on.
    const long fedBefore = tone.fed();
    QTest::qWait(1000);
    EXPECT_GT(tone.fed() - fedBefore, pipelineRate / 2);
}

TEST_F(SoundOutputRealAudio, DISABLED_MeasureCpuWhilePlaying10Seconds)
{
    SoundOutputDevice output(sound);
    ToneFeeder tone(sound);
    tone.start();
    output.startSound();
    ASSERT_GE(recorder.waitForLoud(0, silenceLevel, 3000), 0);

    rusage before {}, after {};
    getrusage(RUSAGE_SELF, &before);
    const qint64 from = recorder.elapsedMs();
    QTest::qWait(10000);
    getrusage(RUSAGE_SELF, &after);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    const double wall = static_cast<double>(recorder.elapsedMs() - from) / 1000.0;
    std::printf("sound output CPU: %.3f s in %.1f s = %.2f %% of one core (parec counted outside)\n", cpu, wall,
                100.0 * cpu / wall);
}

// Needs no sound server: with none, or with the device missing, the output
// says why and keeps emptying the ring in real time.
TEST(SoundOutputDevice, MissingDeviceIsReportedAndPlaybackKeepsMoving)
{
    SoundOutputObject sound;
    sound.setPlaybackVolume(1.0);
    sound.setNoOutput(false);
    SoundOutputDevice output(sound);
    QSignalSpy status(&output, &SoundOutputDevice::statusChanged);

    output.startSound("korvel-no-such-device");
    EXPECT_FALSE(output.isPlaying());
    EXPECT_FALSE(output.statusText().isEmpty());
    EXPECT_EQ(status.count(), 1);

    std::vector<double> second(44100, 1000.0);
    sound.addSoundData(second.data(), 44100, 44100.0);
    QTest::qWait(900);
    EXPECT_LE(sound.numSoundSamples(), 44100 - 3 * SoundOutputObject::frameCount);

    output.stopSound();
    EXPECT_TRUE(output.statusText().isEmpty());
    const int waiting = sound.numSoundSamples();
    QTest::qWait(600);
    EXPECT_EQ(sound.numSoundSamples(), waiting);
}

}  // namespace
