#include "waterfall/WaterfallWindowLayout.h"

#include "common/CNumberFormat.h"
#include "recording/SelectionRules.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// trunc(v) for any v, limited to [lo, hi] first.
int64_t TruncWithin(double v, int64_t lo, int64_t hi)
{
    if (!(v == v))
        return 0;
    return static_cast<int64_t>(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
}

int NextPowerOfTwo(double size)
{
    int n = WaterfallWindowLayout::kMinFftSize;
    while (n < size)
        n *= 2;
    return n;
}

std::string Seconds(double seconds)
{
    return WaterfallWindowFields::text(std::floor(seconds * 1000.0) / 1000.0);
}

} // namespace

double WaterfallWindowLayout::frequencyAt(double y) const
{
    return (y / height - 0.5) * (highKHz - lowKHz) + 0.5 * (lowKHz + highKHz);
}

double WaterfallWindowLayout::secondsAt(double x) const { return x / linesPerSecond + startSeconds; }

int WaterfallWindowLayout::columnsWithSamples() const
{
    const double columns = std::ceil((recordingSeconds - startSeconds) * linesPerSecond);
    return static_cast<int>(std::clamp(columns, 0.0, static_cast<double>(width)));
}

WaterfallWindowLayout::Outcome WaterfallWindowLayout::make(const WaterfallWindowFields& fields,
                                                           const Recording& recording, int width, int viewHeight)
{
    Outcome out;
    out.fields = fields;
    WaterfallWindowFields& used = out.fields;
    auto refuse = [&out](std::string problem) {
        out.problem = std::move(problem);
        return out;
    };

    if (const char* problem = BandwidthProblem(recording.bandwidth))
        return refuse(problem);
    if (!(recording.sampleRate > 0.0) || !(recording.seconds > 0.0))
        return refuse("The recording holds no samples to draw");

    if (!(used.fftSize >= kMinFftSize && used.fftSize <= kMaxFftSize))
        return refuse("FFT size must be from " + std::to_string(kMinFftSize) + " to " + std::to_string(kMaxFftSize));
    const int fftSize = NextPowerOfTwo(used.fftSize);
    if (fftSize != used.fftSize)
        out.note = "FFT size rounded up to " + std::to_string(fftSize) + ", a power of two";
    used.fftSize = fftSize;

    if (const char* problem = DbRangeProblem(used.minDb, used.maxDb))
        return refuse(problem);

    if (!(used.linesPerSecond > 0.0))
        used.linesPerSecond = 10.0;
    if (used.linesPerSecond > recording.sampleRate)
        return refuse("Lines per second must be at most " + WaterfallWindowFields::text(recording.sampleRate) +
                      ", one sample per line");

    if (!(used.startSeconds >= 0.0 && used.startSeconds < recording.seconds))
        return refuse("Start time must be from 0 to below " + Seconds(recording.seconds) +
                      " seconds, the length of the recording");

    const double bandLowKHz = (recording.centerFreq - 0.5 * recording.bandwidth) * 0.001;
    const double bandHighKHz = (recording.centerFreq + 0.5 * recording.bandwidth) * 0.001;
    double lowKHz = bandLowKHz;
    double highKHz = bandHighKHz;
    if (used.zoomToSpan) {
        if (!(used.spanKHz > 0.0))
            return refuse("Span must be above 0 kHz to zoom to it");
        lowKHz = std::max(bandLowKHz, used.centerKHz - 0.5 * used.spanKHz);
        highKHz = std::min(bandHighKHz, used.centerKHz + 0.5 * used.spanKHz);
        if (!(highKHz > lowKHz))
            return refuse("Centre and span lie outside the recording's band, " + formatGeneral(bandLowKHz) +
                          " - " + formatGeneral(bandHighKHz) + " kHz");
    }

    if (width < 1)
        return refuse("The window is too narrow to draw in");

    WaterfallWindowLayout layout;
    layout.fftSize = fftSize;
    layout.linesPerSecond = used.linesPerSecond;
    layout.startSeconds = used.startSeconds;
    layout.samplesPerLine = std::max<int64_t>(1, TruncWithin(recording.sampleRate / used.linesPerSecond, 0, INT64_MAX / 2));
    layout.samplesRead = static_cast<int>(std::min<int64_t>(layout.samplesPerLine, fftSize));
    layout.minDb = used.minDb;
    layout.maxDb = used.maxDb;
    if (used.zoomToSpan) {
        layout.startFreq = static_cast<int>(TruncWithin(lowKHz * 1000.0 - recording.centerFreq, INT_MIN, INT_MAX));
        layout.stopFreq = static_cast<int>(TruncWithin(highKHz * 1000.0 - recording.centerFreq, INT_MIN, INT_MAX));
    } else {
        const int halfBand = static_cast<int>(TruncWithin(0.5 * recording.bandwidth, 0, INT_MAX));
        layout.startFreq = -halfBand;
        layout.stopFreq = halfBand;
    }
    layout.lowKHz = lowKHz;
    layout.highKHz = highKHz;
    layout.width = width;
    layout.recordingSeconds = recording.seconds;

    double fullHeight = (highKHz - lowKHz) * 1000.0 * kPixelsPerHz;
    std::string wantedPerHundredHz = formatGeneral(kPixelsPerHz * 100.0);
    if (used.zoomToSpan && viewHeight > fullHeight) {
        fullHeight = viewHeight;
        wantedPerHundredHz = formatFixed(fullHeight / ((highKHz - lowKHz) * 10.0), 2);
    }
    layout.fullHeight = static_cast<int>(TruncWithin(fullHeight, 1, INT_MAX));
    const int64_t budgetRows = std::max<int64_t>(1, kPictureBudgetBytes / (int64_t{width} * kBytesPerPixel));
    layout.height = static_cast<int>(std::min<int64_t>(layout.fullHeight, budgetRows));
    if (layout.reducedForMemory()) {
        const double perHundredHz = layout.height / ((highKHz - lowKHz) * 10.0);
        const int64_t fullBytes = int64_t{layout.fullHeight} * width * kBytesPerPixel;
        std::string memory = "The band is drawn at " + formatFixed(perHundredHz, 2) +
                             " pixels per 100 Hz to stay within " + std::to_string(kPictureBudgetBytes >> 20) +
                             " MB (" + wantedPerHundredHz + " would take " + std::to_string(fullBytes >> 20) + " MB)";
        out.note = out.note.empty() ? memory : out.note + "; " + memory;
    }
    out.layout = layout;
    return out;
}

