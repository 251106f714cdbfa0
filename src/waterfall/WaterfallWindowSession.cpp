#include "waterfall/WaterfallWindowSession.h"

#include "common/CNumberFormat.h"
#include "common/GccRestrictWarning.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int kRowHeight = WaterfallColorTable::kNumLevels - 1;
constexpr FftWindow kWindowType = FftWindow::FlatTop; // flat top: levels of tones read true wherever they fall between bins

} // namespace

WaterfallWindowSession::WaterfallWindowSession()
{
    // A line is usually shorter than the transform: the flat-top window is
    // applied here over the samples read, and the transform's own window is
    // rectangular, so that the zeros padding the line are not weighted as if
    // they were samples. The size is the engine's own, which configure takes.
    static_cast<void>(
        displayFftObject_.configure(displayFftObject_.fftSize(), FftWindow::Rectangular, false, 0.0, 1000.0));
}

WaterfallWindowSession::~WaterfallWindowSession() { abandonDrawing(); }

bool WaterfallWindowSession::open(const std::string& path, std::string& problem)
{
    abandonDrawing();
    layout_.reset();
    recording_.setRecordingFile(path, infoArray_);
    open_ = recording_.isValidRecordingFile();
    if (!open_) {
        problem = infoArray_.empty() ? "Can't open file" : infoArray_.back();
        return false;
    }
    return true;
}

WaterfallWindowLayout::Recording WaterfallWindowSession::recordingShape() const
{
    if (!open_)
        return {};
    const RecordingParameters& p = recording_.parameters();
    const double rate = p.mSampleRate;
    return {rate, p.mBandwidth, p.mCenterFreq, rate > 0.0 ? static_cast<double>(recording_.sampleCount()) / rate : 0.0};
}

std::string WaterfallWindowSession::title() const
{
    if (!open_)
        return {};
    return WaterfallWindowLayout::title(recordingShape(), recording_.startTimeKnown() ? recording_.TimestampFromOffset(0)
                                                                                     : "start time unknown");
}

WaterfallWindowLayout::Outcome WaterfallWindowSession::prepare(const WaterfallWindowFields& fields, int width,
                                                               int viewHeight)
{
    abandonDrawing();
    if (!open_) {
        WaterfallWindowLayout::Outcome none;
        none.fields = fields;
        none.problem = "No recording is open";
        return none;
    }
    WaterfallWindowLayout::Outcome outcome = WaterfallWindowLayout::make(fields, recordingShape(), width, viewHeight);
    if (!outcome.layout)
        return outcome;
    const WaterfallWindowLayout& layout = *outcome.layout;

    displayFftObject_.SetFFTParamsSize(layout.fftSize, false, 0.0, recordingShape().sampleRate);
    block_.resize(static_cast<size_t>(layout.samplesRead));
    window_.resize(static_cast<size_t>(layout.samplesRead));
    for (int k = 0; k < layout.samplesRead; ++k)
        window_[static_cast<size_t>(k)] = FftObject::windowWeight(kWindowType, k, layout.samplesRead);
    // The screen mapping writes the last bin of a span one row past the picture.
    screenRow_.assign(static_cast<size_t>(layout.height) + 1, 0);
    dBRow_.assign(static_cast<size_t>(layout.height) + 1, 0.0);
    const int64_t pixels = int64_t{layout.width} * layout.height;
    if (pixels != pixels_) {
        rgba_.reset();
        centiDb_.reset();
        rgba_ = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<size_t>(pixels) * 4);
        centiDb_ = std::make_unique_for_overwrite<std::int16_t[]>(static_cast<size_t>(pixels));
        pixels_ = pixels;
    }
    layout_ = layout;
    columnsDone_.store(0, std::memory_order_release);
    {
        std::lock_guard lock(problemLock_);
        drawingProblem_.clear();
    }
    return outcome;
}

WaterfallWindowLayout::Outcome WaterfallWindowSession::draw(const WaterfallWindowFields& fields, int width,
                                                            int viewHeight)
{
    WaterfallWindowLayout::Outcome outcome = prepare(fields, width, viewHeight);
    if (outcome.layout) {
        stop_.store(false);
        drawing_.store(true, std::memory_order_release);
        worker_ = std::thread([this] { run(); });
    }
    return outcome;
}

void WaterfallWindowSession::abandonDrawing()
{
    stop_.store(true);
    if (worker_.joinable())
        worker_.join();
    drawing_.store(false, std::memory_order_release);
}

void WaterfallWindowSession::run()
{
    const int width = layout_->width;
    for (int c = 0; c < width && !stop_.load(std::memory_order_relaxed); ++c) {
        computeColumn(c);
        if (!recording_.readError().empty()) {
            std::lock_guard lock(problemLock_);
            drawingProblem_ = recording_.readError();
            break;
        }
        columnsDone_.store(c + 1, std::memory_order_release);
    }
    drawing_.store(false, std::memory_order_release);
}

