#pragma once

#include <QElapsedTimer>
#include <QProcess>

#include <cstdint>
#include <vector>

// Records what the test sink plays (its monitor, 44100 Hz mono 16-bit) while
// the test runs the event loop, and notes when loud audio first arrived.
// Available under scripts/with-audio.sh, which sets PULSE_SERVER and KORVEL_TEST_SINK.
class MonitorRecorder {
public:
    static constexpr int rate = 44100;

    static bool available();

    ~MonitorRecorder();

    // Starts recording the monitor of `sink` (empty: the test sink); returns
    // once audio flows (false after 5 s without).
    bool start(const QString& sink = {});
    // Samples recorded so far (also reads what is pending).
    const std::vector<int16_t>& samples();
    // Runs the event loop until `count` samples were recorded or `timeoutMs` passed.
    bool waitForSamples(size_t count, int timeoutMs);
    // Runs the event loop until a sample beyond `level` arrives after sample
    // `from`; returns its index, or -1 after `timeoutMs`.
    long waitForLoud(size_t from, int level, int timeoutMs);
    // Milliseconds on the recorder's clock (started by start()) at which the
    // last waitForLoud() saw its sample arrive.
    qint64 loudArrivalMs() const { return loudArrival; }
    qint64 elapsedMs() const { return clock.elapsed(); }

private:
    void readPending();

    QProcess parec;
    QElapsedTimer clock;
    std::vector<int16_t> recorded;
    QByteArray partial;
    qint64 loudArrival = -1;
};
