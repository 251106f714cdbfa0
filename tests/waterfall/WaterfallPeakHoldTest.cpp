#include "recording/RecordingObject.h"
#include "waterfall/WaterfallColumnMap.h"
#include "waterfall/WaterfallGenerator.h"
#include "waterfall/WaterfallPeakHold.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"

#include "support/AllocationCounter.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <sched.h>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;
constexpr double kSteadyHz = -9000.0;
constexpr double kBurstHz = 12000.0;
constexpr int kFftSize = 2048;

// SDRSharp recording of `seconds` s: a steady tone at kSteadyHz throughout
// and, in second `burstSecond`, a burst at kBurstHz from 0.70 to 0.75 s into
// the second, far from the block the plain row reads.
std::string writeRecording(const fixtures::TempDir& dir, int seconds, int burstSecond)
{
    fixtures::WaveFormat format;
    format.sampleRate = kRate;
    fixtures::Bytes samples;
    for (int64_t k = 0; k < int64_t(seconds) * kRate; ++k) {
        const double t = double(k) / kRate;
        const double into = t - std::floor(t);
        const bool burst = k / kRate == burstSecond && into >= 0.70 && into < 0.75;
        double i = 2000.0 * std::cos(2.0 * std::numbers::pi * kSteadyHz * t);
        double q = 2000.0 * std::sin(2.0 * std::numbers::pi * kSteadyHz * t);
        if (burst) {
            i += 8000.0 * std::cos(2.0 * std::numbers::pi * kBurstHz * t);
            q += 8000.0 * std::sin(2.0 * std::numbers::pi * kBurstHz * t);
        }
        samples.i16(int16_t(std::lround(i)));
        samples.i16(int16_t(std::lround(q)));
    }
    return dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav",
                     fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, samples.v).bytes);
}

struct Drawing {
    RecordingObject recording;
    WaterfallRowPlan plan;
    std::vector<int16_t> levels; // rows x columns, in hundredths of a dB
    int columns = 0;
    double sampleRate = 0.0;

    // threads < 0: the plain rows; otherwise peak hold on that many threads.
    Drawing(const std::string& path, int threads, int batch = 4)
    {
        std::vector<std::string> lines;
        recording.setRecordingFile(path, lines);
        WaterfallGenerator generator(recording, kFftSize, -80.0, -110.0);
        if (threads >= 0)
            generator.usePeakHold(threads);
        plan = WaterfallRowPlan(generator.lineCount(), WaterfallRowPlan::kMaxWindowRows);
        WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
        for (int r = 0; r < plan.rowCount(); r += batch)
            EXPECT_TRUE(generator.computeRows(plan, r, std::min(batch, plan.rowCount() - r), picture, r));
        columns = picture.columns();
        sampleRate = picture.sampleRate();
        levels.assign(picture.row(0), picture.row(0) + size_t(plan.rowCount()) * columns);
    }
    // Level in dB of the transform bin of `hz`.
    double levelAt(int row, double hz) const
    {
        const double binHz = sampleRate / kFftSize;
        const int column = int(std::lround(hz / binHz + kFftSize / 2 - 1));
        return 0.01 * levels[size_t(row) * columns + column];
    }
};

} // namespace

TEST(WaterfallPeakHold, ShowsABurstLateInTheSecondThatThePlainRowMisses)
{
    fixtures::TempDir dir;
    const std::string path = writeRecording(dir, 3, 1);
    const Drawing plain(path, -1);
    const Drawing peak(path, 2);
    ASSERT_EQ(peak.plan.rowCount(), 3);

    EXPECT_LT(plain.levelAt(1, kBurstHz), -150.0);
    EXPECT_GT(peak.levelAt(1, kBurstHz), -20.0);
    // Only in its own second, and at its frequency: the row's strongest bin
    // apart from the steady tone.
    EXPECT_LT(peak.levelAt(0, kBurstHz), -150.0);
    EXPECT_LT(peak.levelAt(2, kBurstHz), -150.0);
    const int16_t* row = peak.levels.data() + peak.columns;
    const double binHz = kRate / double(kFftSize);
    const int strongest = int(std::max_element(row + peak.columns / 2, row + peak.columns) - row);
    EXPECT_NEAR((strongest + 1 - kFftSize / 2) * binHz, kBurstHz, binHz);
}

