#include "dgps/DgpsLiveDecoder.h"

#include "dgps/DgpsUdpReceiver.h"

#include <chrono>
#include <ctime>
#include <thread>

void DgpsLiveDecoder::setDemodObjects(double sampleRate, double centerFreq, DgpsStationTable* table,
                                      bool wholeKhzOnly, DgpsDecodeObserver* observer)
{
    m_Bank.setDemodObjects(sampleRate, centerFreq, sampleRate, table, wholeKhzOnly, observer);
    m_Samples = 0;
    m_Stop = false;
}

void DgpsLiveDecoder::run(DgpsUdpReceiver& receiver)
{
    // A stop() that comes before the thread gets here must still count.
    while (!m_Stop) {
        const int n = receiver.read(m_Chunk.data(), kChunk);
        if (n == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        m_Bank.setDecodeTime(static_cast<int32_t>(std::time(nullptr)));
        m_Bank.ProcessData(m_Chunk.data(), n);
        m_Samples += n;
    }
    m_Bank.finish();
}
