#pragma once

#include "app/SoundRingReader.h"
#include "audio/SoundOutputObject.h"

#include <QAudioDevice>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QAudioSink;

// Plays the sound ring of a SoundOutputObject on an audio device: 44100 Hz,
// mono, 16-bit, pulled by the sink in short pieces with about 0.12 s in
// flight. Lives on the GUI thread.
//
// When there is no device, the chosen one is missing or the sink fails, the
// ring is still emptied in real time (playback goes on, silently), the reason
// is reported through statusText(), and the output starts by itself as soon as
// the device can be opened again.
class SoundOutputDevice : public QObject {
    Q_OBJECT
public:
    explicit SoundOutputDevice(SoundOutputObject& sound, QObject* parent = nullptr);
    ~SoundOutputDevice() override;

    // (Re)starts the output on the device with this unique identifier
    // (QAudioDevice::id(), the table's UID); empty: the system's default
    // device, followed when the default changes.
    void startSound(const QByteArray& deviceId = {});
    // Stops the output; the ring is left as it is.
    void stopSound();

    // True while a sink is open and pulling from the ring.
    bool isPlaying() const;
    // Why nothing can be heard, for the status line; empty while playing or stopped.
    QString statusText() const { return status; }
    QByteArray deviceId() const { return wantedDeviceId; }
    // The device played on; null when none.
    QAudioDevice currentDevice() const { return device; }

signals:
    void statusChanged(const QString& text);

private:
    void openSink();
    void closeSink();
    void sinkStateChanged();
    void waitForDevice(const QString& reason);
    void checkDevices();
    void playSilently();
    void setStatus(const QString& text);

    SoundOutputObject& sound;
    SoundRingReader reader;
    QAudioSink* sink = nullptr;
    QAudioDevice device;
    QByteArray wantedDeviceId;
    QString status;
    QTimer deviceCheck;   // retries a failed start, notices a lost device, follows the default device
    QElapsedTimer sinceLastCheck;
    QTimer silentClock;   // empties the ring in real time while nothing plays
    std::vector<int16_t> discard;
};
