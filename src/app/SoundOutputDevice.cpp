#include "app/SoundOutputDevice.h"

#include "common/SystemLog.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>

namespace {

// What the sink holds ahead of the speaker: Pause and the volume are heard
// this much later. Long enough to ride over the GUI thread's work on a second
// of a fast recording.
constexpr int sinkBufferMs = 120;
constexpr int deviceCheckMs = 1000;
// The sink reads every few tens of milliseconds; a stream the server dropped
// without telling Qt reads no more.
constexpr int stallMs = 2000;
constexpr int bufferMs = 1000 * SoundOutputObject::frameCount / SoundOutputObject::kOutputRate;

QAudioFormat outputFormat()
{
    QAudioFormat format;
    format.setSampleRate(SoundOutputObject::kOutputRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

QAudioDevice findOutput(const QByteArray& id)
{
    if (id.isEmpty())
        return QMediaDevices::defaultAudioOutput();
    for (const QAudioDevice& device : QMediaDevices::audioOutputs())
        if (device.id() == id)
            return device;
    return {};
}

}  // namespace

SoundOutputDevice::SoundOutputDevice(SoundOutputObject& sound, QObject* parent)
    : QObject(parent), sound(sound), reader(sound), discard(SoundOutputObject::frameCount)
{
    reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    deviceCheck.setInterval(deviceCheckMs);
    connect(&deviceCheck, &QTimer::timeout, this, &SoundOutputDevice::checkDevices);
    silentClock.setInterval(bufferMs);
    connect(&silentClock, &QTimer::timeout, this, &SoundOutputDevice::playSilently);
}

SoundOutputDevice::~SoundOutputDevice()
{
    // Sinks closed earlier may still wait for deleteLater(); they pull from
    // `reader`, so they must go before the members do, not with the children.
    if (sink)
        sink->stop();
    qDeleteAll(findChildren<QAudioSink*>(Qt::FindDirectChildrenOnly));
}

void SoundOutputDevice::startSound(const QByteArray& deviceId)
{
    SystemLog("Start Sound");
    closeSink();
    wantedDeviceId = deviceId;
    deviceCheck.start();
    sinceLastCheck.start();
    openSink();
}

void SoundOutputDevice::stopSound()
{
    SystemLog("Stop Sound");
    closeSink();
    deviceCheck.stop();
    silentClock.stop();
    setStatus({});
}

bool SoundOutputDevice::isPlaying() const
{
    return sink && sink->state() != QAudio::StoppedState;
}

void SoundOutputDevice::openSink()
{
    device = findOutput(wantedDeviceId);
    if (device.isNull()) {
        waitForDevice(QMediaDevices::audioOutputs().isEmpty() ? tr("No audio output device")
                                                              : tr("Audio output device not available"));
        return;
    }
    sink = new QAudioSink(device, outputFormat(), this);
    sink->setBufferSize(SoundOutputObject::kOutputRate * sinkBufferMs / 1000 * qsizetype(sizeof(int16_t)));
    reader.restartReadClock();
    sink->start(&reader);
    // A sink that cannot reach its device fails inside start(), without a
    // later state change; watch it only once it runs.
    if (sink->state() == QAudio::StoppedState) {
        closeSink();
        waitForDevice(tr("Audio output failed"));
        return;
    }
    SystemLog("Device: %s UID: %s, buffer %lld bytes", qPrintable(device.description()), device.id().constData(),
              static_cast<long long>(sink->bufferSize()));
    connect(sink, &QAudioSink::stateChanged, this, &SoundOutputDevice::sinkStateChanged);
    silentClock.stop();
    setStatus({});
}

void SoundOutputDevice::closeSink()
{
    if (!sink)
        return;
    disconnect(sink, nullptr, this, nullptr);
    sink->stop();
    // May run inside the sink's own signal.
    sink->deleteLater();
    sink = nullptr;
    device = QAudioDevice();
}

void SoundOutputDevice::sinkStateChanged()
{
    if (sink->state() != QAudio::StoppedState || sink->error() == QAudio::NoError)
        return;
    closeSink();
    waitForDevice(tr("Audio output failed"));
}

void SoundOutputDevice::waitForDevice(const QString& reason)
{
    // Retries fail the same way every second: log once per reason.
    if (reason != status)
        SystemLog("sound output: %s", qPrintable(reason));
    setStatus(reason);
    if (!silentClock.isActive())
        silentClock.start();
}

void SoundOutputDevice::checkDevices()
{
    // After the GUI thread was held up the sink has not had a chance to read either.
    const bool checkWasLate = sinceLastCheck.restart() > deviceCheckMs + 500;
    if (!sink) {
        if (!findOutput(wantedDeviceId).isNull())
            openSink();
        return;
    }
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (std::none_of(outputs.begin(), outputs.end(), [this](const QAudioDevice& d) { return d.id() == device.id(); })) {
        SystemLog("sound device %s gone", device.id().constData());
        closeSink();
        openSink();
        return;
    }
    if (reader.msSinceLastRead() > stallMs && !checkWasLate) {
        closeSink();
        waitForDevice(tr("Audio output failed"));
        return;
    }
    if (wantedDeviceId.isEmpty()) {
        const QAudioDevice systemDefault = QMediaDevices::defaultAudioOutput();
        if (!systemDefault.isNull() && systemDefault.id() != device.id()) {
            closeSink();
            openSink();
        }
    }
}

void SoundOutputDevice::playSilently()
{
    sound.fillSoundBuffer(discard.data());
}

void SoundOutputDevice::setStatus(const QString& text)
{
    if (text == status)
        return;
    status = text;
    emit statusChanged(status);
}
