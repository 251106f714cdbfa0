#include "waterfall/WaterfallWindowFields.h"
#include "waterfall/WaterfallWindowLayout.h"
#include "waterfall/WaterfallWindowSession.h"

#include "support/AllocationCounter.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <thread>

namespace {

using Fields = WaterfallWindowFields;
using Layout = WaterfallWindowLayout;

// 7100 kHz and 192 kHz of band, as the window's numbers are usually quoted.
constexpr Layout::Recording kShortwave{192000.0, 192000.0, 7100000.0, 60.0};

Layout layoutOf(const Fields& fields, const Layout::Recording& recording, int width)
{
    const Layout::Outcome outcome = Layout::make(fields, recording, width);
    EXPECT_TRUE(outcome.layout) << outcome.problem;
    return outcome.layout.value_or(Layout{});
}

// A 16-bit recording centred on 7100 kHz (in its file name) of
// `seconds` x `rate` samples of sample(k) = (I, Q).
std::string writeRecording(const fixtures::TempDir& dir, int rate, double seconds,
                           const std::function<std::pair<double, double>(int64_t)>& sample)
{
    fixtures::WaveFormat format;
    format.sampleRate = static_cast<uint32_t>(rate);
    fixtures::Bytes samples;
    const auto frames = static_cast<int64_t>(rate * seconds);
    for (int64_t k = 0; k < frames; ++k) {
        const auto [i, q] = sample(k);
        samples.i16(static_cast<int16_t>(std::lround(i))).i16(static_cast<int16_t>(std::lround(q)));
    }
    const fixtures::Recording file = fixtures::riffFile({{"fmt ", fixtures::fmtPayload(format, 16)}}, samples.v);
    return dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", file.bytes);
}

// A tone at `offsetHz` from the centre, sounding while keyed(k) holds.
std::string writeTone(const fixtures::TempDir& dir, int rate, double seconds, double offsetHz,
                      const std::function<bool(int64_t)>& keyed = {})
{
    return writeRecording(dir, rate, seconds, [&](int64_t k) {
        if (keyed && !keyed(k))
            return std::pair{0.0, 0.0};
        const double phase = 2.0 * std::numbers::pi * std::fmod(offsetHz * k / rate, 1.0);
        return std::pair{12000.0 * std::cos(phase), 12000.0 * std::sin(phase)};
    });
}

// The row of the strongest level in column c.
int strongestRow(const WaterfallWindowSession& session, int c)
{
    int best = 0;
    for (int y = 1; y < session.layout()->height; ++y)
        if (*session.levelAt(c, y) > *session.levelAt(c, best))
            best = y;
    return best;
}

void drawAndWait(WaterfallWindowSession& session, const Fields& fields, int width)
{
    const Layout::Outcome outcome = session.draw(fields, width);
    ASSERT_TRUE(outcome.layout) << outcome.problem;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (session.isDrawing() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(session.columnsDone(), width) << session.drawingProblem();
}

int threadsOfProcess()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

TEST(WaterfallWindowFields, StoredZeroOrAbsentShowsTheDefaults)
{
    const Fields shown = Fields::fromPreferences({0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(shown.fftSize, 65536);
    EXPECT_EQ(shown.minDb, -170);
    EXPECT_EQ(shown.maxDb, -110);
    EXPECT_EQ(shown.centerKHz, 230);
    EXPECT_EQ(shown.spanKHz, 40);
    EXPECT_EQ(shown.startSeconds, 0);
    EXPECT_EQ(shown.linesPerSecond, 50);
    EXPECT_FALSE(shown.zoomToSpan);

    const std::array<int, 7> stored{8192, -150, -90, 7100, 20, 35, 200};
    EXPECT_EQ(Fields::fromPreferences(stored).toPreferences(), stored);
    Fields typed;
    typed.startSeconds = 12.9;
    typed.centerKHz = -1e300;
    EXPECT_EQ(typed.toPreferences()[Fields::kStartSeconds], 12);
    EXPECT_EQ(typed.toPreferences()[Fields::kCenterKHz], INT_MIN);
}

TEST(WaterfallWindowFields, TextsMustBeFiniteNumbers)
{
    std::array<std::string, 7> texts{"65536", " -170 ", "-110", "7100.5", "+40", "0", "50"};
    std::string problem;
    const std::optional<Fields> fields = Fields::fromTexts(texts, true, problem);
    ASSERT_TRUE(fields) << problem;
    EXPECT_EQ(fields->centerKHz, 7100.5);
    EXPECT_EQ(fields->spanKHz, 40);
    EXPECT_TRUE(fields->zoomToSpan);

    for (const char* bad : {"", "abc", "12kHz", "nan", "inf", "1e999", "1,5"}) {
        texts[Fields::kLinesPerSecond] = bad;
        problem.clear();
        EXPECT_FALSE(Fields::fromTexts(texts, false, problem)) << bad;
        EXPECT_EQ(problem, "Lines per second must be a number") << bad;
    }
    EXPECT_EQ(Fields::text(1048576), "1048576");
    EXPECT_EQ(Fields::text(0.5), "0.5");
}

TEST(WaterfallWindowLayout, LineAndPictureSizesFollowTheFields)
{
    const Layout layout = layoutOf(Fields{}, kShortwave, 1000);
    EXPECT_EQ(layout.samplesPerLine, 3840);
    EXPECT_EQ(layout.samplesRead, 3840);
    EXPECT_EQ(layout.fftSize, 65536);
    EXPECT_EQ(layout.height, 5760);
    EXPECT_FALSE(layout.reducedForMemory());
    EXPECT_EQ(layout.startFreq, -96000);
    EXPECT_EQ(layout.stopFreq, 96000);
    // Low edge at the top, high edge at the bottom; time across.
    EXPECT_DOUBLE_EQ(layout.frequencyAt(0), 7004.0);
    EXPECT_DOUBLE_EQ(layout.frequencyAt(2880), 7100.0);
    EXPECT_DOUBLE_EQ(layout.frequencyAt(5760), 7196.0);
    EXPECT_DOUBLE_EQ(layout.secondsAt(125), 2.5);

    // A line longer than the transform reads only what the transform takes.
    Fields slow;
    slow.linesPerSecond = 0.5;
    slow.fftSize = 4096;
    const Layout slowLayout = layoutOf(slow, kShortwave, 100);
    EXPECT_EQ(slowLayout.samplesPerLine, 384000);
    EXPECT_EQ(slowLayout.samplesRead, 4096);

    EXPECT_EQ(Layout::title(kShortwave, "02-Jan-2014 03:04:05"), "7004 - 7196 kHz   02-Jan-2014 03:04:05");
}

TEST(WaterfallWindowLayout, CorrectsOrRefusesFieldValues)
{
    struct Case {
        const char* what;
        std::function<void(Fields&)> set;
        const char* problem; // "" when drawn
        const char* note;    // part of the note, "" for none
    };
    const Case cases[] = {
        {"0 lines per second become 10", [](Fields& f) { f.linesPerSecond = 0; }, "", ""},
        {"negative lines per second become 10", [](Fields& f) { f.linesPerSecond = -3; }, "", ""},
        {"lines per second above the sample rate", [](Fields& f) { f.linesPerSecond = 1e12; },
         "Lines per second must be at most 192000, one sample per line", ""},
        {"FFT size rounded up", [](Fields& f) { f.fftSize = 100000; }, "", "FFT size rounded up to 131072"},
        {"FFT size too small", [](Fields& f) { f.fftSize = 100; }, "FFT size must be from 512 to 1048576", ""},
        {"FFT size above the block", [](Fields& f) { f.fftSize = 2000000; }, "FFT size must be from 512 to 1048576", ""},
        {"equal dB limits", [](Fields& f) { f.minDb = f.maxDb = -120; }, "The minimum dB must be below the maximum dB", ""},
        {"start past the end", [](Fields& f) { f.startSeconds = 60; },
         "Start time must be from 0 to below 60 seconds, the length of the recording", ""},
        {"negative start", [](Fields& f) { f.startSeconds = -1; },
         "Start time must be from 0 to below 60 seconds, the length of the recording", ""},
        {"zoom without span", [](Fields& f) { f.zoomToSpan = true; f.spanKHz = 0; }, "Span must be above 0 kHz to zoom to it", ""},
        {"zoom outside the band", [](Fields& f) { f.zoomToSpan = true; },
         "Centre and span lie outside the recording's band, 7004 - 7196 kHz", ""},
        {"centre and span outside the band without zoom", [](Fields& f) { f.centerKHz = 230; }, "", ""},
    };
    for (const Case& c : cases) {
        Fields fields;
        c.set(fields);
        const Layout::Outcome outcome = Layout::make(fields, kShortwave, 1000);
        EXPECT_EQ(outcome.problem, c.problem) << c.what;
        EXPECT_EQ(outcome.layout.has_value(), std::string(c.problem).empty()) << c.what;
        EXPECT_NE(outcome.note.find(c.note), std::string::npos) << c.what << ": " << outcome.note;
        if (outcome.layout) {
            EXPECT_GT(outcome.layout->linesPerSecond, 0.0) << c.what;
        }
    }
    Fields zero;
    zero.linesPerSecond = 0;
    const Layout::Outcome tenLines = Layout::make(zero, kShortwave, 1000);
    EXPECT_EQ(tenLines.fields.linesPerSecond, 10);
    EXPECT_EQ(tenLines.layout->samplesPerLine, 19200);

    EXPECT_EQ(Layout::make(Fields{}, Layout::Recording{192000, 0, 7100000, 60}, 1000).problem,
              "The recording has no bandwidth to draw");
    EXPECT_EQ(Layout::make(Fields{}, kShortwave, 0).problem, "The window is too narrow to draw in");
}

TEST(WaterfallWindowLayout, WideBandsStayWithinTheMemoryBudget)
{
    for (double rate : {2e6, 10e6}) {
        const Layout layout = layoutOf(Fields{}, Layout::Recording{rate, rate, 100e6, 10}, 1000);
        EXPECT_EQ(layout.fullHeight, static_cast<int>(rate * 0.03)) << rate;
        EXPECT_TRUE(layout.reducedForMemory()) << rate;
        EXPECT_LE(layout.pictureBytes(), Layout::kPictureBudgetBytes) << rate;
        EXPECT_GT(layout.pictureBytes(), Layout::kPictureBudgetBytes - 1000 * Layout::kBytesPerPixel) << rate;
        // The read-out still spans the whole band.
        EXPECT_DOUBLE_EQ(layout.frequencyAt(0), 100e3 - rate / 2000) << rate;
        EXPECT_DOUBLE_EQ(layout.frequencyAt(layout.height), 100e3 + rate / 2000) << rate;
    }
    const Layout::Outcome outcome = Layout::make(Fields{}, Layout::Recording{10e6, 10e6, 100e6, 10}, 1000);
    EXPECT_EQ(outcome.note, "The band is drawn at 0.45 pixels per 100 Hz to stay within 256 MB (3 would take 1716 MB)");
}

TEST(WaterfallWindowLayout, ZoomDrawsTheSpanClampedToTheBand)
{
    Fields fields;
    fields.zoomToSpan = true;
    fields.centerKHz = 7110;
    fields.spanKHz = 20;
    const Layout inside = layoutOf(fields, kShortwave, 100);
    EXPECT_EQ(inside.startFreq, 0);
    EXPECT_EQ(inside.stopFreq, 20000);
    EXPECT_EQ(inside.height, 600);
    EXPECT_DOUBLE_EQ(inside.frequencyAt(300), 7110.0);

    fields.centerKHz = 7190;
    const Layout edge = layoutOf(fields, kShortwave, 100);
    EXPECT_DOUBLE_EQ(edge.lowKHz, 7180.0);
    EXPECT_DOUBLE_EQ(edge.highKHz, 7196.0);
    EXPECT_EQ(edge.stopFreq, 96000);
}

// A narrow span fills the view's height; a wide one keeps 3 pixels per 100 Hz;
// the whole band ignores the view.
TEST(WaterfallWindowLayout, ZoomedSpanFillsTheView)
{
    struct Case {
        bool zoom;
        double centreKHz, spanKHz;
        int viewHeight;
        int height;
    };
    for (const Case& c : {Case{true, 7100.75, 3, 640, 640}, Case{true, 7100, 40, 640, 1200},
                          Case{false, 7100, 3, 640, 5760}, Case{true, 7100, 3, 0, 90}}) {
        Fields fields;
        fields.zoomToSpan = c.zoom;
        fields.centerKHz = c.centreKHz;
        fields.spanKHz = c.spanKHz;
        const Layout::Outcome outcome = Layout::make(fields, kShortwave, 100, c.viewHeight);
        ASSERT_TRUE(outcome.layout) << outcome.problem;
        EXPECT_EQ(outcome.layout->height, c.height) << c.spanKHz << " " << c.viewHeight;
        EXPECT_FALSE(outcome.layout->reducedForMemory());
        EXPECT_DOUBLE_EQ(outcome.fields.centerKHz, c.centreKHz) << "the centre stays as typed";
        if (c.zoom) {
            EXPECT_DOUBLE_EQ(outcome.layout->frequencyAt(c.height / 2.0), c.centreKHz);
            EXPECT_DOUBLE_EQ(outcome.layout->frequencyAt(c.height), c.centreKHz + c.spanKHz / 2);
        }
    }
}

TEST(WaterfallWindowLayout, PagingMovesThreeQuartersOfTheShownTime)
{
    // 2000 columns at 50 lines per second show 40 s.
    EXPECT_EQ(Layout::pageBack(5, 2000, 50), 0);
    EXPECT_EQ(Layout::pageForward(0, 2000, 50, 100), 30);
    EXPECT_EQ(Layout::pageBack(100.7, 2000, 50), 70);
    EXPECT_EQ(Layout::pageForward(69.5, 2000, 50, 100), 99);
    EXPECT_EQ(Layout::pageForward(70, 2000, 50, 100), std::nullopt);
    // Under a second shown: still moves.
    EXPECT_DOUBLE_EQ(*Layout::pageForward(0, 100, 200, 10), 0.375);
    EXPECT_DOUBLE_EQ(Layout::pageBack(1, 100, 200), 0.625);
}

TEST(WaterfallWindowSession, ToneLandsInItsRowAndReadsOut)
{
    fixtures::TempDir dir;
    WaterfallWindowSession session;
    std::string problem;
    ASSERT_TRUE(session.open(writeTone(dir, 48000, 1.0, 12000.0), problem)) << problem;
    EXPECT_EQ(session.title(), "7076 - 7124 kHz   02-Jan-2014 03:04:05");

    Fields fields;
    fields.fftSize = 8192;
    drawAndWait(session, fields, 20);
    const Layout& layout = *session.layout();
    EXPECT_EQ(layout.height, 1440);
    for (int c : {0, 10, 19}) {
        const int row = strongestRow(session, c);
        EXPECT_NEAR(layout.frequencyAt(row + 0.5), 7112.0, 0.05) << "column " << c;
    }
    const int row = strongestRow(session, 5);
    const std::string text = session.readOut(5.5, row + 0.5);
    EXPECT_NEAR(std::stod(text), 7112.0, 0.05) << text;
    EXPECT_NE(text.find(" kHz  02-Jan-2014 03:04:05  -"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 3), " dB") << text;
    // No level over a column not drawn.
    EXPECT_EQ(session.readOut(25, 10).find("dB"), std::string::npos);
}

// A line is shorter than the transform: the window must taper the samples
// read, not the zero-padded block, or a tone loses tens of dB and smears
// over the whole band.
TEST(WaterfallWindowSession, ToneLevelFollowsTheSamplesReadAndStaysInItsRows)
{
    fixtures::TempDir dir;
    WaterfallWindowSession session;
    std::string problem;
    ASSERT_TRUE(session.open(writeTone(dir, 48000, 1.0, 12000.0), problem)) << problem;
    struct Case {
        int fftSize;
        double linesPerSecond;
    };
    for (const Case c : {Case{8192, 50}, Case{65536, 50}, Case{4096, 10}}) {
        Fields fields;
        fields.fftSize = c.fftSize;
        fields.linesPerSecond = c.linesPerSecond;
        drawAndWait(session, fields, 4);
        const Layout& layout = *session.layout();
        const double expected = 20.0 * std::log10(12000.0 / 16383.5) +
                                20.0 * std::log10(static_cast<double>(layout.samplesRead) / layout.fftSize);
        const int toneRow = strongestRow(session, 1);
        EXPECT_NEAR(*session.levelAt(1, toneRow), expected, 0.5) << c.fftSize << " points";
        const int farRow = static_cast<int>(layout.height * (7090.0 - layout.lowKHz) / (layout.highKHz - layout.lowKHz));
        EXPECT_LT(*session.levelAt(1, farRow), expected - 80.0) << c.fftSize << " points";
    }
}

TEST(WaterfallWindowSession, KeyedCarrierShowsItsPatternInTheColumns)
{
    fixtures::TempDir dir;
    constexpr int kRate = 48000;
    // On for half a second, off for half a second.
    auto keyed = [](int64_t k) { return (k / (kRate / 2)) % 2 == 0; };
    WaterfallWindowSession session;
    std::string problem;
    ASSERT_TRUE(session.open(writeTone(dir, kRate, 2.0, -5000.0, keyed), problem)) << problem;

    Fields fields;
    fields.fftSize = 8192;
    fields.linesPerSecond = 10;
    drawAndWait(session, fields, 20);
    const int toneRow = strongestRow(session, 0);
    EXPECT_NEAR(session.layout()->frequencyAt(toneRow + 0.5), 7095.0, 0.05);
    for (int c = 0; c < 20; ++c) {
        const bool on = (c / 5) % 2 == 0;
        if (on) {
            EXPECT_GT(*session.levelAt(c, toneRow), -100.0) << "column " << c;
        } else {
            EXPECT_LT(*session.levelAt(c, toneRow), -200.0) << "column " << c;
        }
    }
}

// Levels measured from the picture span its noise floor to its tone, and a
// picture recoloured with them is the picture drawn with them.
TEST(WaterfallWindowSession, MeasuredLevelsRecolourThePictureAsADrawingWithThem)
{
    fixtures::TempDir dir;
    WaterfallWindowSession session;
    std::string problem;
    // A tone over weak noise.
    uint32_t seed = 1;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<double>(seed >> 8) / (1u << 24) - 0.5) * 4.0;
    };
    ASSERT_TRUE(session.open(writeRecording(dir, 48000, 1.0,
                                            [&](int64_t k) {
                                                const double phase = 2.0 * std::numbers::pi * std::fmod(3000.0 * k / 48000, 1.0);
                                                return std::pair{3000.0 * std::cos(phase) + noise(),
                                                                 3000.0 * std::sin(phase) + noise()};
                                            }),
                             problem))
        << problem;
    EXPECT_FALSE(session.measuredLevels());
    Fields fields;
    fields.fftSize = 8192;
    fields.linesPerSecond = 20;
    drawAndWait(session, fields, 20);

    const std::optional<WaterfallLevels::Range> levels = session.measuredLevels();
    ASSERT_TRUE(levels);
    const int toneRow = strongestRow(session, 3);
    EXPECT_GE(levels->maxDb, *session.levelAt(3, toneRow));
    EXPECT_LT(levels->maxDb, *session.levelAt(3, toneRow) + 1.0);
    EXPECT_LT(levels->minDb, levels->maxDb - 30);
    ASSERT_TRUE(session.recolor(levels->minDb, levels->maxDb));
    const Layout& layout = *session.layout();
    const std::vector<std::uint8_t> recoloured(session.rgba(), session.rgba() + 4 * layout.width * layout.height);

    fields.minDb = levels->minDb;
    fields.maxDb = levels->maxDb;
    drawAndWait(session, fields, 20);
    const std::vector<std::uint8_t> drawn(session.rgba(), session.rgba() + 4 * layout.width * layout.height);
    // Kept levels are rounded to 0.01 dB: a pixel on a colour step may fall
    // to the neighbouring colour, no further.
    size_t differing = 0;
    int largest = 0;
    for (size_t k = 0; k < drawn.size(); ++k) {
        differing += recoloured[k] != drawn[k] ? 1 : 0;
        largest = std::max(largest, std::abs(recoloured[k] - drawn[k]));
    }
    EXPECT_LT(differing, drawn.size() / 20);
    EXPECT_LE(largest, 12);

    EXPECT_FALSE(session.recolor(-100, -100));
}

TEST(WaterfallWindowSession, ColumnsPastTheEndAreSilentAndComputedWithoutAllocating)
{
    fixtures::TempDir dir;
    WaterfallWindowSession session;
    std::string problem;
    ASSERT_TRUE(session.open(writeTone(dir, 48000, 1.0, 1000.0), problem)) << problem;
    Fields fields;
    fields.fftSize = 4096;
    fields.linesPerSecond = 10;
    fields.startSeconds = 0.5;
    ASSERT_TRUE(session.prepare(fields, 10).layout);
    const AllocationCounter counter;
    for (int c = 0; c < 10; ++c)
        session.computeColumn(c);
    EXPECT_EQ(counter.Count(), 0u);
    EXPECT_EQ(session.columnsDone(), 0); // computed by hand, not published
    EXPECT_FALSE(session.levelAt(0, 0));

    drawAndWait(session, fields, 10);
    const int toneRow = strongestRow(session, 0);
    EXPECT_GT(*session.levelAt(4, toneRow), -100.0);
    for (int c = 5; c < 10; ++c)
        EXPECT_LT(*session.levelAt(c, toneRow), -219.0) << "column " << c;
    // The silence past the end is no noise floor for automatic levels.
    EXPECT_EQ(session.layout()->columnsWithSamples(), 5);
    const std::optional<WaterfallLevels::Range> levels = session.measuredLevels();
    ASSERT_TRUE(levels);
    EXPECT_GT(levels->minDb, -200);
}

TEST(WaterfallWindowSession, AbandoningOrDestroyingEndsTheDrawingThread)
{
    fixtures::TempDir dir;
    const std::string path = writeTone(dir, 48000, 2.0, 1000.0);
    const int threadsBefore = threadsOfProcess();
    Fields fields;
    fields.fftSize = 1048576;
    fields.linesPerSecond = 1000;
    {
        WaterfallWindowSession session;
        std::string problem;
        ASSERT_TRUE(session.open(path, problem)) << problem;
        ASSERT_TRUE(session.draw(fields, 2000).layout);
        EXPECT_TRUE(session.isDrawing());
        EXPECT_EQ(threadsOfProcess(), threadsBefore + 1);
        session.abandonDrawing();
        EXPECT_FALSE(session.isDrawing());
        EXPECT_LT(session.columnsDone(), 2000);
        EXPECT_EQ(threadsOfProcess(), threadsBefore);

        // A new drawing replaces one in progress; the session's end joins it.
        ASSERT_TRUE(session.draw(fields, 2000).layout);
        ASSERT_TRUE(session.draw(fields, 2000).layout);
        EXPECT_EQ(threadsOfProcess(), threadsBefore + 1);
    }
    EXPECT_EQ(threadsOfProcess(), threadsBefore);
}

TEST(WaterfallWindowSession, RefusesWhatIsNoRecording)
{
    fixtures::TempDir dir;
    WaterfallWindowSession session;
    std::string problem;
    EXPECT_FALSE(session.open(dir.write("notes.wav", {'h', 'e', 'l', 'l', 'o'}), problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_EQ(session.draw(Fields{}, 100).problem, "No recording is open");
    EXPECT_FALSE(session.isDrawing());
}

} // namespace