TEST(WaterfallPeakHold, ASteadyToneKeepsThePlainLevel)
{
    fixtures::TempDir dir;
    const std::string path = writeRecording(dir, 3, -1);
    const Drawing plain(path, -1);
    const Drawing peak(path, 1);
    for (int row = 0; row < 3; ++row) {
        EXPECT_GT(plain.levelAt(row, kSteadyHz), -30.0);
        EXPECT_NEAR(peak.levelAt(row, kSteadyHz), plain.levelAt(row, kSteadyHz), 0.05) << "row " << row;
    }
}

// Left to choose, the pool takes the CPUs the process may use, not the
// machine's: a job pinned to one CPU draws on one thread.
TEST(WaterfallPeakHold, ThreadsFollowTheCpusTheProcessMayUse)
{
    fixtures::TempDir dir;
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(writeRecording(dir, 2, -1), lines);
    ASSERT_TRUE(recording.isValidRecordingFile());
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int pinned = WaterfallPeakHold(recording, 4096).threads();
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(pinned, 1);
    EXPECT_EQ(WaterfallPeakHold(recording, 4096).threads(), CPU_COUNT(&all));
}

TEST(WaterfallPeakHold, RowsDoNotDependOnThreadsOrBatches)
{
    fixtures::TempDir dir;
    const std::string path = writeRecording(dir, 5, 3);
    const Drawing single(path, 1, 1);
    for (const auto& [threads, batch] : {std::pair{2, 5}, std::pair{3, 2}, std::pair{4, 1}}) {
        const Drawing pooled(path, threads, batch);
        EXPECT_EQ(pooled.levels, single.levels) << threads << " threads, " << batch << " rows at a time";
    }
}

TEST(WaterfallPeakHold, RowsOfSeveralSecondsHoldEverySecondAndComputingAllocatesNothing)
{
    fixtures::TempDir dir;
    const std::string path = writeRecording(dir, 6, 5);
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(path, lines);
    WaterfallGenerator generator(recording, kFftSize, -80.0, -110.0);
    generator.usePeakHold(2);
    // Three seconds a row: the burst in second 5 shows in row 1.
    const WaterfallRowPlan plan(6, 2);
    WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
    ASSERT_TRUE(generator.computeRows(plan, 0, 2, picture, 0)); // the column map is made once
    const AllocationCounter allocations;
    ASSERT_TRUE(generator.computeRows(plan, 0, 2, picture, 0));
    EXPECT_EQ(allocations.Count(), 0u);
    const int column = int(std::lround(kBurstHz / (kRate / double(kFftSize)) + kFftSize / 2 - 1));
    EXPECT_LT(picture.levelDb(0, column), -150.0);
    EXPECT_GT(picture.levelDb(1, column), -20.0);
}

TEST(WaterfallPeakHold, ARecordingShorterThanOneBlockIsOneRowOfItsSamples)
{
    fixtures::TempDir dir;
    fixtures::WaveFormat format;
    format.sampleRate = kRate;
    fixtures::Bytes samples;
    for (int k = 0; k < 1000; ++k) {
        samples.i16(int16_t(std::lround(8000.0 * std::cos(2.0 * std::numbers::pi * kBurstHz * k / kRate))));
        samples.i16(int16_t(std::lround(8000.0 * std::sin(2.0 * std::numbers::pi * kBurstHz * k / kRate))));
    }
    const std::string path = dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav",
                                       fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, samples.v).bytes);
    const Drawing plain(path, -1);
    const Drawing peak(path, 2);
    ASSERT_EQ(peak.plan.rowCount(), 1);
    EXPECT_EQ(peak.levels, plain.levels);
}
