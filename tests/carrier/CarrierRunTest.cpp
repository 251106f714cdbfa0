#include "carrier/CarrierAnalyzer.h"
#include "carrier/CarrierRun.h"

#include "carrier/CarrierTestRecordings.h"
#include "recording/RecordingObject.h"
#include "support/AllocationCounter.h"
#include "support/QuietLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace carriertest;

namespace {

class CarrierRunTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const fixtures::Recording& r) { return dir.write(name, r.bytes); }

    // Middle of the columns showing the strongest level of `channel` in `row`
    // (a bin wider than a column fills several).
    static double peakColumn(const CarrierAnalysis& a, int row, int channel)
    {
        const float* levels = a.levels(row, channel);
        const float* end = levels + CarrierAnalysis::kLevels;
        const float* first = std::max_element(levels, end);
        const float* last = std::find_if(first, end, [&](float v) { return v != *first; }) - 1;
        return 0.5 * static_cast<double>((first - levels) + (last - levels));
    }

    QuietLog quiet;
    fixtures::TempDir dir;
    CarrierRun run;
    std::string error;
};

} // namespace

TEST_F(CarrierRunTest, DriftingCarrierAppearsInItsColumnRowByRow)
{
    // 3 Hz above 1000 kHz, rising 0.05 Hz a second; nothing near 999 kHz.
    const std::string path = write("a.wav", recording(20.0, kStart, {{3.0, 0.05}}));
    ASSERT_TRUE(run.prepare({path}, kFftSize, 25.0, error)) << error;
    EXPECT_EQ(run.analysis().carrierFreqs(), (std::vector<int>{999, 1000}));
    ASSERT_EQ(run.run(), "");
    const CarrierAnalysis& a = run.analysis();
    ASSERT_EQ(a.dbBufCount(), CarrierRun::kSecondsPerFile);
    const double binHz = static_cast<double>(kRate) / kFftSize;
    const double columnsPerHz = CarrierAnalysis::kLevels / 50.0;
    for (int t : {0, 5, 10, 18}) {
        // The transform covers about a second from t: the mean frequency over it.
        const double hz = 3.0 + 0.05 * (t + 0.5 * kFftSize / kRate);
        const double expected = 1024.0 + hz * columnsPerHz;
        EXPECT_NEAR(peakColumn(a, t, 1), expected, 0.5 * binHz * columnsPerHz + 1.0) << "row " << t;
        EXPECT_GT(*std::max_element(a.levels(t, 1), a.levels(t, 1) + 2048), -15.0f);
        EXPECT_LT(*std::max_element(a.levels(t, 0), a.levels(t, 0) + 2048), -100.0f);
    }
    // Beyond the end of the recording: no levels, neither the last second
    // again nor silence passed off as a measurement; the rows are named.
    for (int t : {20, 100, 236}) {
        for (int channel : {0, 1})
            EXPECT_TRUE(std::all_of(a.levels(t, channel), a.levels(t, channel) + 2048,
                                    [](float v) { return std::isnan(v); })) << "row " << t;
    }
    EXPECT_FALSE(std::isnan(a.levels(19, 1)[0]));
    EXPECT_EQ(run.notes(), std::vector<std::string>{"a.wav: 20 s long; rows 20 to 236, after its end, hold no levels"});
}

