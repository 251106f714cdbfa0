#include "dsp/SampleVector.h"
#include "recording/RecordingObject.h"
#include "waterfall/WaterfallColumnMap.h"
#include "waterfall/WaterfallGenerator.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"
#include "waterfall/WaterfallViewMapping.h"

#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr uint32_t kRate = 48000;
constexpr double kToneHz = 12000.0;

// SDRSharp recording at 7100 kHz: a tone kToneHz above the centre, and
// silence except in second `burstSecond` when that is >= 0.
std::string writeTone(const fixtures::TempDir& dir, int seconds, int burstSecond = -1)
{
    fixtures::WaveFormat format;
    format.sampleRate = kRate;
    fixtures::Bytes samples;
    for (int64_t k = 0; k < int64_t(seconds) * kRate; ++k) {
        const bool on = burstSecond < 0 || k / kRate == burstSecond;
        const double phase = 2.0 * std::numbers::pi * kToneHz * double(k) / kRate;
        samples.i16(on ? int16_t(std::lround(8000.0 * std::cos(phase))) : 0);
        samples.i16(on ? int16_t(std::lround(8000.0 * std::sin(phase))) : 0);
    }
    return dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav",
                     fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, samples.v).bytes);
}

struct Opened {
    RecordingObject recording;
    explicit Opened(const std::string& path)
    {
        std::vector<std::string> lines;
        recording.setRecordingFile(path, lines);
    }
};

// The pixel column of the strongest level.
int strongest(const std::vector<double>& dB)
{
    return int(std::max_element(dB.begin(), dB.end()) - dB.begin());
}

TEST(WaterfallRowPlan, LongRecordingsTakeSeveralSecondsPerRowAndEverySecondMapsBack)
{
    const struct {
        int lines, maxRows, rows, secondsPerRow;
    } cases[] = {
        {0, 8192, 0, 1},          {1, 8192, 1, 1},       {3600, 8192, 3600, 1},
        {8192, 8192, 8192, 1},    {8193, 8192, 4097, 2}, {2000000, 8192, 8164, 245},
        {2000000, 100000, 100000, 20}, {1200000, 1000000, 600000, 2},
    };
    for (const auto& c : cases) {
        const WaterfallRowPlan plan(c.lines, c.maxRows);
        EXPECT_EQ(plan.rowCount(), c.rows) << c.lines;
        EXPECT_EQ(plan.secondsPerRow(), c.secondsPerRow) << c.lines;
        EXPECT_LE(plan.rowCount(), c.maxRows);
        if (c.rows > 0) {
            EXPECT_EQ(plan.endSecond(plan.rowCount() - 1), c.lines) << "the last row ends with the recording";
        }
    }

    const WaterfallRowPlan plan(100003, 8192);
    for (int second = 0; second < plan.lines(); ++second) {
        const int row = plan.rowOfSecond(second + 0.5);
        ASSERT_GE(second, plan.firstSecond(row));
        ASSERT_LT(second, plan.endSecond(row));
    }
    EXPECT_EQ(plan.rowOfSecond(-5), 0);
    EXPECT_EQ(plan.rowOfSecond(1e12), plan.rowCount() - 1);
}

