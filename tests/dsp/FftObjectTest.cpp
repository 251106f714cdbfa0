#include "dsp/ComplexFft.h"
#include "dsp/FftObject.h"
#include "support/AllocationCounter.h"
#include "support/QuietLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace {

std::vector<ComplexSample> RandomBlock(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<ComplexSample> block(n);
    for (auto& s : block) {
        s.im = dist(rng);
        s.re = dist(rng);
    }
    return block;
}

// Adds a complex tone im + j*re = amplitude * exp(+2 pi i k t / n).
void AddTone(std::vector<ComplexSample>& block, int k, double amplitude)
{
    const int64_t n = static_cast<int64_t>(block.size());
    for (int64_t t = 0; t < n; ++t) {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(((k * t) % n + n) % n) / n;
        block[t].im += amplitude * std::cos(angle);
        block[t].re += amplitude * std::sin(angle);
    }
}

double AmplitudeForDb(double dB) { return 16383.5 * std::pow(10.0, dB / 20.0); }

class FftObjectTest : public ::testing::Test {
protected:
    QuietLog quiet;

    // A display engine as the waterfall owners set it up: Fs = N Hz, so one bin is 1 Hz.
    static void SetUpDisplay(FftObject& fft, int n, int windowType)
    {
        fft.setWindowType(static_cast<FftWindow>(windowType));
        // A window type applies at a table rebuild; a change of compensation forces one.
        fft.SetFFTParamsSize(n, false, 1.0, n);
        fft.SetFFTParamsSize(n, false, 0.0, n);
    }
};

TEST_F(FftObjectTest, SizesAreClampedToPowersOfTwoInRange)
{
    struct Case {
        int request;
        int expected;
    };
    for (const Case c : {Case{100, 512}, Case{-5, 512}, Case{0, 4096}, Case{3000, 2048}, Case{8192, 8192}}) {
        FftObject fft;
        fft.SetFFTParamsSize(4096, false, 0.0, 1.0);
        fft.SetFFTParamsSize(c.request, false, 0.0, 1.0);
        EXPECT_EQ(fft.fftSize(), c.expected) << c.request;
    }
}

TEST_F(FftObjectTest, DisplayLevelsAreInBelsRelativeToFullScaleTone)
{
    const int n = 2048;
    for (int k : {0, 100, -300, 1 - n / 2, n / 2}) {
        SCOPED_TRACE(k);
        FftObject fft;
        SetUpDisplay(fft, n, 0);
        std::vector<ComplexSample> block(n);
        AddTone(block, k, 16383.5);
        fft.PutInDisplayFFT(n, block.data());
        const double* levels = fft.fftAveBuf();
        const int entry = k + n / 2 - 1;
        EXPECT_NEAR(10.0 * levels[entry], 0.0, 1e-3);
        double strongestOther = -1000.0;
        for (int m = 0; m < n; ++m)
            if (m != entry)
                strongestOther = std::max(strongestOther, 10.0 * levels[m]);
        EXPECT_LT(strongestOther, -100.0);
    }
}

TEST_F(FftObjectTest, SilenceReadsTheFloorAndCompensationShiftsLevels)
{
    FftObject fft;
    SetUpDisplay(fft, 4096, 1);
    std::vector<ComplexSample> block(4096);
    fft.PutInDisplayFFT(4096, block.data());
    for (int m = 0; m < 4096; ++m)
        ASSERT_NEAR(10.0 * fft.fftAveBuf()[m], -220.0, 1e-3) << m;

    fft.SetFFTParamsSize(4096, false, 6.0, 4096.0);
    AddTone(block, 10, 16383.5);
    fft.PutInDisplayFFT(4096, block.data());
    EXPECT_NEAR(10.0 * fft.fftAveBuf()[10 + 2048 - 1], 6.0, 1e-2);
}

