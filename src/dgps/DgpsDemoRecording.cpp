#include "dgps/DgpsDemoRecording.h"

#include "common/GccRestrictWarning.h"
#include "dgps/MskModulator.h"
#include "dgps/RtcmWord.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

constexpr int kSampleRate = 125000;
constexpr int kSeconds = 30;
constexpr double kCentreHz = 300000.0;

struct DemoBeacon {
    double kHz;
    int baud;
    int referenceId;
    double amplitude;
};

// The beacons of the list below: one on the band centre, one on a half-kHz channel.
constexpr DemoBeacon kBeacons[] = {
    {298.0, 100, 601, 40.0},
    {300.0, 200, 602, 60.0},
    {303.5, 100, 604, 25.0},
    {310.0, 200, 605, 50.0},
};

constexpr const char* kList =
    "# Made-up stations of the demo recording; not real beacons.\n"
    "298.0;100;801;601;601;Demo Point;made-up demo station;Demoland;54*00'00N;10*00'00E\n"
    "300.0;200;802;602;603;Centre Light;made-up demo station;Demoland;55*30'00N;12*15'00E\n"
    "303.5;100;803;604;604;Half Channel Head;made-up demo station;Demoland;53*10'00N;8*05'00E\n"
    "310.0;200;804;605;605;Far Cape;made-up demo station;Demoland;57*45'00N;9*30'00W\n";

// RTCM messages of one station for `bits` bits: a type 9 set of three
// corrections' words, then a type 6 null frame, over and over.
std::vector<uint8_t> messages(int referenceId, size_t bits)
{
    std::vector<uint8_t> out;
    int d29 = 0, d30 = 0;
    const auto put = [&](uint32_t data) {
        const uint32_t word = RtcmWord::encode(data, d29, d30);
        for (int k = 29; k >= 0; --k)
            out.push_back((word >> k) & 1);
        d29 = (word >> 1) & 1;
        d30 = word & 1;
    };
    for (uint32_t sequence = 0; out.size() < bits; ++sequence) {
        const bool nullFrame = sequence % 2;
        const uint32_t dataWords = nullFrame ? 0 : 5;
        put(RtcmWord::kPreamble << 16 | (nullFrame ? 6u : 9u) << 10 | static_cast<uint32_t>(referenceId));
        put((sequence * 37 % 8192) << 11 | (sequence % 8) << 8 | dataWords << 3);
        for (uint32_t w = 0; w < dataWords; ++w)
            put((sequence * 2654435761u + w * 40503u) & 0xFFFFFF);
    }
    out.resize(bits);
    return out;
}

bool writeText(const std::filesystem::path& target, const char* text, std::string& error)
{
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
    const std::filesystem::path temporary = target.parent_path() / ("." + target.filename().string() + ".part");
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error = "cannot write " + temporary.string() + ": " + std::strerror(errno);
        return false;
    }
    const size_t length = std::strlen(text);
    const bool written = std::fwrite(text, 1, length, f) == length;
    std::error_code ec;
    if (std::fclose(f) != 0 || !written) {
        error = "cannot write " + target.string() + ": " + std::strerror(errno);
        std::filesystem::remove(temporary, ec);
        return false;
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        error = "cannot rename to " + target.string() + ": " + ec.message();
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace

DemoRecordings::Entry DgpsDemoRecording::entry()
{
    return {"SDRSharp_20261205_163935Z_300000Hz_IQ.wav",
            "DGPS beacons, 125 kHz around 300 kHz: four made-up stations at 298.0, 300.0, 303.5 and 310.0 kHz "
            "(korvel-cli dgps FILE --stations DGPSSTATIONLIST.TXT, the list beside it)",
            {}};
}

const char* DgpsDemoRecording::stationList()
{
    return kList;
}

bool DgpsDemoRecording::write(const std::string& folder, std::string& error)
{
    std::vector<MskModulator> beacons;
    for (const DemoBeacon& b : kBeacons)
        beacons.emplace_back(1000.0 * b.kHz - kCentreHz, b.baud, kSampleRate, b.amplitude,
                             messages(b.referenceId, static_cast<size_t>(kSeconds * b.baud)), 0);
    const auto source = [&beacons](int64_t n, double& i, double& q) {
        ComplexSample s;
        for (const MskModulator& m : beacons)
            m.add(n, 1, &s);
        i += s.im;
        q += s.re;
    };
    if (!DemoRecordings::writeExtra(folder, entry(), kSampleRate, kSeconds, kCentreHz, source, error))
        return false;
    return writeText(std::filesystem::path(folder) / kStationListName, kList, error);
}
