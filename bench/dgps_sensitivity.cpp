// Share of RTCM first words found against Eb/N0, for the product's decoder
// bank and for the plain full-rate detector of the tests, at 100 and 200 Bd.
// The words are those of a real RTCM stream (rtcm2/gpsd_sample.rtcm2 of the
// shared test data, or the file given as the first argument), MSK-modulated on
// 302.5 kHz of a 16 kS/s recording centred on 300 kHz, in white noise; and
// the first words the product logged under any other ID (every ID is listed).
// Prints a Markdown table, with the wrong IDs also per 1,000 first words sent.
//   dgps_sensitivity [FILE [FROM_DB TO_DB [REPEATS]]]   (4 to 20 dB, the stream once)
// With DGPS_SENSITIVITY_WRONG set, each word under a wrong ID goes to stderr.
#include "dgps/ReferenceDgpsDetector.h"

#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsDecoderBank.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/MskModulator.h"
#include "dgps/RtcmWord.h"
#include "common/SystemLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 16000.0;
constexpr double kCentre = 300000.0;
constexpr double kSigma = 300.0;

struct Positions : DgpsDecodeObserver {
    void firstWord(const DgpsFirstWord& w) override
    {
        if (w.stationId == 268)
            at.push_back(w.inputSample);
        else {
            ++wrongId;
            if (std::getenv("DGPS_SENSITIVITY_WRONG"))
                std::fprintf(stderr, "wrong id %d type %d at %lld\n", w.stationId, w.messageType, static_cast<long long>(w.inputSample));
        }
    }
    std::vector<int64_t> at;
    int wrongId = 0;
};

// First bits of the type 9 first words of station 268 in the stream.
std::vector<size_t> wordsIn(const std::vector<uint8_t>& bits)
{
    std::vector<size_t> words;
    for (size_t i = 2; i + 30 <= bits.size(); ++i) {
        uint32_t raw = 0;
        for (int k = 0; k < 30; ++k)
            raw = raw << 1 | bits[i + k];
        const int polarity = (raw >> 22) == 0x99 ? 1 : (raw >> 22) == 0x66 ? 0 : -1;
        if (polarity < 0)
            continue;
        const uint32_t word = polarity ? raw ^ 0x3FFFFFFF : raw;
        if (RtcmWord::parityHolds(word, bits[i - 2] ^ polarity, bits[i - 1] ^ polarity) &&
            RtcmWord::messageType(word) == 9 && RtcmWord::stationId(word) == 268) {
            words.push_back(i);
            i += 29;
        }
    }
    return words;
}

bool near(const std::vector<int64_t>& found, int64_t start, double halfBit)
{
    for (int64_t f : found)
        if (std::abs(f - start) < halfBit)
            return true;
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    SetSystemLogEnabled(false);
    const std::string path = argc > 1 && *argv[1] ? argv[1] : std::string(KORVEL_TEST_DATA) + "/rtcm2/gpsd_sample.rtcm2";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "dgps_sensitivity: cannot read %s\n", path.c_str());
        return 2;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    const std::vector<uint8_t> once = RtcmWord::unpackSixOfEight(bytes.data(), bytes.size());
    const int from = argc > 3 ? std::atoi(argv[2]) : 4;
    const int to = argc > 3 ? std::atoi(argv[3]) : 20;
    const int repeats = argc > 4 ? std::max(1, std::atoi(argv[4])) : 1;
    std::vector<uint8_t> bits;
    for (int r = 0; r < repeats; ++r)
        bits.insert(bits.end(), once.begin(), once.end());
    const std::vector<size_t> words = wordsIn(bits);
    DgpsStationTable table;
    // Every ID listed on the channel, so that a word logged under a wrong ID shows.
    std::string list;
    for (int id = 0; id < 1024; ++id)
        for (const char* rate : {"100", "200"})
            list += std::string("302.5;") + rate + ";1;" + std::to_string(id) + ";" + std::to_string(id) +
                    ";A;x;L;1*0'0N;1*0'0E\n";
    table.readStationText(list);

    std::printf("%zu first words per point\n\n", words.size());
    std::printf("| Eb/N0 dB | 100 Bd product | 100 Bd plain | 100 Bd wrong IDs (/1000) | 200 Bd product | 200 Bd plain | 200 Bd wrong IDs (/1000) |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int ebN0 = from; ebN0 <= to; ++ebN0) {
        std::printf("| %d |", ebN0);
        for (int baud : {100, 200}) {
            const double amplitude = std::sqrt(std::pow(10.0, ebN0 / 10.0) * 2.0 * kSigma * kSigma * baud / kRate);
            const MskModulator beacon(2500.0, baud, kRate, amplitude, bits, 1000);
            Positions product;
            DgpsDecoderBank bank;
            bank.setDemodObjects(kRate, kCentre, kRate, &table, false, &product);
            ReferenceDgpsDetector plain(302.5, baud, kCentre, kRate, {268});
            std::mt19937_64 rng(static_cast<uint64_t>(ebN0 * 1000 + baud));
            std::normal_distribution<double> noise(0.0, kSigma);
            const int64_t end = beacon.endSample() + static_cast<int64_t>(kRate);
            std::vector<ComplexSample> block(static_cast<size_t>(5 * kRate));
            for (int64_t at = 0; at < end; at += static_cast<int64_t>(block.size())) {
                for (ComplexSample& s : block)
                    s = {noise(rng), noise(rng)};
                beacon.add(at, static_cast<int>(block.size()), block.data());
                bank.ProcessData(block.data(), static_cast<int>(block.size()));
                plain.ProcessData(block.data(), static_cast<int>(block.size()));
            }
            std::vector<int64_t> plainAt;
            for (const ReferenceDgpsDetector::Word& w : plain.words)
                plainAt.push_back(w.inputSample);
            int byProduct = 0, byPlain = 0;
            const double halfBit = kRate / baud / 2;
            for (size_t w : words) {
                const int64_t start = beacon.bitStart(w);
                byProduct += near(product.at, start, halfBit);
                byPlain += near(plainAt, start, halfBit);
            }
            std::printf(" %5.1f %% | %5.1f %% | %d (%.1f) |", 100.0 * byProduct / words.size(),
                        100.0 * byPlain / words.size(), product.wrongId, 1000.0 * product.wrongId / words.size());
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    return 0;
}