TEST_F(FftObjectTest, ShortBlockIsPaddedWithZerosNotStaleSamples)
{
    FftObject fft;
    SetUpDisplay(fft, 1024, 0);
    std::vector<ComplexSample> loud(1024);
    AddTone(loud, 50, 16383.5);
    fft.PutInDisplayFFT(1024, loud.data());
    const std::vector<ComplexSample> quiet(512);
    fft.PutInDisplayFFT(512, quiet.data());
    EXPECT_NEAR(10.0 * fft.fftAveBuf()[50 + 511], -220.0, 1e-3);
}

TEST_F(FftObjectTest, WindowTypeTakesEffectAtTheNextRebuild)
{
    // A tone exactly on a bin: the Hann window spreads half its amplitude into each
    // neighbour (-6 dB), the rectangular window none.
    FftObject fft;
    SetUpDisplay(fft, 2048, 1);
    auto neighbourDb = [&] {
        const int size = fft.fftSize();
        std::vector<ComplexSample> resized(size);
        AddTone(resized, 40, 16383.5);
        fft.PutInDisplayFFT(size, resized.data());
        return 10.0 * fft.fftAveBuf()[41 + size / 2 - 1];
    };
    EXPECT_NEAR(neighbourDb(), -6.02, 0.05);
    fft.setWindowType(FftWindow::Rectangular);
    fft.SetFFTParamsSize(2048, false, 0.0, 2048.0);
    EXPECT_NEAR(neighbourDb(), -6.02, 0.05);
    fft.SetFFTParamsSize(4096, false, 0.0, 4096.0);
    EXPECT_LT(neighbourDb(), -100.0);
}

class ScreenMappingTest : public FftObjectTest {
protected:

    // 2048 bins over 2048 Hz, one tone per (entry, dB) pair; entry m is frequency m - 1023 Hz.
    void Transform(int n, std::initializer_list<std::pair<int, double>> tones)
    {
        SetUpDisplay(fft, n, 0);
        std::vector<ComplexSample> block(n);
        for (auto [entry, dB] : tones)
            AddTone(block, entry + 1 - n / 2, AmplitudeForDb(dB));
        fft.PutInDisplayFFT(n, block.data());
    }

    void Request(int height, int width, double maxdB, double mindB, int start, int stop)
    {
        out.assign(width + 1, -1);
        dB.assign(width + 1, 1.0);
        fft.GetScreenIntegerFFTDataMaxHeight(height, width, maxdB, mindB, start, stop, out.data(), dB.data());
    }

    FftObject fft;
    std::vector<int> out;
    std::vector<double> dB;
};

TEST_F(ScreenMappingTest, HeightsFollowTheDbScale)
{
    Transform(2048, {{600, -20.0}, {700, -70.0}, {800, -130.0}});
    // Span -512..512 Hz at one column per bin: column x shows entry 512 + x.
    Request(1023, 1024, -20.0, -120.0, -512, 512);
    EXPECT_EQ(out[600 - 512], 0);
    EXPECT_EQ(out[700 - 512], 511);
    EXPECT_EQ(out[800 - 512], 1023);
    EXPECT_NEAR(dB[700 - 512], -70.0, 0.01);
    EXPECT_EQ(out[1024], -1) << "a span that fits the columns leaves column W alone";
}

TEST_F(ScreenMappingTest, FullSpanShowsTheStrongestBinOfEachColumn)
{
    // Entries 1000 and 1001 share column 500; entry 2047 lands in the extra column 1024.
    Transform(2048, {{1000, -30.0}, {1001, -40.0}, {2047, -10.0}, {0, -50.0}});
    for (int edge : {1024, 50000}) {
        SCOPED_TRACE(edge);
        Request(1023, 1024, 0.0, -120.0, -edge, edge);
        for (int x = 0; x <= 1024; ++x)
            ASSERT_GE(out[x], 0) << x;
        EXPECT_NEAR(dB[500], -30.0, 0.01);
        EXPECT_NEAR(dB[1024], -10.0, 0.01);
        EXPECT_NEAR(dB[0], -50.0, 0.01);
        EXPECT_EQ(out[500], static_cast<int>((-3.0 - 0.0) * (-10.0 / 120.0 * 1023)));
    }
}

