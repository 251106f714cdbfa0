#pragma once

#include "dgps/DgpsDecoderBank.h"
#include "common/ComplexSample.h"

#include <atomic>
#include <cstdint>
#include <vector>

class DgpsDecodeObserver;
class DgpsStationTable;
class DgpsUdpReceiver;

// Feeds live samples from a DgpsUdpReceiver to a bank of channel decoders, up
// to 16384 samples at a time, and stamps each first word with the time of
// day it was found. run() loops on the calling thread until stop().
class DgpsLiveDecoder {
public:
    static constexpr int kChunk = 16384;

    // sampleRate: S/s of the incoming samples; centerFreq: Hz they are
    // centred on. table must outlive the decoder; observer may be null.
    // Also readies run() again after a stop().
    void setDemodObjects(double sampleRate, double centerFreq, DgpsStationTable* table, bool wholeKhzOnly,
                         DgpsDecodeObserver* observer);
    void run(DgpsUdpReceiver& receiver);
    void stop() { m_Stop = true; }

    int numDemodObj() const { return m_Bank.numDemodObj(); }
    // Samples decoded so far.
    int64_t samples() const { return m_Samples.load(); }

private:
    DgpsDecoderBank m_Bank;
    std::vector<ComplexSample> m_Chunk = std::vector<ComplexSample>(kChunk);
    std::atomic<bool> m_Stop{false};
    std::atomic<int64_t> m_Samples{0};
};