void WaterfallWindowSession::computeColumn(int c)
{
    const WaterfallWindowLayout& layout = *layout_;
    const double t = layout.secondsAt(c);
    int64_t got = 0;
    // Past the recording's end the line stays silent instead of reading there.
    if (t < layout.recordingSeconds)
        got = recording_.getData(block_.data(), t, layout.samplesRead);
    for (int64_t k = 0; k < got; ++k) {
        block_[static_cast<size_t>(k)].re *= window_[static_cast<size_t>(k)];
        block_[static_cast<size_t>(k)].im *= window_[static_cast<size_t>(k)];
    }
    // The transform pads the samples read with zeros to its size.
    displayFftObject_.PutInDisplayFFT(static_cast<int>(got), block_.data());
    displayFftObject_.GetScreenIntegerFFTDataMaxHeight(kRowHeight, layout.height, layout.maxDb, layout.minDb,
                                                       layout.startFreq, layout.stopFreq, screenRow_.data(),
                                                       dBRow_.data());

    const size_t stride = static_cast<size_t>(layout.width);
    std::uint8_t* pixel = rgba_.get() + 4 * static_cast<size_t>(c);
    std::int16_t* level = centiDb_.get() + c;
    for (int y = 0; y < layout.height; ++y, pixel += 4 * stride, level += stride) {
        const WaterfallColor color = colors_.Entry(kRowHeight - screenRow_[y]);
        pixel[0] = color.red;
        pixel[1] = color.green;
        pixel[2] = color.blue;
        pixel[3] = 255;
        *level = static_cast<std::int16_t>(std::lround(std::clamp(dBRow_[y] * 100.0, -32767.0, 32767.0)));
    }
}

std::string WaterfallWindowSession::drawingProblem() const
{
    std::lock_guard lock(problemLock_);
    return drawingProblem_;
}

std::optional<double> WaterfallWindowSession::levelAt(int x, int y) const
{
    if (!layout_ || x < 0 || y < 0 || x >= columnsDone() || y >= layout_->height)
        return std::nullopt;
    return 0.01 * centiDb_[static_cast<size_t>(y) * static_cast<size_t>(layout_->width) + static_cast<size_t>(x)];
}

std::optional<WaterfallLevels::Range> WaterfallWindowSession::measuredLevels() const
{
    if (!layout_)
        return std::nullopt;
    // Columns past the recording's end are silence: their levels are no noise floor.
    const int done = std::min(columnsDone(), layout_->columnsWithSamples());
    if (done == 0)
        return std::nullopt;
    WaterfallLevels levels;
    std::vector<double> dB(static_cast<size_t>(done));
    const size_t stride = static_cast<size_t>(layout_->width);
    for (int y = 0; y < layout_->height; ++y) {
        const std::int16_t* row = centiDb_.get() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < done; ++x)
            dB[static_cast<size_t>(x)] = 0.01 * row[x];
        levels.add(dB.data(), done);
    }
    return levels.suggest();
}

bool WaterfallWindowSession::recolor(double minDb, double maxDb)
{
    if (!layout_ || isDrawing() || !(minDb < maxDb))
        return false;
    layout_->minDb = minDb;
    layout_->maxDb = maxDb;
    // The same mapping as the transform's screen rows, from the kept levels.
    const double rowsPerDb = kRowHeight / (maxDb - minDb);
    const size_t stride = static_cast<size_t>(layout_->width);
    const int done = columnsDone();
    for (int y = 0; y < layout_->height; ++y) {
        const size_t rowStart = static_cast<size_t>(y) * stride;
        for (int x = 0; x < done; ++x) {
            const double height = (maxDb - 0.01 * centiDb_[rowStart + static_cast<size_t>(x)]) * rowsPerDb;
            const int screenRow = height >= kRowHeight ? kRowHeight : (height > 0.0 ? static_cast<int>(height) : 0);
            const WaterfallColor color = colors_.Entry(kRowHeight - screenRow);
            std::uint8_t* pixel = rgba_.get() + 4 * (rowStart + static_cast<size_t>(x));
            pixel[0] = color.red;
            pixel[1] = color.green;
            pixel[2] = color.blue;
        }
    }
    return true;
}

std::string WaterfallWindowSession::readOut(double x, double y) const
{
    if (!layout_)
        return {};
    const double seconds = layout_->secondsAt(x);
    std::string time;
    if (recording_.startTimeKnown())
        time = recording_.TimestampFromOffset(static_cast<int32_t>(std::clamp(seconds, 0.0, double(INT_MAX))));
    else
        time = formatFixed(seconds, 2) + " s";
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
    std::string text = " " + formatGeneral(layout_->frequencyAt(y)) + " kHz  " + time;
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
    if (const std::optional<double> level = levelAt(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))))
        text += "  " + formatFixed(*level, 1) + " dB";
    return text;
}