TEST_F(CarrierRunTest, FourRecordingsGive948RowsAndTheirFile)
{
    std::vector<std::string> paths;
    // Given out of order: analysed by start time.
    for (int i : {2, 0, 3, 1})
        paths.push_back(write("r" + std::to_string(i) + ".wav", recording(2.0, kStart + 600 * i, {{3.0 + i, 0.0}})));
    ASSERT_TRUE(run.prepare(paths, kFftSize, 25.0, error)) << error;
    // Each file's rows after its two seconds, in the order analysed.
    ASSERT_EQ(run.notes().size(), 4u);
    EXPECT_EQ(run.notes()[1], "r1.wav: 2 s long; rows 239 to 473, after its end, hold no levels");
    ASSERT_EQ(run.orderedFiles().size(), 4u);
    EXPECT_EQ(std::filesystem::path(run.orderedFiles()[0]).filename(), "r0.wav");
    EXPECT_EQ(std::filesystem::path(run.orderedFiles()[3]).filename(), "r3.wav");
    ASSERT_EQ(run.run(), "");
    EXPECT_EQ(run.analysis().dbBufCount(), 948);
    EXPECT_EQ(run.analysis().startingTime(), kStart);
    // File i's carrier sits i Hz higher: row 237 i is its first.
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(peakColumn(run.analysis(), 237 * i, 1), 1024 + (3.0 + i) * 2048 / 50.0, 21.0) << i;

    const std::string out = dir.path + "/output.bin";
    ASSERT_TRUE(run.analysis().writeFile(out, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(out), 4020u + 948u * 2u * 8192u);
}

TEST_F(CarrierRunTest, LeavesOutWhatDoesNotBelongAndSaysSo)
{
    const std::string first = write("first.wav", recording(1.0, kStart, {}));
    const std::string twin = write("twin.wav", recording(1.0, kStart, {}));
    const std::string otherRate = write("rate.wav", recording(1.0, kStart + 600, {}, 24000));
    const std::string otherCentre = write("centre.wav", recording(1.0, kStart + 1200, {}, kRate, 1001000));
    const std::string text = dir.write("notes.txt", {'h', 'i'});
    const std::string later = write("later.wav", recording(1.0, kStart + 1800, {}));
    ASSERT_TRUE(run.prepare({twin, first, otherRate, otherCentre, text, later}, kFftSize, 100.0, error)) << error;
    ASSERT_EQ(run.orderedFiles().size(), 2u);
    EXPECT_EQ(run.orderedFiles()[0], twin); // the first given of the two
    EXPECT_EQ(run.orderedFiles()[1], later);
    const auto mentions = [&](const std::string& what) {
        return std::any_of(run.notes().begin(), run.notes().end(),
                           [&](const std::string& n) { return n.find(what) != std::string::npos; });
    };
    EXPECT_TRUE(mentions("first.wav: left out, it starts at the same time as twin.wav"));
    EXPECT_TRUE(mentions("rate.wav: left out"));
    EXPECT_TRUE(mentions("centre.wav: left out"));
    EXPECT_TRUE(mentions("notes.txt: left out"));
    EXPECT_EQ(run.refused(), std::vector<std::string>{text});
    EXPECT_EQ(run.notes().size(), 6u); // and the rows after the two recordings' end
}

TEST_F(CarrierRunTest, MoreThanAThousandRowsSaysHowManySecondsWereLeftOut)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(write("r" + std::to_string(i) + ".wav", recording(0.5, kStart + 600 * i, {})));
    ASSERT_TRUE(run.prepare(paths, kFftSize, 100.0, error)) << error;
    EXPECT_EQ(run.secondsLeftOut(), 5 * 237 - 1000);
    ASSERT_EQ(run.notes().size(), 6u);
    // The rows the analysis holds of the last recording, after its half second.
    EXPECT_EQ(run.notes()[4], "r4.wav: 0.5 s long; rows 949 to 999, after its end, hold no levels");
    EXPECT_EQ(run.notes()[5], "185 seconds were left out: an analysis holds at most 1000 rows");
    ASSERT_EQ(run.run(), "");
    EXPECT_EQ(run.analysis().dbBufCount(), 1000);
}

TEST_F(CarrierRunTest, RefusesWhatCannotBeAnalysed)
{
    const std::string good = write("good.wav", recording(1.0, kStart, {}));
    const std::string shortwave = write("sw.wav", recording(1.0, kStart, {}, kRate, 7100000));
    struct Case {
        std::vector<std::string> paths;
        int fftSize;
        double halfSpan;
        const char* expected;
    };
    const Case cases[] = {
        {{}, kFftSize, 100.0, "no recording to analyse"},
        {{dir.path + "/missing.wav"}, kFftSize, 100.0, "no recording to analyse"},
        {{shortwave}, kFftSize, 100.0, "no medium-wave channel"},
        {{good}, 100000, 100.0, "power of two"},
        {{good}, 256, 100.0, "power of two"},
        {{good}, 16777216, 100.0, "power of two"},
        {{good}, kFftSize, 0.0, "half span"},
        {{good}, kFftSize, 1.0e9, "half span"},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(run.prepare(c.paths, c.fftSize, c.halfSpan, error)) << c.expected;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST_F(CarrierRunTest, StopEndsTheRunEarly)
{
    const std::string path = write("a.wav", recording(1.0, kStart, {}));
    ASSERT_TRUE(run.prepare({path}, kFftSize, 100.0, error));
    run.stop();
    EXPECT_EQ(run.run(), "");
    EXPECT_TRUE(run.stopped());
    EXPECT_EQ(run.analysis().dbBufCount(), 0);
}

TEST_F(CarrierRunTest, MeasuringASecondAllocatesNothing)
{
    const std::string path = write("a.wav", recording(2.0, kStart, {{3.0, 0.0}}));
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(path, lines);
    CarrierAnalyzer analyzer(kFftSize, kRate, kCenter, 100.0, {999, 1000});
    std::vector<float> row(2 * CarrierAnalysis::kLevels);
    ASSERT_TRUE(analyzer.measureSecond(recording, 0, row.data()));
    AllocationCounter counter;
    for (int t = 0; t < 4; ++t)
        ASSERT_TRUE(analyzer.measureSecond(recording, t, row.data()));
    EXPECT_EQ(counter.Count(), 0u);
}