// A line drawn straight from the transform, which takes the log of each
// column's strongest bin only, is the line drawn from every bin's level:
// heights, and the level of the column's strongest bin, over
// scales that clip at the top, at the bottom, or not at all, and mirrored.
TEST(FftObjectLines, ColumnsFromTheStrongestBinMatchColumnsFromEveryLevel)
{
    QuietLog quiet;
    std::vector<ComplexSample> block = RandomBlock(8192, 11);
    for (auto& s : block) {
        s.im *= 300.0;
        s.re *= 300.0;
    }
    AddTone(block, 900, 20000.0);
    AddTone(block, -2000, 2000.0);
    AddTone(block, 3, 200.0);
    struct Scale {
        double maxdB, mindB;
        int height;
    };
    for (bool invert : {false, true}) {
        for (Scale scale : {Scale{-20.0, -120.0, 1023}, Scale{-80.0, -110.0, 1023}, Scale{0.0, -30.0, 1023},
                            Scale{-60.0, -60.0, 1023}, Scale{-40.0, -100.0, 7}}) {
            for (int width : {1024, 1000, 37}) {
                SCOPED_TRACE(testing::Message() << "invert " << invert << ", " << scale.maxdB << ".." << scale.mindB
                                                << " dB over " << scale.height << ", width " << width);
                FftObject direct;
                FftObject fromLevels;
                std::vector<int> outDirect(width + 1, -1), outLevels(width + 1, -1);
                std::vector<double> dBDirect(width + 1), dBLevels(width + 1);
                for (FftObject* fft : {&direct, &fromLevels}) {
                    fft->SetFFTParamsSize(8192, invert, 0.0, 2000000.0);
                    fft->PutInDisplayFFT(8192, block.data());
                }
                fromLevels.fftAveBuf();
                direct.GetScreenIntegerFFTDataMaxHeight(scale.height, width, scale.maxdB, scale.mindB, -1000000,
                                                        1000000, outDirect.data(), dBDirect.data());
                fromLevels.GetScreenIntegerFFTDataMaxHeight(scale.height, width, scale.maxdB, scale.mindB, -1000000,
                                                            1000000, outLevels.data(), dBLevels.data());
                ASSERT_EQ(outDirect, outLevels);
                ASSERT_EQ(dBDirect, dBLevels);
            }
        }
    }
}

TEST_F(ScreenMappingTest, NarrowSpanRepeatsBins)
{
    Transform(2048, {{1024, -10.0}});
    // Bins 1014..1034 over 100 columns: column x shows bin 1014 + x/5.
    Request(1023, 100, 0.0, -120.0, -10, 10);
    for (int x = 0; x < 100; ++x) {
        const bool onTone = x / 5 == 10;
        EXPECT_EQ(std::abs(dB[x] + 10.0) < 0.01, onTone) << x;
    }
}

TEST_F(ScreenMappingTest, ScreensWiderThanTheTransformStayInBounds)
{
    struct Case {
        int n;
        int width;
        int entry;
        int column;
    };
    // 65536 bins into 60000 columns: (65000 * 60000) / 65535 needs 64-bit products.
    for (const Case c : {Case{2048, 60000, 1500, 43991}, Case{65536, 60000, 65000, 59510}}) {
        SCOPED_TRACE(c.n);
        Transform(c.n, {{c.entry, -10.0}, {c.n - 1, -20.0}});
        Request(1023, c.width, 0.0, -120.0, -c.n, c.n);
        EXPECT_NEAR(dB[c.column], -10.0, 0.01);
        if (c.n > c.width) {
            EXPECT_NEAR(dB[c.width], -20.0, 0.01);
        }
    }
}

