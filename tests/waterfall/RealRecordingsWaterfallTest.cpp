// Waterfalls of recordings made by real receivers (the shared test data
// beside the source tree; skipped when it is absent).
#include "recording/RecordingObject.h"
#include "waterfall/WaterfallGenerator.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kFolder = std::string(KORVEL_TEST_DATA) + "/real-recordings";

struct Opened {
    RecordingObject recording;
    std::vector<std::string> lines;
    explicit Opened(const std::string& name) { recording.setRecordingFile(kFolder + "/" + name, lines); }
};

// Every line's screen row between maxdB and mindB.
std::vector<std::vector<int>> rows(RecordingObject& r, double maxdB, double mindB)
{
    WaterfallGenerator generator(r, 8192, maxdB, mindB);
    std::vector<std::vector<int>> all;
    for (int line = 0; line < generator.lineCount(); ++line) {
        std::vector<int> row(WaterfallGenerator::kColumns + 1);
        generator.computeLine(line, row.data());
        row.pop_back();
        all.push_back(row);
    }
    return all;
}

// Share of pixels drawn at the brightest or the darkest level.
double saturated(const std::vector<std::vector<int>>& all)
{
    double count = 0.0, total = 0.0;
    for (const auto& row : all) {
        for (int v : row) {
            count += v <= 0 || v >= WaterfallGenerator::kRowHeight;
            ++total;
        }
    }
    return count / total;
}

// Mean level (0 strongest, 1023 weakest) of the column of `hz` from the centre.
double columnLevel(const RecordingObject& r, const std::vector<std::vector<int>>& all, double hz)
{
    const int column = static_cast<int>((hz / r.parameters().mBandwidth + 0.5) * WaterfallGenerator::kColumns);
    double sum = 0.0;
    for (const auto& row : all)
        sum += row.at(static_cast<size_t>(column));
    return sum / static_cast<double>(all.size());
}

class RealRecordingWaterfalls : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kFolder))
            GTEST_SKIP() << "real recordings not found beside the source tree (" << kFolder << ")";
    }
};

} // namespace

// The stored -110..-80 dB suits the 16-bit receiver WAVs only; the measured
// levels draw every file with few pixels at either end of the ramp.
TEST_F(RealRecordingWaterfalls, MeasuredLevelsDrawEveryFileWithoutASolidBlock)
{
    struct Case {
        const char* name;
        bool fixedRangeSaturates;
    };
    const Case cases[] = {
        {"SDRSharp_20130919_004154Z_14053kHz_IQ.wav", false},
        {"SDRSharp_20130920_024052Z_14190kHz_IQ.wav", false},
        {"20171127T104156Z_77500_HB9RYZ_iq.wav", true},
        {"20200813T065220Z_77500_pa0rdt_iq.wav", true},
        {"HFDL_test_12k_cf13270_df13270.wav", true},
        {"converted/Delhi.828.1.12k.iq.wav", true},
        {"converted/g001_433.92M_250k_u8.wav", true},
        {"converted/modes1_2Msps_u8.wav", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Opened o(c.name);
        ASSERT_TRUE(o.recording.isValidRecordingFile());
        const double fixedShare = saturated(rows(o.recording, -80.0, -110.0));
        EXPECT_EQ(fixedShare > 0.4, c.fixedRangeSaturates) << fixedShare;

        WaterfallGenerator measure(o.recording, 8192, -80.0, -110.0);
        std::vector<int> row(WaterfallGenerator::kColumns + 1);
        for (int line = 0; line < measure.lineCount(); ++line)
            measure.computeLine(line, row.data());
        const auto levels = measure.levels().suggest();
        ASSERT_TRUE(levels);
        EXPECT_LT(saturated(rows(o.recording, levels->maxDb, levels->minDb)), 0.25);
    }
}

// What the recordings are known to hold lands in the column of its frequency,
// not in its mirror: I is the first value of each pair.
TEST_F(RealRecordingWaterfalls, KnownSignalsLandInTheirColumns)
{
    struct Case {
        const char* name;
        std::vector<double> hz;
        double marginDb; // above its mirror
    };
    const Case cases[] = {
        {"SDRSharp_20130919_004154Z_14053kHz_IQ.wav", {5601.6, 10950.0}, 10.0},
        {"HFDL_test_12k_cf13270_df13270.wav", {1440.0}, 10.0},
        // The pilots within the DRM block, which fills the mirror columns too.
        {"converted/Delhi.828.1.12k.iq.wav", {750.0, 2250.0, 3000.0}, 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Opened o(c.name);
        ASSERT_TRUE(o.recording.isValidRecordingFile());
        const auto all = rows(o.recording, 0.0, -200.0);
        for (double hz : c.hz) {
            SCOPED_TRACE(hz);
            // Stronger (a smaller level) than its mirror by the margin, in dB of the 200 drawn.
            EXPECT_LT(columnLevel(o.recording, all, hz) + 1023.0 * c.marginDb / 200.0, columnLevel(o.recording, all, -hz));
        }
    }
    // DCF77 on the centre of both KiwiSDR recordings: the strongest column.
    for (const char* name : {"20171127T104156Z_77500_HB9RYZ_iq.wav", "20200813T065220Z_77500_pa0rdt_iq.wav"}) {
        SCOPED_TRACE(name);
        Opened o(name);
        const auto all = rows(o.recording, 0.0, -200.0);
        std::vector<double> levels;
        for (int x = 0; x < WaterfallGenerator::kColumns; ++x)
            levels.push_back(columnLevel(o.recording, all, (x + 0.5) / WaterfallGenerator::kColumns * o.recording.parameters().mBandwidth - 0.5 * o.recording.parameters().mBandwidth));
        const auto strongest = std::min_element(levels.begin(), levels.end()) - levels.begin();
        EXPECT_NEAR(static_cast<double>(strongest), WaterfallGenerator::kColumns / 2, 1.0);
    }
}

// The OOK bursts of a 433.92 MHz capture lie after the first transform of its
// second: the plain row misses them, the whole-second row holds them.
TEST_F(RealRecordingWaterfalls, OokBurstsShowInTheWholeSecondRowOnly)
{
    Opened o("g001_433.92M_250k.cu8");
    ASSERT_TRUE(o.recording.isValidRecordingFile());
    auto strongestDb = [&](bool peakHold) {
        WaterfallGenerator generator(o.recording, 8192, -30.0, -60.0);
        if (peakHold)
            generator.usePeakHold(2);
        const WaterfallRowPlan plan(generator.lineCount(), WaterfallRowPlan::kMaxPngRows);
        WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
        EXPECT_EQ(plan.rowCount(), 1);
        EXPECT_TRUE(generator.computeRows(plan, 0, plan.rowCount(), picture, 0));
        return 0.01 * *std::max_element(picture.row(0), picture.row(0) + picture.columns());
    };
    const double plain = strongestDb(false);
    EXPECT_GT(strongestDb(true), plain + 15.0) << "plain row's strongest " << plain << " dB";
}
