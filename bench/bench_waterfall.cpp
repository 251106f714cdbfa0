// Drawing the whole-recording waterfall of a one-hour recording at 2,000,000
// samples per second (8192-point FFT): 3600 reads and transforms, as screen
// rows and as the main window's picture. The recording is a sparse stand-in
// (a header and 28.8 GB of holes, which read as zeros without disk I/O), made
// in the temp folder unless KORVEL_WATERFALL_FILE names one. Then zooming and
// panning that picture: one redraw of a 1000 x 800 view. And the hour drawn
// whole second (peak hold), all 1.76 million transforms of it.
#include "recording/RecordingObject.h"
#include "waterfall/WaterfallGenerator.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"
#include "waterfall/WaterfallViewMapping.h"
#include "waterfall/WaterfallViewRenderer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kRate = 2000000;
constexpr uint64_t kSeconds = 3600;

void put32(uint8_t* p, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<uint8_t>(v >> (8 * k));
}

// A 16-bit stereo WAV header whose size fields say "unknown" (0xFFFFFFFF), as
// recorders write past 4 GiB, followed by one hour of holes.
std::string makeSparseHour()
{
    const std::string path = (std::filesystem::temp_directory_path() / "korvel-bench-hour.wav").string();
    uint8_t h[44] = {};
    std::copy_n("RIFF", 4, h);
    put32(h + 4, 0xFFFFFFFFu);
    std::copy_n("WAVEfmt ", 8, h + 8);
    put32(h + 16, 16);
    h[20] = 1;
    h[22] = 2;
    put32(h + 24, kRate);
    put32(h + 28, kRate * 4);
    h[32] = 4;
    h[34] = 16;
    std::copy_n("data", 4, h + 36);
    put32(h + 40, 0xFFFFFFFFu);
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || write(fd, h, sizeof h) != static_cast<ssize_t>(sizeof h) ||
        ftruncate(fd, static_cast<off_t>(sizeof h + kSeconds * kRate * 4)) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
    return path;
}

// The hour (or the file KORVEL_WATERFALL_FILE names) opened, and removed at the end when made here.
class HourRecording {
public:
    HourRecording()
        : given_(std::getenv("KORVEL_WATERFALL_FILE"))
        , path_(given_ ? given_ : makeSparseHour())
    {
        std::vector<std::string> lines;
        recording.setRecordingFile(path_, lines);
    }
    ~HourRecording()
    {
        if (!given_)
            std::filesystem::remove(path_);
    }
    HourRecording(const HourRecording&) = delete;
    HourRecording& operator=(const HourRecording&) = delete;

    RecordingObject recording;

private:
    const char* given_;
    std::string path_;
};

void BM_WholeRecordingWaterfall(benchmark::State& state)
{
    HourRecording hour;
    RecordingObject& recording = hour.recording;
    if (!recording.isValidRecordingFile()) {
        state.SkipWithError("recording refused");
        return;
    }
    const int fftSize = static_cast<int>(state.range(0));
    std::vector<int> row(WaterfallGenerator::kColumns + 1);
    WaterfallGenerator generator(recording, fftSize, -80.0, -110.0);
    for (auto _ : state) {
        for (int s = 0; s < generator.lineCount(); ++s)
            generator.computeLine(s, row.data());
        benchmark::DoNotOptimize(row.data());
    }
    state.counters["lines"] = recording.parameters().mNumSeconds;
}

void BM_WholeRecordingPicture(benchmark::State& state)
{
    HourRecording hour;
    RecordingObject& recording = hour.recording;
    if (!recording.isValidRecordingFile()) {
        state.SkipWithError("recording refused");
        return;
    }
    WaterfallGenerator generator(recording, static_cast<int>(state.range(0)), -80.0, -110.0);
    const WaterfallRowPlan plan(generator.lineCount(), WaterfallRowPlan::kMaxWindowRows);
    WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
    for (auto _ : state) {
        for (int r = 0; r < plan.rowCount(); ++r)
            generator.computeRow(plan, r, picture, r);
        benchmark::DoNotOptimize(picture.row(0));
    }
    state.counters["rows"] = plan.rowCount();
    state.counters["picture_MB"] = static_cast<double>(picture.memoryBytes()) / (1 << 20);
}

