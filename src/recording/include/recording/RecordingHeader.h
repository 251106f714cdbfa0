#pragma once

#include <cstddef>
#include <cstdint>

// The 114-byte little-endian header record kept for every open recording:
// bytes 0 to 43 mirror a RIFF/WAVE header, bytes 44 to 113 the receiver
// information chunk of the SpectraVue layout. Recognisers fill it from their
// own layout; the fallback layout is this record byte for byte.
struct RecordingHeader {
    static constexpr size_t kSize = 114;

    // Field order of a Windows SYSTEMTIME.
    struct SystemTime {
        uint16_t wYear = 0;
        uint16_t wMonth = 0; // 1 to 12
        uint16_t wDayOfWeek = 0;
        uint16_t wDay = 0;
        uint16_t wHour = 0;
        uint16_t wMinute = 0;
        uint16_t wSecond = 0;
        uint16_t wMilliseconds = 0;
    };

    uint32_t f_len = 0;             // RIFF length: file length minus 8
    uint16_t channel = 0;
    uint32_t samples_per_sec = 0;
    uint32_t avg_bytes_per_sec = 0;
    uint16_t bits_per_sample = 0;
    char chunkId[4] = {};
    uint32_t data_len = 0;
    SystemTime startTime;
    SystemTime stopTime;
    uint32_t CenterFreq = 0;        // Hz
    uint32_t ADFrequency = 0;
    uint32_t IFFrequency = 0;
    uint32_t Bandwidth = 0;         // Hz
    uint32_t IQOffset = 0;
    uint32_t DBOffset = 0;

    // Reads the record from kSize bytes laid out as described above.
    static RecordingHeader fromBytes(const uint8_t* bytes);
    // Copies the RIFF/WAVE fields from their offsets in a file's first 44 bytes.
    void copyWaveFields(const uint8_t* fileStart);
    // Zeroes the receiver fields (times, frequencies, offsets), for a file
    // that carries no receiver information.
    void clearReceiverInfo();
};