TEST_F(ScreenMappingTest, EqualDbLimitsDrawAFlatLine)
{
    Transform(2048, {{1000, -10.0}});
    Request(1023, 1024, -50.0, -50.0, -1024, 1024);
    for (int x = 0; x < 1024; ++x)
        ASSERT_EQ(out[x], 1023) << x;
    EXPECT_NEAR(dB[500], -10.0, 0.01);
}

TEST_F(ScreenMappingTest, ZeroSampleRateOrWidthIsHarmless)
{
    SetUpDisplay(fft, 2048, 1);
    fft.SetFFTParamsSize(2048, false, 0.0, 0.0);
    Request(1023, 1024, 0.0, -120.0, -1000, 1000);
    Request(1023, 0, 0.0, -120.0, -1000, 1000);
    EXPECT_EQ(out[0], -1);
    fft.GetScreenIntegerFFTDataMaxHeight(1023, -5, 0.0, -120.0, -1000, 1000, out.data(), dB.data());
    EXPECT_EQ(out[0], -1);
}

// The levels of a held peak are the levels of the block that gave it, and
// working them out leaves the engine's own levels as they were.
TEST_F(FftObjectTest, HeldPeakLevelsAreTheBlocksLevels)
{
    FftObject fft;
    SetUpDisplay(fft, 4096, 1);
    auto block = RandomBlock(4096, 5);
    AddTone(block, 300, 12000.0);
    fft.PutInDisplayFFT(4096, block.data());
    const std::vector<double> levels(fft.fftAveBuf(), fft.fftAveBuf() + 4096);
    const std::vector<float> single(fft.floatLevels(), fft.floatLevels() + 4096);
    for (size_t m = 0; m < levels.size(); ++m)
        ASSERT_EQ(levels[m], single[m]) << m;

    std::vector<float> peak(4096, 0.0f);
    fft.holdPeakPower(4096, block.data(), peak.data());
    std::vector<double> held(4096);
    fft.levelsOfPeakPower(peak.data(), held.data());
    EXPECT_EQ(held, levels);
    EXPECT_EQ(std::vector<double>(fft.fftAveBuf(), fft.fftAveBuf() + 4096), levels);
    EXPECT_EQ(std::vector<float>(fft.floatLevels(), fft.floatLevels() + 4096), single);
}

TEST_F(FftObjectTest, ProcessingCallsDoNotAllocate)
{
    FftObject fft;
    SetUpDisplay(fft, 8192, 1);
    auto block = RandomBlock(8192, 3);
    std::vector<int> out(1025);
    std::vector<double> dB(1025);
    AllocationCounter counter;
    fft.PutInDisplayFFT(8192, block.data());
    fft.GetScreenIntegerFFTDataMaxHeight(1023, 1024, -80, -110, -4096, 4096, out.data(), dB.data());
    fft.GetScreenIntegerFFTDataMaxHeight(1023, 1024, -80, -110, -100, 100, out.data(), dB.data());
    EXPECT_EQ(counter.Count(), 0u);
}

TEST_F(FftObjectTest, EnginesRunOnSeveralThreadsAtOnce)
{
    auto levelsOf = [](int n) {
        FftObject fft;
        ComplexFft transform(n);
        SetUpDisplay(fft, n, 3);
        auto block = RandomBlock(n, 11);
        std::vector<double> levels;
        for (int line = 0; line < 20; ++line) {
            fft.PutInDisplayFFT(n, block.data());
            auto copy = block;
            transform.FwdFFT(copy.data());
            block[line].im = copy[line].re / n;
        }
        return std::vector<double>(fft.fftAveBuf(), fft.fftAveBuf() + n);
    };
    const auto expectedA = levelsOf(4096);
    const auto expectedB = levelsOf(8192);
    std::vector<double> a, b;
    std::thread threadA([&] { a = levelsOf(4096); });
    std::thread threadB([&] { b = levelsOf(8192); });
    threadA.join();
    threadB.join();
    EXPECT_EQ(a, expectedA);
    EXPECT_EQ(b, expectedB);
}

} // namespace
