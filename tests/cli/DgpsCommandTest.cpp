#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include "dgps/DgpsDemoRecording.h"
#include "dgps/MskModulator.h"
#include "dgps/RtcmWord.h"

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

// The child sees HOME and XDG_DATA_HOME in a temporary folder, so no user's
// station list takes part.
class DgpsCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            previous.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", home.path.c_str(), 1);
        setenv("XDG_DATA_HOME", (home.path + "/data").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : previous) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    std::string demo()
    {
        std::string error;
        EXPECT_TRUE(DgpsDemoRecording::write(demoFolder.path, error)) << error;
        return demoFolder.path + "/" + DgpsDemoRecording::entry().fileName;
    }

    fixtures::TempDir home, demoFolder;
    std::vector<std::pair<std::string, std::optional<std::string>>> previous;
};

TEST_F(DgpsCommand, DemoRecordingAsTableAndJson)
{
    const std::string recording = demo();
    const std::string list = demoFolder.path + "/DGPSSTATIONLIST.TXT";
    const CliResult table = runCli({"dgps", recording, "--stations", list, "--lat", "54", "--lon", "10"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.err, "") << "no progress when stderr is no terminal";
    EXPECT_EQ(table.out.rfind("   Count   ID ref1 ref2  kHz Baud", 0), 0u);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 5);
    EXPECT_NE(table.out.find("Demo Point             Demoland    54.00   10.00       0 "), std::string::npos);

    const CliResult json = runCli({"dgps", recording, "--stations", list, "--json", "--whole-khz-only"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"seconds\": 30,"), std::string::npos);
    EXPECT_NE(json.out.find("\"decoders\": 82,"), std::string::npos);
    // Without the half-kHz channel its station is not heard.
    EXPECT_EQ(json.out.find("303.5"), std::string::npos);
    EXPECT_NE(json.out.find("{\"index\": 0, \"id\": 801, \"ref1\": 601, \"ref2\": 601, \"khz\": 298.0, \"baud\": 100, "
                            "\"city\": \"Demo Point\", \"country\": \"Demoland\", \"lat\": 54.00000, \"lon\": 10.00000, "
                            "\"km\": "),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"times\": [1796488780, "), std::string::npos);
}

