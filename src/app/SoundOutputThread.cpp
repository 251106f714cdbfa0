#include "app/SoundOutputThread.h"

#include "app/SoundOutputDevice.h"

SoundOutputThread::SoundOutputThread(SoundOutputObject& sound, QObject* parent)
    : QObject(parent)
{
    thread_.setObjectName("sound output");
    thread_.start(QThread::TimeCriticalPriority);
    // Made on its thread, so that its timers, sink and pull source live there.
    auto* context = new QObject;
    context->moveToThread(&thread_);
    QMetaObject::invokeMethod(
        context, [this, &sound] { device_ = new SoundOutputDevice(sound); }, Qt::BlockingQueuedConnection);
    context->deleteLater();
    connect(device_, &SoundOutputDevice::statusChanged, this, [this](const QString& text) {
        status_ = text;
        emit statusChanged(text);
    });
}

SoundOutputThread::~SoundOutputThread()
{
    disconnect(device_, nullptr, this, nullptr);
    // The sink must be closed and gone on its own thread before the thread ends.
    QMetaObject::invokeMethod(
        device_,
        [this] {
            device_->stopSound();
            delete device_;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void SoundOutputThread::startSound(const QByteArray& deviceId)
{
    deviceId_ = deviceId;
    QMetaObject::invokeMethod(device_, [device = device_, deviceId] { device->startSound(deviceId); },
                              Qt::QueuedConnection);
}