// A slow rate (a header's 1 S/s) gives rows of at least one transform each:
// the samples analysed, rows times the transform, stay near those there are.
TEST(WaterfallRowPlan, RowsOfASlowRecordingHoldATransformEach)
{
    const struct {
        int lines;
        double rate;
        int fftSize, rows, secondsPerRow;
    } cases[] = {
        {1150000, 1.0, 8192, 140, 8215}, // 4.6 MB of ci16 at 1 S/s: once 95834 rows of 8192
        {3600, 2000.0, 8192, 720, 5},    {3600, 48000.0, 8192, 3600, 1},
        {100, 1.0, 8192, 1, 100},        {2000000, 2e6, 65536, 100000, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        const WaterfallRowPlan plan =
            WaterfallRowPlan::forTransforms(c.lines, WaterfallRowPlan::kMaxPngRows, c.rate, c.fftSize);
        EXPECT_EQ(plan.rowCount(), c.rows);
        EXPECT_EQ(plan.secondsPerRow(), c.secondsPerRow);
        EXPECT_EQ(plan.endSecond(plan.rowCount() - 1), c.lines);
        int seconds[WaterfallRowPlan::kMaxSecondsAnalysedPerRow];
        int64_t analysed = 0;
        for (int row = 0; row < plan.rowCount(); ++row)
            analysed += int64_t{plan.analysedSeconds(row, c.rate, c.fftSize, seconds)} * c.fftSize;
        EXPECT_LE(analysed, std::max<int64_t>(c.lines * static_cast<int64_t>(c.rate), c.fftSize));
    }
}

TEST(WaterfallRowPlan, RowsAnalyseAFewSecondsThatDoNotOverlap)
{
    int seconds[WaterfallRowPlan::kMaxSecondsAnalysedPerRow];
    // One second per row: that second.
    EXPECT_EQ(WaterfallRowPlan(60, 8192).analysedSeconds(7, 48000, 8192, seconds), 1);
    EXPECT_EQ(seconds[0], 7);

    // 245 s a row at 1000 S/s: 8192 samples span 9 s; the most the row may take.
    const WaterfallRowPlan longPlan(2000000, 8192);
    const int n = longPlan.analysedSeconds(3, 1000, 8192, seconds);
    EXPECT_EQ(n, WaterfallRowPlan::kMaxSecondsAnalysedPerRow);
    EXPECT_EQ(seconds[0], longPlan.firstSecond(3));
    for (int k = 1; k < n; ++k)
        EXPECT_GE(seconds[k] - seconds[k - 1], 9);
    EXPECT_LT(seconds[n - 1], longPlan.endSecond(3));

    // At 1 S/s one transform spans the whole row: one analysis.
    EXPECT_EQ(WaterfallRowPlan(2000000, 100000).analysedSeconds(5, 1, 8192, seconds), 1);
    EXPECT_EQ(longPlan.analysedSeconds(longPlan.rowCount(), 1000, 8192, seconds), 0);
}

TEST(WaterfallPicture, KeepsFullResolutionWithinTheBudgetAndTheStrongestOfPooledBins)
{
    const WaterfallPicture full(3600, 8192, 2e6);
    EXPECT_EQ(full.columns(), 8192);
    EXPECT_EQ(full.memoryBytes(), 3600LL * 8192 * 2);

    WaterfallPicture pooled(4, 1024, 1024.0, 4 * 256 * 2);
    EXPECT_EQ(pooled.binsPerColumn(), 4);
    EXPECT_EQ(pooled.columns(), 256);
    std::vector<double> bels(1024, -12.0);
    bels[9] = -3.5;
    pooled.mergeSpectrum(1, bels.data());
    EXPECT_DOUBLE_EQ(pooled.levelDb(1, 2), -35.0) << "bins 8..11 show their strongest";
    EXPECT_DOUBLE_EQ(pooled.levelDb(1, 3), -120.0);
    bels[9] = -5.0;
    pooled.mergeSpectrum(1, bels.data());
    EXPECT_DOUBLE_EQ(pooled.levelDb(1, 2), -35.0) << "a second merged keeps the stronger";
    // Bin m holds (m + 1 - N/2) Fs/N: column 128 of 4 bins starts at bin 512, +1 Hz.
    EXPECT_DOUBLE_EQ(pooled.frequencyOfColumn(128), 0.5);
    EXPECT_DOUBLE_EQ(pooled.columnAtFrequency(pooled.frequencyOfColumn(77.25)), 77.25);
}

// Levels in single precision store what the same levels in double precision
// store: ties rounded to even, clamped ends, NaN as the floor, levels below
// the floor, at full resolution and pooled, whole vectors and the rest, and
// in both builds of the loop.
TEST(WaterfallPicture, SingleAndDoublePrecisionLevelsStoreTheSame)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> special = {0.0625f, 0.1875f, -0.0625f, -0.1875f, 40.0f, -40.0f, nan,
                                        -25.0f,  -22.0f,  -21.99999f, 1e30f, -1e30f, -3.2f, -3.20001f};
    for (const bool wide : {true, false}) {
        SetWideVectorsEnabled(wide);
        for (const int fftSize : {8, 13, 64, 1024}) {
            for (const int64_t budget : {int64_t(1) << 20, int64_t(fftSize)}) {
                SCOPED_TRACE(testing::Message() << "wide " << wide << ", N " << fftSize << ", budget " << budget);
                std::vector<float> first(fftSize);
                std::vector<float> second(fftSize);
                for (int m = 0; m < fftSize; ++m) {
                    first[m] = m < int(special.size()) ? special[m] : -12.0f + 0.0137f * float(m % 997);
                    second[m] = m < int(special.size()) ? special[(m + 5) % special.size()]
                                                        : -11.0f - 0.0071f * float(m % 911);
                }
                WaterfallPicture fromFloats(2, fftSize, 1000.0, budget);
                WaterfallPicture fromDoubles(2, fftSize, 1000.0, budget);
                fromFloats.setSpectrum(1, first.data());
                fromFloats.mergeSpectrum(1, second.data());
                fromFloats.setSpectrum(0, second.data());
                const std::vector<double> firstWide(first.begin(), first.end());
                const std::vector<double> secondWide(second.begin(), second.end());
                fromDoubles.mergeSpectrum(1, firstWide.data());
                fromDoubles.mergeSpectrum(1, secondWide.data());
                fromDoubles.mergeSpectrum(0, secondWide.data());
                for (int r = 0; r < 2; ++r)
                    ASSERT_EQ(std::vector<int16_t>(fromFloats.row(r), fromFloats.row(r) + fromFloats.columns()),
                              std::vector<int16_t>(fromDoubles.row(r), fromDoubles.row(r) + fromDoubles.columns()))
                        << "row " << r;
            }
        }
    }
    SetWideVectorsEnabled(true);
    WaterfallPicture picture(1, 16, 1000.0);
    std::vector<float> bels(16, -5.0f);
    bels[0] = 0.0625f;
    bels[1] = 0.1875f;
    bels[2] = nan;
    bels[3] = 40.0f;
    picture.setSpectrum(0, bels.data());
    EXPECT_EQ(picture.row(0)[0], 62) << "ties go to even";
    EXPECT_EQ(picture.row(0)[1], 188);
    EXPECT_EQ(picture.row(0)[2], WaterfallPicture::kFloor);
    EXPECT_EQ(picture.row(0)[3], 32000);
}