TEST_F(DgpsCommand, ImportedAlmanacBecomesTheUsersList)
{
    std::ifstream almanac(std::string(KORVEL_TEST_DATA) + "/dgnss_24.xml");
    if (!almanac)
        GTEST_SKIP() << "almanac test data not found beside the source tree";
    const CliResult imported = runCli({"dgps", "--import-almanac", std::string(KORVEL_TEST_DATA) + "/dgnss_24.xml"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("348 stations written to " + home.path + "/data/Korvel/DGPSSTATIONLIST.TXT"),
              std::string::npos)
        << imported.out;
    // The real list has no station of the made-up demo: scanned, none heard.
    const CliResult scanned = runCli({"dgps", demo(), "--json"});
    ASSERT_EQ(scanned.status, 0) << scanned.err;
    // 41 whole-kHz channels, the list's 34 half-kHz ones (283.5 to 324.5)
    // and its 284.0.
    EXPECT_NE(scanned.out.find("\"decoders\": 152,"), std::string::npos) << scanned.out;
    EXPECT_NE(scanned.out.find("\"stations\": []"), std::string::npos);
}

TEST_F(DgpsCommand, BadInputGetsOneLineAndStatusTwo)
{
    const std::string recording = demo();
    const std::string list = demoFolder.path + "/DGPSSTATIONLIST.TXT";
    const std::string shortWave = demoFolder.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav",
                                                   fixtures::sdrSharp(fixtures::WaveFormat{}, 1000).bytes);
    // The same recording where no list lies beside it.
    fixtures::TempDir alone;
    const std::string withoutList = alone.path + "/" + std::filesystem::path(recording).filename().string();
    std::filesystem::copy_file(recording, withoutList);
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    for (const Case& c : std::vector<Case>{
             {{"dgps", withoutList}, "--import-almanac"},
             {{"dgps", recording, "--stations", demoFolder.path + "/none.txt"}, "none.txt"},
             {{"dgps", demoFolder.path + "/missing.wav", "--stations", list}, "missing.wav"},
             {{"dgps", recording, "--stations", list, "--lat", "95", "--lon", "0"}, "--lat"},
             {{"dgps", recording, "--stations", list, "--lat", "50"}, "--lat and --lon"},
             {{"dgps", recording, "--stations", list, "--fast"}, "--fast"},
             {{"dgps", "--import-almanac", list}, "almanac"},
             {{"dgps"}, "needs a FILE"},
             {{"dgps", "--udp", "--rate", "16000", "--stations", list}, "--center"},
             {{"dgps", "--udp", "--rate", "16000", "--center", "100000", "--stations", list}, "no beacon channel"},
             // Rates and frequencies take units here as everywhere.
             {{"dgps", "--udp", "--rate", "16k", "--center", "100k", "--stations", list}, "no beacon channel"},
             {{"dgps", "--udp", "--rate", "16000", "--center", "300000", "--udp-format", "f32", "--stations", list}, "u16"},
             {{"dgps", recording, "--port", "16000", "--stations", list}, "go with --udp"},
             {{"dgps", shortWave, "--stations", list}, "no DGPS beacon channel"},
         }) {
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_EQ(r.err.rfind("korvel-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// Live input: null frames of a listed station sent as datagrams while the
// command listens; each decode is a line as it happens.
TEST_F(DgpsCommand, LiveInputPrintsALinePerDecode)
{
    const std::string list = demoFolder.path + "/list.txt";
    std::ofstream(list) << "301.0;200;7;77;77;Live Point;x;Testland;50*0'0N;8*0'0E\n";
    // A port that was free a moment ago.
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    const int port = ntohs(address.sin_port);

    CliResult r;
    std::thread command([&] {
        r = runCli({"dgps", "--udp", "--rate", "16000", "--center", "300000", "--port", std::to_string(port),
                    "--seconds", "4", "--stations", list, "--json"});
    });
    std::vector<uint8_t> bits;
    int d29 = 0, d30 = 0;
    for (int m = 0; m < 10; ++m)
        for (uint32_t data : {RtcmWord::kPreamble << 16 | 6u << 10 | 77u, static_cast<uint32_t>(m) << 11}) {
            const uint32_t word = RtcmWord::encode(data, d29, d30);
            for (int k = 29; k >= 0; --k)
                bits.push_back((word >> k) & 1);
            d29 = (word >> 1) & 1;
            d30 = word & 1;
        }
    const MskModulator beacon(1000.0, 200, 16000, 2000.0, bits, 0);
    std::vector<ComplexSample> signal(static_cast<size_t>(beacon.endSample() + 16000));
    beacon.add(0, static_cast<int>(signal.size()), signal.data());
    // Datagrams sent before the command has bound its port are lost: wait
    // until the port is taken (binding it here fails), however slow the start.
    address.sin_port = htons(static_cast<uint16_t>(port));
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (bool taken = false; !taken && std::chrono::steady_clock::now() < giveUp;) {
        const int check = ::socket(AF_INET, SOCK_DGRAM, 0);
        taken = ::bind(check, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
        ::close(check);
        if (!taken)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int out = ::socket(AF_INET, SOCK_DGRAM, 0);
    for (size_t at = 0; at < signal.size(); at += 256) {
        std::vector<uint8_t> datagram(4, 0);
        for (size_t k = at; k < std::min(at + 256, signal.size()); ++k)
            for (double v : {signal[k].im, signal[k].re}) {
                const uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v)));
                datagram.push_back(u & 0xFF);
                datagram.push_back(u >> 8);
            }
        ::sendto(out, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (at / 256 % 32 == 31)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(out);
    command.join();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("listening on 127.0.0.1:" + std::to_string(port) + ", 30 decoders"), std::string::npos) << r.err;
    // The first frame has no bits before it.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 9) << r.out;
    EXPECT_NE(r.out.find("\"khz\": 301.0, \"baud\": 200, \"index\": 0, \"id\": 7, \"ref\": 77, \"type\": 6, "
                         "\"city\": \"Live Point\", \"country\": \"Testland\"}\n"),
              std::string::npos)
        << r.out;
}

} // namespace

// Stopped by a signal, a live run ends as when its time runs out: it reports
// what it set aside and exits with 128 + the signal's number.
TEST_F(DgpsCommand, LiveInputStoppedBySignalStillReportsWhatItIgnored)
{
    const std::string list = demoFolder.path + "/list.txt";
    std::ofstream(list) << "301.0;200;7;77;77;Live Point;x;Testland;50*0'0N;8*0'0E\n";
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);

    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        CliProcess process = startCli({"dgps", "--udp", "--rate", "16000", "--center", "300000", "--port",
                                       std::to_string(ntohs(address.sin_port)), "--seconds", "0", "--stations", list});
        ASSERT_GT(process.pid, 0);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (bool taken = false; !taken && std::chrono::steady_clock::now() < giveUp;) {
            const int check = ::socket(AF_INET, SOCK_DGRAM, 0);
            taken = ::bind(check, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
            ::close(check);
            if (!taken)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        // The first sender is the one listened to; the second is ignored and counted.
        const std::vector<uint8_t> datagram(4 + 4 * 256, 0);
        const int first = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int second = ::socket(AF_INET, SOCK_DGRAM, 0);
        ::sendto(first, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (int k = 0; k < 3; ++k)
            ::sendto(second, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address),
                     sizeof address);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ::kill(process.pid, signal);
        const CliResult r = finishCli(process);
        ::close(first);
        ::close(second);
        EXPECT_EQ(r.status, 128 + signal) << r.err;
        EXPECT_NE(r.err.find(" datagrams from senders other than"), std::string::npos) << r.err;
    }
}