double WaterfallWindowLayout::pageBack(double startSeconds, int width, double linesPerSecond)
{
    const int64_t shown = TruncWithin(width / linesPerSecond, 0, INT64_MAX / 4);
    const int64_t step = (3 * shown) / 4;
    if (step == 0)
        return std::max(0.0, startSeconds - 0.75 * width / linesPerSecond);
    return static_cast<double>(TruncWithin(std::max(0.0, startSeconds - static_cast<double>(step)), 0, INT64_MAX / 4));
}

std::optional<double> WaterfallWindowLayout::pageForward(double startSeconds, int width, double linesPerSecond,
                                                         double recordingSeconds)
{
    const int64_t shown = TruncWithin(width / linesPerSecond, 0, INT64_MAX / 4);
    const int64_t step = (3 * shown) / 4;
    const double next = step == 0 ? startSeconds + 0.75 * width / linesPerSecond
                                  : static_cast<double>(TruncWithin(startSeconds + static_cast<double>(step), 0,
                                                                    INT64_MAX / 4));
    if (!(next < recordingSeconds))
        return std::nullopt;
    return next;
}

std::string WaterfallWindowLayout::title(const Recording& recording, const std::string& startTime)
{
    const int64_t low = TruncWithin(recording.centerFreq - 0.5 * recording.bandwidth, INT64_MIN / 2, INT64_MAX / 2);
    const int64_t high = TruncWithin(recording.centerFreq + 0.5 * recording.bandwidth, INT64_MIN / 2, INT64_MAX / 2);
    return std::to_string(low / 1000) + " - " + std::to_string(high / 1000) + " kHz   " + startTime;
}
