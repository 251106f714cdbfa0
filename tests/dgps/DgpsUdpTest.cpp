#include "DgpsTestSignals.h"
#include "support/QuietLog.h"

#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsDecoderBank.h"
#include "dgps/DgpsLiveDecoder.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsUdpReceiver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace dgpstest;

namespace {

struct Positions : DgpsDecodeObserver {
    void firstWord(const DgpsFirstWord& w) override
    {
        const std::lock_guard lock(mutex);
        at.push_back(w.inputSample);
    }
    std::mutex mutex;
    std::vector<int64_t> at;
};

// Sends datagrams to 127.0.0.1:port from a socket of its own.
class Sender {
public:
    explicit Sender(int port) : m_Socket(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        m_To.sin_family = AF_INET;
        m_To.sin_port = htons(static_cast<uint16_t>(port));
        m_To.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Sender() { ::close(m_Socket); }
    void send(const std::vector<uint8_t>& datagram)
    {
        ASSERT_EQ(::sendto(m_Socket, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&m_To),
                           sizeof m_To),
                  static_cast<ssize_t>(datagram.size()));
    }

    // "127.0.0.1:PORT" of this sender, once it has sent.
    std::string address() const
    {
        sockaddr_in self{};
        socklen_t length = sizeof self;
        ::getsockname(m_Socket, reinterpret_cast<sockaddr*>(&self), &length);
        return "127.0.0.1:" + std::to_string(ntohs(self.sin_port));
    }

private:
    int m_Socket;
    sockaddr_in m_To{};
};

// Four header bytes, then the samples as signed (or offset unsigned) 16-bit pairs.
std::vector<uint8_t> datagram(const ComplexSample* s, int n, bool asUnsigned = false)
{
    std::vector<uint8_t> bytes(4, 0xAB);
    for (int k = 0; k < n; ++k)
        for (double v : {s[k].im, s[k].re}) {
            const uint16_t u = asUnsigned ? static_cast<uint16_t>(std::lround(v) + 32768)
                                          : static_cast<uint16_t>(static_cast<int16_t>(std::lround(v)));
            bytes.push_back(u & 0xFF);
            bytes.push_back(u >> 8);
        }
    return bytes;
}

template <class Done>
bool waitFor(Done&& done)
{
    for (int k = 0; k < 2000 && !done(); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

TEST(DgpsUdp, DatagramsDecodeLikeTheSameSamplesFromAFile)
{
    QuietLog quiet;
    const auto bits = rtcmBits("gpsd_sample.rtcm2");
    if (!bits)
        GTEST_SKIP() << "RTCM test streams not found beside the source tree";
    constexpr double rate = 16000.0;
    const MskModulator beacon(-1000.0, 200, rate, amplitudeFor(13.0, 400.0, rate, 200),
                              std::vector<uint8_t>(bits->begin() + 4000, bits->begin() + 6000), 500);
    std::vector<ComplexSample> signal(static_cast<size_t>(beacon.endSample() + rate));
    Noise(400.0, 4).add(static_cast<int>(signal.size()), signal.data());
    beacon.add(0, static_cast<int>(signal.size()), signal.data());
    // As a file would hold them: whole 16-bit values.
    for (ComplexSample& s : signal)
        s = {std::round(s.im), std::round(s.re)};
    DgpsStationTable table;
    table.readStationText("299.0;200;1;268;268;A;x;L;1*0'0N;1*0'0E\n");

    Positions fromFile;
    DgpsDecoderBank bank;
    bank.setDemodObjects(rate, 300000.0, rate, &table, false, &fromFile);
    bank.ProcessData(signal.data(), static_cast<int>(signal.size()));
    ASSERT_GT(fromFile.at.size(), 5u);

    DgpsUdpReceiver receiver;
    std::string error;
    ASSERT_TRUE(receiver.start(0, false, error)) << error;
    Positions live;
    DgpsLiveDecoder decoder;
    decoder.setDemodObjects(rate, 300000.0, &table, false, &live);
    std::thread processor([&] { decoder.run(receiver); });
    Sender sender(receiver.port());
    // Full datagrams of 256 samples, paced so that the socket never overflows;
    // the last one shorter.
    for (size_t at = 0; at < signal.size(); at += 256) {
        const int n = static_cast<int>(std::min<size_t>(256, signal.size() - at));
        sender.send(datagram(signal.data() + at, n));
        if (at / 256 % 64 == 63) {
            ASSERT_TRUE(waitFor([&] { return receiver.datagrams() == at / 256 + 1; }));
        }
    }
    EXPECT_TRUE(waitFor([&] { return decoder.samples() == static_cast<int64_t>(signal.size()); }));
    decoder.stop();
    processor.join();
    EXPECT_EQ(receiver.droppedFull(), 0u);
    const std::lock_guard lock(live.mutex);
    EXPECT_EQ(live.at, fromFile.at);
}

TEST(DgpsUdp, SamplesSignedOrUnsignedShortAndOversizeDatagrams)
{
    QuietLog quiet;
    const ComplexSample samples[3] = {{-1.0, 2.0}, {-32768.0, 32767.0}, {0.0, -300.0}};
    for (bool asUnsigned : {false, true}) {
        SCOPED_TRACE(asUnsigned);
        DgpsUdpReceiver receiver;
        std::string error;
        ASSERT_TRUE(receiver.start(0, asUnsigned, error)) << error;
        Sender sender(receiver.port());
        std::vector<uint8_t> shortOne = datagram(samples, 3, asUnsigned);
        shortOne.push_back(0x12); // half a sample: not taken
        sender.send(shortOne);
        std::vector<uint8_t> oversize(4 + 1024 + 4, 0);
        sender.send(oversize);
        sender.send(std::vector<uint8_t>(3, 0));
        ASSERT_TRUE(waitFor([&] { return receiver.datagrams() == 3; }));
        EXPECT_EQ(receiver.droppedOversize(), 1u);
        ComplexSample out[8];
        ASSERT_EQ(receiver.read(out, 8), 3);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(out[k].im, samples[k].im);
            EXPECT_EQ(out[k].re, samples[k].re);
        }
        EXPECT_EQ(receiver.read(out, 8), 0);
    }
}

TEST(DgpsUdp, AFullRingDropsWholeDatagramsAndCountsThem)
{
    QuietLog quiet;
    DgpsUdpReceiver receiver;
    std::string error;
    ASSERT_TRUE(receiver.start(0, false, error)) << error;
    Sender sender(receiver.port());
    std::vector<ComplexSample> samples(256);
    for (int k = 0; k < 256; ++k)
        samples[k] = {static_cast<double>(k), static_cast<double>(-k)};
    const std::vector<uint8_t> full = datagram(samples.data(), 256);
    const uint64_t fits = DgpsUdpReceiver::kRingBytes / 1024;
    for (uint64_t k = 0; k < fits + 10; ++k) {
        sender.send(full);
        if (k % 64 == 63) {
            ASSERT_TRUE(waitFor([&] { return receiver.datagrams() == k + 1; }));
        }
    }
    ASSERT_TRUE(waitFor([&] { return receiver.datagrams() == fits + 10; }));
    EXPECT_EQ(receiver.droppedFull(), 10u);
    // What was kept is intact, datagram after datagram.
    std::vector<ComplexSample> out(4096);
    uint64_t taken = 0;
    while (const int n = receiver.read(out.data(), static_cast<int>(out.size()))) {
        for (int k = 0; k < n; ++k)
            ASSERT_EQ(out[k].im, static_cast<double>((taken + k) % 256));
        taken += n;
    }
    EXPECT_EQ(taken, fits * 256);
}

TEST(DgpsUdp, APortInUseIsRefused)
{
    DgpsUdpReceiver first, second;
    std::string error;
    ASSERT_TRUE(first.start(0, false, error)) << error;
    EXPECT_FALSE(second.start(first.port(), false, error));
    EXPECT_NE(error.find(std::to_string(first.port())), std::string::npos) << error;
}

} // namespace

// The window stops the live input right after starting it: the stop must hold
// even when it comes before the decoding thread has begun.
TEST(DgpsUdpStop, StopBeforeRunEndsTheRun)
{
    QuietLog quiet;
    DgpsStationTable table;
    table.readStationText("299.0;200;1;268;268;A;x;L;1*0'0N;1*0'0E\n");
    DgpsUdpReceiver receiver;
    DgpsLiveDecoder decoder;
    decoder.setDemodObjects(16000.0, 300000.0, &table, false, nullptr);
    decoder.stop();
    decoder.run(receiver);
    SUCCEED();
}

namespace {

// Samples come from one sender: the first, or the one named; the others'
// datagrams are counted and dropped.
TEST(DgpsUdp, OneSenderIsTakenOthersAreCounted)
{
    QuietLog quiet;
    const std::vector<ComplexSample> samples(256, ComplexSample{100.0, -100.0});
    for (bool named : {false, true}) {
        SCOPED_TRACE(named);
        DgpsUdpReceiver receiver;
        std::string error;
        ASSERT_TRUE(receiver.start(0, false, error)) << error;
        Sender a(receiver.port()), b(receiver.port());
        b.send(datagram(samples.data(), 1));
        ASSERT_TRUE(waitFor([&] { return receiver.datagrams() + receiver.droppedOtherSenders() == 1; }));
        if (named) {
            // Named before any datagram of its own: a fresh receiver.
            receiver.stop();
            DgpsUdpReceiver chosen;
            ASSERT_FALSE(chosen.takeOnlyFrom("127.0.0.1"));
            ASSERT_FALSE(chosen.takeOnlyFrom("localhost:5"));
            ASSERT_TRUE(chosen.takeOnlyFrom(b.address()));
            ASSERT_TRUE(chosen.start(0, false, error)) << error;
            Sender c(chosen.port());
            for (int k = 0; k < 3; ++k)
                c.send(datagram(samples.data(), 256));
            EXPECT_TRUE(waitFor([&] { return chosen.droppedOtherSenders() == 3; }));
            EXPECT_EQ(chosen.datagrams(), 0u);
            continue;
        }
        for (int k = 0; k < 4; ++k) {
            a.send(datagram(samples.data(), 256));
            b.send(datagram(samples.data(), 256));
        }
        EXPECT_TRUE(waitFor([&] { return receiver.datagrams() + receiver.droppedOtherSenders() == 9; }));
        EXPECT_EQ(receiver.datagrams(), 5u);
        EXPECT_EQ(receiver.droppedOtherSenders(), 4u);
        EXPECT_EQ(receiver.sender(), b.address());
        std::vector<ComplexSample> out(2000);
        EXPECT_EQ(receiver.read(out.data(), 2000), 1 + 4 * 256);
    }
}

} // namespace
