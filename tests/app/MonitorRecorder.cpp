#include "MonitorRecorder.h"

#include <QStandardPaths>
#include <QTest>

#include <cstdlib>
#include <cstring>

bool MonitorRecorder::available()
{
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER") && !qEnvironmentVariableIsEmpty("KORVEL_TEST_SINK")
        && !QStandardPaths::findExecutable("parec").isEmpty();
}

MonitorRecorder::~MonitorRecorder()
{
    if (parec.state() != QProcess::NotRunning) {
        parec.kill();
        parec.waitForFinished(3000);
    }
}

bool MonitorRecorder::start(const QString& sink)
{
    const QString monitor = (sink.isEmpty() ? qEnvironmentVariable("KORVEL_TEST_SINK") : sink) + ".monitor";
    parec.start("parec", {"--latency-msec=10", "-d", monitor, "--format=s16le", "--rate=44100", "--channels=1"});
    if (!parec.waitForStarted(5000))
        return false;
    clock.start();
    return waitForSamples(1, 5000);
}

void MonitorRecorder::readPending()
{
    partial += parec.readAllStandardOutput();
    const qsizetype whole = partial.size() / 2;
    const size_t old = recorded.size();
    recorded.resize(old + whole);
    std::memcpy(recorded.data() + old, partial.constData(), whole * 2);
    partial.remove(0, whole * 2);
}

const std::vector<int16_t>& MonitorRecorder::samples()
{
    readPending();
    return recorded;
}

bool MonitorRecorder::waitForSamples(size_t count, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (samples().size() < count && waited.elapsed() < timeoutMs)
        QTest::qWait(5);
    return recorded.size() >= count;
}

long MonitorRecorder::waitForLoud(size_t from, int level, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    size_t scanned = from;
    while (waited.elapsed() < timeoutMs) {
        readPending();
        for (; scanned < recorded.size(); ++scanned) {
            if (std::abs(recorded[scanned]) > level) {
                loudArrival = clock.elapsed();
                return static_cast<long>(scanned);
            }
        }
        QTest::qWait(2);
    }
    return -1;
}
