#pragma once

#include "common/ComplexSample.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// Live I/Q input for the DGPS decoders: UDP datagrams on 127.0.0.1, each four
// header bytes and then up to 1024 bytes of sample pairs (I then Q, 16 bits
// little-endian, signed by default, or unsigned with 32768 for zero). A
// receiver thread puts the samples of each datagram into a ring that one
// reader empties with read(). A datagram that finds the ring too full is
// dropped whole and counted, never written over unread samples; a shorter
// datagram gives the whole samples it holds; a longer one is dropped and
// counted with a log line. Samples come from one sender: the one named with
// takeOnlyFrom(), else the first whose datagram arrives; datagrams of any
// other sender are counted and dropped, as two interleaved streams would
// decode as neither.
class DgpsUdpReceiver {
public:
    static constexpr int kHeaderBytes = 4;
    static constexpr int kPayloadBytes = 1024;
    // Ring size, bytes: four seconds at 250 kS/s.
    static constexpr size_t kRingBytes = size_t{1} << 22;

    DgpsUdpReceiver();
    ~DgpsUdpReceiver();
    DgpsUdpReceiver(const DgpsUdpReceiver&) = delete;
    DgpsUdpReceiver& operator=(const DgpsUdpReceiver&) = delete;

    // Binds 127.0.0.1:port (0 picks a free port, see port()) and starts the
    // receiver thread. False with `error` set when the socket cannot be had.
    bool start(int port, bool unsignedSamples, std::string& error);
    // Ends the receiver thread and closes the socket; also done at destruction.
    void stop();
    int port() const { return m_Port; }
    // Before start(): the only sender taken, "ADDR:PORT" with a numeric IPv4
    // address. False when the text is no such address.
    bool takeOnlyFrom(const std::string& addressAndPort);
    // "ADDR:PORT" of the sender taken, "" before the first datagram.
    std::string sender() const;

    // Takes up to `most` (>= 0) samples from the ring into `out`; returns how
    // many. One reader thread at a time; allocates nothing.
    int read(ComplexSample* out, int most);

    uint64_t datagrams() const { return m_Datagrams.load(); }
    uint64_t droppedFull() const { return m_DroppedFull.load(); }
    uint64_t droppedOversize() const { return m_DroppedOversize.load(); }
    uint64_t droppedOtherSenders() const { return m_DroppedOtherSenders.load(); }

private:
    void receive();

    int m_Socket = -1;
    int m_Port = 0;
    bool m_Unsigned = false;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::vector<uint8_t> udpRing;
    std::atomic<uint64_t> udpWritePos{0}; // bytes written and read so far
    std::atomic<uint64_t> udpReadPos{0};
    std::atomic<uint64_t> m_Datagrams{0};
    std::atomic<uint64_t> m_DroppedFull{0};
    std::atomic<uint64_t> m_DroppedOversize{0};
    std::atomic<uint64_t> m_DroppedOtherSenders{0};
    // The sender taken: IPv4 address and port in network order, packed;
    // 0 while none is.
    std::atomic<uint64_t> m_Sender{0};
};
