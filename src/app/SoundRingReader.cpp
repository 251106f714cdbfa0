#include "app/SoundRingReader.h"

#include <algorithm>
#include <cstring>

SoundRingReader::SoundRingReader(SoundOutputObject& sound, QObject* parent)
    : QIODevice(parent), sound(sound), buffer(pieceSamples)
{
    lastRead.start();
}

qint64 SoundRingReader::bytesAvailable() const
{
    return bufferBytes + QIODevice::bytesAvailable();
}

qint64 SoundRingReader::readData(char* data, qint64 maxSize)
{
    const auto* bytes = reinterpret_cast<const char*>(buffer.data());
    lastRead.start();
    qint64 copied = 0;
    while (copied < maxSize) {
        if (bytesHandedOut == bufferBytes) {
            sound.readSound(buffer.data(), pieceSamples);
            bytesHandedOut = 0;
        }
        const qint64 n = std::min(maxSize - copied, bufferBytes - bytesHandedOut);
        std::memcpy(data + copied, bytes + bytesHandedOut, static_cast<size_t>(n));
        bytesHandedOut += n;
        copied += n;
    }
    return copied;
}

qint64 SoundRingReader::writeData(const char*, qint64)
{
    return -1;
}
