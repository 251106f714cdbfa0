#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

class SoundOutputDevice;
class SoundOutputObject;

// Runs a SoundOutputDevice on a thread of its own: the audio sink pulls the
// sound ring from that thread's event loop, so that nothing the GUI thread
// does (a waterfall, a dialog, a busy slot) can hold the sound up. Calls come
// from the GUI thread and are handed over; the device's status comes back as
// a signal.
class SoundOutputThread : public QObject {
    Q_OBJECT
public:
    // sound: the ring played; must outlive this object.
    explicit SoundOutputThread(SoundOutputObject& sound, QObject* parent = nullptr);
    // Stops the sink and ends the thread.
    ~SoundOutputThread() override;

    // See SoundOutputDevice::startSound; returns at once.
    void startSound(const QByteArray& deviceId = {});
    // The device asked for last; empty for the system's default.
    QByteArray deviceId() const { return deviceId_; }
    // Why nothing can be heard, as last reported; empty while playing.
    QString statusText() const { return status_; }

signals:
    void statusChanged(const QString& text);

private:
    QThread thread_;
    SoundOutputDevice* device_ = nullptr;
    QByteArray deviceId_;
    QString status_;
};
