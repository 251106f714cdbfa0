#include "DgpsTestSignals.h"
#include "support/AllocationCounter.h"
#include "support/QuietLog.h"

#include "dgps/DGPSDemodObject.h"
#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsDecoderBank.h"
#include "dgps/DgpsStationTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace dgpstest;

namespace {

TEST(DgpsDecoderBank, ChannelGrid)
{
    QuietLog quiet;
    DgpsStationTable table;
    table.readStationText("287.5;100;1;1;1;A;x;L;1*0'0N;1*0'0E\n"
                          "287.5;200;2;2;2;B;x;L;1*0'0N;1*0'0E\n"
                          "285.6;100;3;3;3;C;x;L;1*0'0N;1*0'0E\n"
                          "324.5;100;4;4;4;D;x;L;1*0'0N;1*0'0E\n"
                          "325.5;100;5;5;5;E;x;L;1*0'0N;1*0'0E\n"
                          "290.0;100;6;6;6;F;x;L;1*0'0N;1*0'0E\n"
                          "284.0;200;7;7;7;G;x;L;1*0'0N;1*0'0E\n");
    struct Case {
        double bandwidth, centre;
        bool wholeKhzOnly;
        size_t channels;
        float first, last;
    };
    for (const Case& c : {Case{50000, 300000, true, 40, 285, 324}, Case{50000, 300000, false, 43, 284, 324.5},
                          Case{10000, 290000, false, 10, 286, 294}, Case{8000, 288000, false, 8, 285, 291},
                          Case{50000, 100000, false, 0, 0, 0}, Case{2000000, 300000, true, 41, 285, 325},
                          // Centres from a file name beyond any int or not numbers: no channels.
                          Case{50000, 3e12, false, 0, 0, 0}, Case{50000, -3e12, false, 0, 0, 0},
                          Case{50000, std::nan(""), false, 0, 0, 0}, Case{1e300, 300000, true, 41, 285, 325}}) {
        SCOPED_TRACE(c.centre);
        const std::vector<float> channels = DgpsDecoderBank::channels(c.bandwidth, c.centre, &table, c.wholeKhzOnly);
        ASSERT_EQ(channels.size(), c.channels);
        if (!channels.empty()) {
            EXPECT_EQ(channels.front(), c.first);
            EXPECT_EQ(channels.back(), c.last);
        }
    }
    DgpsDecoderBank bank;
    bank.setDemodObjects(50000, 300000, 50000, &table, true);
    ASSERT_EQ(bank.numDemodObj(), 80);
    EXPECT_EQ(bank.decoder(0).radioFreq(), 285.0f);
    EXPECT_EQ(bank.decoder(0).baud(), 100);
    EXPECT_EQ(bank.decoder(1).baud(), 200);
    bank.setDemodObjects(50000, 100000, 50000, &table, false);
    EXPECT_EQ(bank.numDemodObj(), 0);
}

struct Positions : DgpsDecodeObserver {
    void firstWord(const DgpsFirstWord& w) override { at.push_back(w.inputSample); }
    std::vector<int64_t> at;
};

// One decoder on its own, fed the same samples in blocks of other lengths,
// later ones longer than the first, finds the same words at the same places.
TEST(DGPSDemodObject, AnyBlockSplitFindsTheSameWords)
{
    QuietLog quiet;
    constexpr double rate = 24000.0;
    const auto bits = rtcmBits("gpsd_sample.rtcm2");
    if (!bits)
        GTEST_SKIP() << "RTCM test streams not found beside the source tree";
    const MskModulator beacon(1500.0, 100, rate, amplitudeFor(12.0, 500.0, rate, 100),
                              std::vector<uint8_t>(bits->begin() + 4000, bits->begin() + 7000), 100);
    std::vector<ComplexSample> signal(static_cast<size_t>(beacon.endSample() + rate));
    Noise(500.0, 3).add(static_cast<int>(signal.size()), signal.data());
    beacon.add(0, static_cast<int>(signal.size()), signal.data());
    DgpsStationTable table;
    table.readStationText("301.5;100;1;268;268;A;x;L;1*0'0N;1*0'0E\n");

    std::vector<std::vector<int64_t>> found;
    for (const std::vector<int>& pattern : std::vector<std::vector<int>>{{120000}, {1000, 70001, 33}, {1, 4096, 250000}}) {
        Positions positions;
        DGPSDemodObject decoder;
        decoder.setCenterFreq(301.5f, 100, 300000.0, rate);
        decoder.setStationTable(&table);
        decoder.setObserver(&positions);
        size_t at = 0;
        for (size_t k = 0; at < signal.size(); ++k) {
            const int n = static_cast<int>(std::min<size_t>(pattern[k % pattern.size()], signal.size() - at));
            decoder.ProcessData(signal.data() + at, n);
            at += n;
        }
        found.push_back(positions.at);
    }
    EXPECT_GT(found[0].size(), 8u);
    EXPECT_EQ(found[1], found[0]);
    EXPECT_EQ(found[2], found[0]);
}

// Decoding noise allocates nothing, whatever the block length.
TEST(DgpsDecoderBank, ProcessingAllocatesNothing)
{
    QuietLog quiet;
    DgpsStationTable table;
    table.readStationText("300.0;100;1;268;268;A;x;L;1*0'0N;1*0'0E\n");
    DgpsDecoderBank bank;
    bank.setDemodObjects(48000, 300000, 48000, &table, false);
    std::vector<ComplexSample> block(300000);
    Noise(100.0, 9).add(static_cast<int>(block.size()), block.data());
    bank.ProcessData(block.data(), 1000);
    const AllocationCounter counter;
    bank.ProcessData(block.data(), 299000);
    bank.ProcessData(block.data(), 300000);
    EXPECT_EQ(counter.Count(), 0u);
}

// Mark gives positive decisions, space negative, on either side of the
// centre and on it: a tone pair that only a one-sided measure tells apart.
TEST(DGPSDemodObject, CentreChannelKeepsMarkAndSpaceApart)
{
    QuietLog quiet;
    constexpr double rate = 16000.0;
    std::vector<uint8_t> bits;
    int d29 = 0, d30 = 0;
    for (int m = 0; m < 40; ++m)
        for (uint32_t data : {RtcmWord::kPreamble << 16 | 9u << 10 | 5u, static_cast<uint32_t>(m) << 11}) {
            const uint32_t word = RtcmWord::encode(data, d29, d30);
            for (int k = 29; k >= 0; --k)
                bits.push_back((word >> k) & 1);
            d29 = (word >> 1) & 1;
            d30 = word & 1;
        }
    for (double offset : {0.0, 25.0, -3000.0, 3000.0}) {
        SCOPED_TRACE(offset);
        const MskModulator beacon(offset, 200, rate, 300.0, bits, 0);
        std::vector<ComplexSample> signal(static_cast<size_t>(beacon.endSample() + rate));
        beacon.add(0, static_cast<int>(signal.size()), signal.data());
        Noise(20.0, 5).add(static_cast<int>(signal.size()), signal.data());
        DgpsStationTable table;
        const float kHz = static_cast<float>(300.0 + offset / 1000.0);
        char line[100];
        std::snprintf(line, sizeof line, "%.3f;200;1;5;5;A;x;L;1*0'0N;1*0'0E\n", kHz);
        table.readStationText(line);
        DGPSDemodObject decoder;
        decoder.setCenterFreq(kHz, 200, 300000.0, rate);
        decoder.setStationTable(&table);
        decoder.ProcessData(signal.data(), static_cast<int>(signal.size()));
        // The first message has no bits before it.
        EXPECT_EQ(table.count(0), 39u);
    }
}

} // namespace

namespace {

// A listed frequency off the half-kHz raster gets no decoder, and is named.
TEST(DgpsDecoderBankOffRaster, StationsThatCannotBeHeardAreNamed)
{
    QuietLog quiet;
    DgpsStationTable table;
    table.readStationText("285.6;100;1;2;2;Odd;x;L;1*0'0N;1*0'0E\n300.0;100;3;4;4;Even;x;L;1*0'0N;1*0'0E\n"
                          "340.3;100;5;6;6;Far;x;L;1*0'0N;1*0'0E\n");
    EXPECT_EQ(DgpsDecoderBank::offRaster(50000.0, 300000.0, table), std::vector<int>{0});
    EXPECT_TRUE(DgpsDecoderBank::offRaster(20000.0, 300000.0, table).empty());
    const std::vector<float> channels = DgpsDecoderBank::channels(50000.0, 300000.0, &table, false);
    EXPECT_EQ(std::count(channels.begin(), channels.end(), 285.6f), 0);
}

} // namespace
