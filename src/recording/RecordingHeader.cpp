#include "recording/RecordingHeader.h"

#include "common/ByteFields.h"

#include <cstring>

using namespace ByteFields;

namespace {
RecordingHeader::SystemTime systemTimeAt(const uint8_t* p)
{
    RecordingHeader::SystemTime t;
    t.wYear = u16(p);
    t.wMonth = u16(p + 2);
    t.wDayOfWeek = u16(p + 4);
    t.wDay = u16(p + 6);
    t.wHour = u16(p + 8);
    t.wMinute = u16(p + 10);
    t.wSecond = u16(p + 12);
    t.wMilliseconds = u16(p + 14);
    return t;
}
} // namespace

void RecordingHeader::copyWaveFields(const uint8_t* fileStart)
{
    f_len = u32(fileStart + 4);
    channel = u16(fileStart + 22);
    samples_per_sec = u32(fileStart + 24);
    avg_bytes_per_sec = u32(fileStart + 28);
    bits_per_sample = u16(fileStart + 34);
    std::memcpy(chunkId, fileStart + 36, 4);
    data_len = u32(fileStart + 40);
}

RecordingHeader RecordingHeader::fromBytes(const uint8_t* bytes)
{
    RecordingHeader h;
    h.copyWaveFields(bytes);
    h.startTime = systemTimeAt(bytes + 46);
    h.stopTime = systemTimeAt(bytes + 62);
    h.CenterFreq = u32(bytes + 78);
    h.ADFrequency = u32(bytes + 82);
    h.IFFrequency = u32(bytes + 86);
    h.Bandwidth = u32(bytes + 90);
    h.IQOffset = u32(bytes + 94);
    h.DBOffset = u32(bytes + 98);
    return h;
}

void RecordingHeader::clearReceiverInfo()
{
    startTime = {};
    stopTime = {};
    CenterFreq = ADFrequency = IFFrequency = Bandwidth = IQOffset = DBOffset = 0;
}