// The same picture with every transform of every second (half-overlapped,
// peak hold): 488 transforms a second instead of one, on range(1) threads
// (0: the machine's).
void BM_WholeSecondPicture(benchmark::State& state)
{
    HourRecording hour;
    RecordingObject& recording = hour.recording;
    if (!recording.isValidRecordingFile()) {
        state.SkipWithError("recording refused");
        return;
    }
    WaterfallGenerator generator(recording, static_cast<int>(state.range(0)), -80.0, -110.0);
    generator.usePeakHold(static_cast<int>(state.range(1)));
    const WaterfallRowPlan plan(generator.lineCount(), WaterfallRowPlan::kMaxWindowRows);
    WaterfallPicture picture(plan.rowCount(), generator.fftSize(), generator.sampleRate());
    const int batch = 2 * generator.peakHoldThreads();
    for (auto _ : state) {
        for (int r = 0; r < plan.rowCount(); r += batch)
            generator.computeRows(plan, r, std::min(batch, plan.rowCount() - r), picture, r);
        benchmark::DoNotOptimize(picture.row(0));
    }
    state.counters["rows"] = plan.rowCount();
    state.counters["threads"] = generator.peakHoldThreads();
}

// One redraw of a 1000 x 800 view of the one-hour picture (3600 rows of 8192
// levels) at zoom 2^range(0), panned to a new place each time.
void BM_ZoomAndPanRedraw(benchmark::State& state)
{
    const WaterfallRowPlan plan(static_cast<int>(kSeconds), WaterfallRowPlan::kMaxWindowRows);
    WaterfallPicture picture(plan.rowCount(), 8192, kRate);
    std::vector<double> bels(8192);
    for (int r = 0; r < plan.rowCount(); ++r) {
        for (size_t b = 0; b < bels.size(); ++b)
            bels[b] = -11.0 + 0.001 * static_cast<double>((b * 7919 + static_cast<size_t>(r) * 104729) % 3001);
        picture.mergeSpectrum(r, bels.data());
    }
    picture.setRowsDone(plan.rowCount());
    constexpr int kWidth = 1000;
    constexpr int kHeight = 800;
    WaterfallViewMapping mapping(kRate * 0.001, 7100.0, plan);
    mapping.setMaxContentWidth(WaterfallViewMapping::kMaxPixelsPerColumn * picture.columns());
    mapping.fit(kWidth, kHeight);
    mapping.zoomAround(static_cast<double>(1 << state.range(0)), 0.0);
    WaterfallViewRenderer renderer;
    std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * kHeight * 4);
    int pan = 0;
    for (auto _ : state) {
        const int left = static_cast<int>((pan * 7919L) % std::max(1L, static_cast<long>(mapping.contentWidth()) - kWidth));
        const int top = (pan * 211) % std::max(1, static_cast<int>(mapping.contentHeight()) - kHeight);
        renderer.render(picture, mapping, left, top, kWidth, kHeight, -80.0, -110.0, true, rgba.data(), kWidth * 4);
        benchmark::DoNotOptimize(rgba.data());
        ++pan;
    }
    state.counters["picture_MB"] = static_cast<double>(picture.memoryBytes()) / (1 << 20);
    state.counters["content_width"] = mapping.contentWidth();
}

} // namespace

BENCHMARK(BM_WholeRecordingWaterfall)->Arg(8192)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeRecordingPicture)->Arg(8192)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeSecondPicture)->Args({8192, 0})->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ZoomAndPanRedraw)->DenseRange(0, 6, 3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
