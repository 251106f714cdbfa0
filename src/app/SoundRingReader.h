#pragma once

#include "audio/SoundOutputObject.h"

#include <QElapsedTimer>
#include <QIODevice>

#include <vector>

// The pull source of the audio sink: hands out the sound ring's output (or
// silence) in short pieces, so that the volume and a flush are heard as soon as
// the sink's own buffer has played. It never ends and never returns short: a
// read of 0 bytes would stall the sink for good.
class SoundRingReader : public QIODevice {
    Q_OBJECT
public:
    explicit SoundRingReader(SoundOutputObject& sound, QObject* parent = nullptr);

    bool isSequential() const override { return true; }
    bool atEnd() const override { return false; }
    qint64 bytesAvailable() const override;

    // Milliseconds since the sink last read (or since restartReadClock()).
    qint64 msSinceLastRead() const { return lastRead.elapsed(); }
    void restartReadClock() { lastRead.start(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    static constexpr int pieceSamples = 256;
    static constexpr qint64 bufferBytes = pieceSamples * qint64(sizeof(int16_t));

    SoundOutputObject& sound;
    std::vector<int16_t> buffer;
    qint64 bytesHandedOut = bufferBytes;
    QElapsedTimer lastRead;
};
