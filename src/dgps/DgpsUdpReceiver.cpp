#include "dgps/DgpsUdpReceiver.h"

#include "common/SystemLog.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

DgpsUdpReceiver::DgpsUdpReceiver() : udpRing(kRingBytes) {}

DgpsUdpReceiver::~DgpsUdpReceiver()
{
    stop();
}

bool DgpsUdpReceiver::start(int port, bool unsignedSamples, std::string& error)
{
    stop();
    m_Unsigned = unsignedSamples;
    m_Socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_Socket < 0) {
        error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
        SystemLog("%s", std::strerror(errno));
        return false;
    }
    // No address or port reuse: a second listener on the port would take
    // some of the datagrams from the first without either knowing.
    // Room in the kernel for bursts while the decoders are busy.
    const int buffer = 4 << 20;
    ::setsockopt(m_Socket, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        SystemLog("%s", std::strerror(errno));
        ::close(m_Socket);
        m_Socket = -1;
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length);
    m_Port = ntohs(address.sin_port);
    m_Stop = false;
    m_Thread = std::thread([this] { receive(); });
    return true;
}

void DgpsUdpReceiver::stop()
{
    m_Stop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    if (m_Socket >= 0)
        ::close(m_Socket);
    m_Socket = -1;
}

void DgpsUdpReceiver::receive()
{
    SystemLog("UDPThread");
    // One byte more than a full datagram shows one that is too long.
    uint8_t datagram[kHeaderBytes + kPayloadBytes + 1];
    pollfd waiting{m_Socket, POLLIN, 0};
    while (!m_Stop) {
        if (::poll(&waiting, 1, 100) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(m_Socket, datagram, sizeof datagram, MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno != EINTR && errno != EAGAIN)
                SystemLog("%s", std::strerror(errno));
            continue;
        }
        const uint64_t sender = uint64_t{from.sin_addr.s_addr} << 16 | from.sin_port;
        uint64_t taken = 0;
        if (!m_Sender.compare_exchange_strong(taken, sender) && taken != sender) {
            ++m_DroppedOtherSenders;
            continue;
        }
        ++m_Datagrams;
        if (got > kHeaderBytes + kPayloadBytes) {
            SystemLog("datagram too large for buffer: truncated");
            ++m_DroppedOversize;
            continue;
        }
        const size_t bytes = got > kHeaderBytes ? static_cast<size_t>(got - kHeaderBytes) / 4 * 4 : 0;
        const uint64_t write = udpWritePos.load(std::memory_order_relaxed);
        if (write + bytes - udpReadPos.load(std::memory_order_acquire) > kRingBytes) {
            ++m_DroppedFull;
            continue;
        }
        const size_t at = write % kRingBytes;
        const size_t first = std::min(bytes, kRingBytes - at);
        std::memcpy(udpRing.data() + at, datagram + kHeaderBytes, first);
        std::memcpy(udpRing.data(), datagram + kHeaderBytes + first, bytes - first);
        udpWritePos.store(write + bytes, std::memory_order_release);
    }
}

bool DgpsUdpReceiver::takeOnlyFrom(const std::string& addressAndPort)
{
    const size_t colon = addressAndPort.rfind(':');
    if (colon == std::string::npos)
        return false;
    in_addr address{};
    if (::inet_pton(AF_INET, addressAndPort.substr(0, colon).c_str(), &address) != 1)
        return false;
    const std::string portText = addressAndPort.substr(colon + 1);
    char* end = nullptr;
    const long port = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || port < 1 || port > 65535)
        return false;
    m_Sender = uint64_t{address.s_addr} << 16 | htons(static_cast<uint16_t>(port));
    return true;
}

std::string DgpsUdpReceiver::sender() const
{
    const uint64_t taken = m_Sender.load();
    if (taken == 0)
        return {};
    in_addr address{};
    address.s_addr = static_cast<uint32_t>(taken >> 16);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(static_cast<uint16_t>(taken & 0xFFFF)));
}

int DgpsUdpReceiver::read(ComplexSample* out, int most)
{
    const uint64_t read = udpReadPos.load(std::memory_order_relaxed);
    const uint64_t available = (udpWritePos.load(std::memory_order_acquire) - read) / 4;
    const int n = static_cast<int>(std::min<uint64_t>(available, static_cast<uint64_t>(std::max(most, 0))));
    const double zero = m_Unsigned ? 32768.0 : 0.0;
    for (int k = 0; k < n; ++k) {
        const uint8_t* p = udpRing.data() + (read + 4 * static_cast<uint64_t>(k)) % kRingBytes;
        const uint16_t i = static_cast<uint16_t>(p[0] | p[1] << 8);
        const uint16_t q = static_cast<uint16_t>(p[2] | p[3] << 8);
        // In-phase first, into im, as the recording readers put it.
        out[k].im = m_Unsigned ? i - zero : static_cast<int16_t>(i);
        out[k].re = m_Unsigned ? q - zero : static_cast<int16_t>(q);
    }
    udpReadPos.store(read + 4 * static_cast<uint64_t>(n), std::memory_order_release);
    return n;
}
