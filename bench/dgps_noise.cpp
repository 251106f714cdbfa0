// Stations made up by noise: white noise alone, 50 kS/s around 304 kHz (every
// channel from 283.5 to 325 kHz, 100 and 200 Bd), through the decoder bank
// with a full station list. Prints the first words logged, the stations with
// any first word, and the stations listed (confirmed by a whole message or a
// repeated first word), as a Markdown table, every ten minutes of noise.
//   dgps_noise [SECONDS [LIST]]   (3600 s and the shared test data's list)
#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsDecoderBank.h"
#include "dgps/DgpsStationTable.h"
#include "common/SystemLog.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Counter : DgpsDecodeObserver {
    void firstWord(const DgpsFirstWord&) override { ++words; }
    long words = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    SetSystemLogEnabled(false);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 3600;
    const std::string list = argc > 2 ? argv[2] : std::string(KORVEL_TEST_DATA) + "/DGPSSTATIONLIST.TXT";
    DgpsStationTable table;
    std::string error;
    if (!table.readDGPSStationList(list, error)) {
        std::fprintf(stderr, "dgps_noise: %s\n", error.c_str());
        return 2;
    }
    constexpr double kRate = 50000.0, kCentre = 304000.0;
    Counter counter;
    DgpsDecoderBank bank;
    bank.setDemodObjects(kRate, kCentre, kRate, &table, false, &counter);
    std::printf("%d stations listed, %d decoders\n\n", table.numDgpsStations(), bank.numDemodObj());
    std::printf("| noise s | first words | stations with a word | stations listed |\n|---:|---:|---:|---:|\n");
    std::mt19937_64 rng(2026);
    std::normal_distribution<double> normal(0.0, 1000.0);
    std::vector<ComplexSample> block(static_cast<size_t>(kRate));
    for (int s = 1; s <= seconds; ++s) {
        for (ComplexSample& x : block)
            x = {normal(rng), normal(rng)};
        bank.setDecodeTime(s);
        bank.ProcessData(block.data(), static_cast<int>(block.size()));
        if (s % 600 == 0 || s == seconds) {
            int heard = 0, listed = 0;
            for (int k : table.heardStations()) {
                ++heard;
                listed += table.evidence(k).confirmed();
            }
            std::printf("| %d | %ld | %d | %d |\n", s, counter.words, heard, listed);
            std::fflush(stdout);
        }
    }
    return 0;
}
