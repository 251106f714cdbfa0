#include "app/SoundOutputDevice.h"

#include "dsp/SystemLog.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace {

constexpr int buffersInFlight = 3;
constexpr int deviceCheckMs = 2000;
constexpr int bufferMs = 1000 * SoundOutputObject::frameCount / SoundOutputObject::outputRate;

QAudioFormat outputFormat()
{
    QAudioFormat format;
    format.setSampleRate(SoundOutputObject::outputRate);
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
    if (sink) {
        sink->stop();
        delete sink;
    }
}

void SoundOutputDevice::startSound(const QByteArray& deviceId)
{
    SystemLog("Start Sound");
    closeSink();
    wantedDeviceId = deviceId;
    started = true;
    deviceCheck.start();
    openSink();
}

void SoundOutputDevice::stopSound()
{
    SystemLog("Stop Sound");
    started = false;
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
        SystemLog("null sound device");
        waitForDevice(QMediaDevices::audioOutputs().isEmpty() ? tr("No audio output device")
                                                              : tr("Audio output device not available"));
        return;
    }
    SystemLog("Device: %s UID: %s", qPrintable(device.description()), device.id().constData());
    sink = new QAudioSink(device, outputFormat(), this);
    sink->setBufferSize(buffersInFlight * SoundOutputObject::frameCount * qsizetype(sizeof(int16_t)));
    sink->start(&reader);
    // A sink that cannot reach its device fails inside start(), without a
    // later state change; watch it only once it runs.
    if (sink->state() == QAudio::StoppedState) {
        SystemLog("sound output error %d", int(sink->error()));
        closeSink();
        waitForDevice(tr("Audio output failed"));
        return;
    }
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
    SystemLog("sound output error %d", int(sink->error()));
    closeSink();
    waitForDevice(tr("Audio output failed"));
}

void SoundOutputDevice::waitForDevice(const QString& reason)
{
    setStatus(reason);
    if (!silentClock.isActive())
        silentClock.start();
}

void SoundOutputDevice::checkDevices()
{
    if (!sink) {
        if (!findOutput(wantedDeviceId).isNull())
            openSink();
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