// Each pixel shows the strongest stored column under it, whatever the number
// of columns a pixel takes (the long spans are scanned eight at a time), and
// the floor outside the band.
TEST(WaterfallColumnMap, PixelsShowTheStrongestColumnUnderThem)
{
    WaterfallPicture picture(1, 256, 256.0); // one column a Hz, from -127.5 Hz
    std::vector<float> bels(256);
    for (int m = 0; m < 256; ++m)
        bels[m] = -10.0f + 0.001f * float((m * 7919) % 257);
    picture.setSpectrum(0, bels.data());
    const int16_t* row = picture.row(0);
    for (const double hzPerPixel : {0.5, 1.0, 3.0, 7.0, 8.0, 9.0, 17.0, 31.0, 300.0}) {
        SCOPED_TRACE(hzPerPixel);
        WaterfallColumnMap map;
        const int width = static_cast<int>(std::ceil(300.0 / hzPerPixel));
        map.set(picture, -150.0, hzPerPixel, width);
        std::vector<int16_t> centiDb(width);
        std::vector<double> dB(width);
        map.strongest(row, centiDb.data());
        map.levels(row, dB.data());
        for (int x = 0; x < width; ++x) {
            // Columns whose middle lies in the pixel, or the one under a narrow pixel's middle.
            const double low = picture.columnAtFrequency(-150.0 + x * hzPerPixel);
            const double high = picture.columnAtFrequency(-150.0 + (x + 1) * hzPerPixel);
            int first = int(std::ceil(low - 0.5));
            int last = int(std::ceil(high - 0.5)) - 1;
            if (last < first)
                first = last = int(std::floor(0.5 * (low + high)));
            first = std::max(first, 0);
            last = std::min(last, 255);
            const int16_t expected =
                first > last ? WaterfallPicture::kFloor : *std::max_element(row + first, row + last + 1);
            ASSERT_EQ(centiDb[x], expected) << x;
            ASSERT_EQ(dB[x], 0.01 * expected) << x;
        }
    }
}

TEST(WaterfallGenerator, RowOfSeveralSecondsShowsABurstInAnyOfThem)
{
    fixtures::TempDir dir;
    Opened tone(writeTone(dir, 12, 5));
    ASSERT_TRUE(tone.recording.isValidRecordingFile());
    WaterfallGenerator generator(tone.recording, 4096, -20.0, -120.0);
    // 12 s in at most 2 rows: 6 s a row, the burst in second 5 of the first.
    const WaterfallRowPlan plan(generator.lineCount(), 2);
    WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
    WaterfallColumnMap band;
    band.set(picture, -24000.0, 48000.0 / 1024, 1024);
    std::vector<int> screen(1024);
    std::vector<double> dB(1024);
    ASSERT_TRUE(generator.computeRow(plan, 0, picture, 0));
    ASSERT_TRUE(generator.computeRow(plan, 1, picture, 1));
    band.levels(picture.row(0), dB.data());
    EXPECT_EQ(strongest(dB), 768);
    band.screenRow(picture.row(0), -20.0, -120.0, screen.data());
    EXPECT_EQ(screen[768], 0);
    band.screenRow(picture.row(1), -20.0, -120.0, screen.data());
    EXPECT_EQ(*std::min_element(screen.begin(), screen.end()), 1023) << "silence after the burst";
    EXPECT_EQ(generator.levels().count(), 2 * 1024);
}

TEST(WaterfallViewMapping, ZoomKeepsTheToneUnderThePointer)
{
    fixtures::TempDir dir;
    Opened tone(writeTone(dir, 3));
    WaterfallGenerator generator(tone.recording, 8192, -20.0, -120.0);
    const WaterfallRowPlan plan(generator.lineCount(), WaterfallRowPlan::kMaxWindowRows);
    WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
    ASSERT_TRUE(generator.computeRow(plan, 0, picture, 0));

    WaterfallViewMapping mapping(48.0, 7100.0, plan);
    mapping.setMaxContentWidth(WaterfallViewMapping::kMaxPixelsPerColumn * picture.columns());
    mapping.fit(900, 600);
    EXPECT_EQ(mapping.pixelsPerRow(), 200.0) << "three rows fill the height";
    EXPECT_DOUBLE_EQ(mapping.secondsAt(mapping.yAt(2.0)), 2.0);

    const double viewWidth = 900;
    double pointer = mapping.xAt(7112.0); // on screen, from the view's left edge
    double scroll = 0.0;
    std::vector<double> dB(static_cast<size_t>(viewWidth));
    WaterfallColumnMap columns;
    for (int step = 0; step < 20; ++step) {
        const double toneX = mapping.zoomAround(WaterfallViewMapping::kZoomStep, scroll + pointer);
        scroll = std::clamp(toneX - pointer, 0.0, mapping.contentWidth() - viewWidth);
        pointer = toneX - scroll;
        // The read-out under the pointer names the tone to within a pixel ...
        const double kHzPerPixel = mapping.bandwidthKHz() / mapping.contentWidth();
        EXPECT_NEAR(mapping.frequencyAt(scroll + pointer), 7112.0, kHzPerPixel) << "zoom " << mapping.zoom();
        // ... and the strongest pixel drawn is there too.
        const double leftHz = (mapping.frequencyAt(scroll) - 7100.0) * 1000.0;
        columns.set(picture, leftHz, kHzPerPixel * 1000.0, int(viewWidth));
        columns.levels(picture.row(0), dB.data());
        EXPECT_NEAR(strongest(dB), pointer, std::max(1.0, 48000.0 / 8192 / (kHzPerPixel * 1000.0)))
            << "zoom " << mapping.zoom();
    }
    EXPECT_DOUBLE_EQ(mapping.contentWidth(), mapping.maxContentWidth()) << "zoom stops at the transform's resolution";
    mapping.zoomAround(1.0 / 1024, 0.0);
    EXPECT_DOUBLE_EQ(mapping.contentWidth(), viewWidth) << "and zooming out at the whole band";
}

} // namespace
