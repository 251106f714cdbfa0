#pragma once

#include "common/ComplexSample.h"
#include "dsp/FftObject.h"
#include "recording/RecordingObject.h"
#include "waterfall/WaterfallColorTable.h"
#include "waterfall/WaterfallLevels.h"
#include "waterfall/WaterfallWindowLayout.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The waterfall window without a window: its own recording, display FFT and
// buffers, and the picture of one stretch of the recording at a chosen number
// of lines per second. A drawing runs on a thread of its own; the window polls
// columnsDone() and paints the columns published so far from rgba(). Starting
// another drawing abandons the one in progress, and so does destruction,
// which joins the thread. All calls but the getters marked otherwise come
// from one (the window's) thread.
class WaterfallWindowSession {
public:
    WaterfallWindowSession();
    ~WaterfallWindowSession();
    WaterfallWindowSession(const WaterfallWindowSession&) = delete;
    WaterfallWindowSession& operator=(const WaterfallWindowSession&) = delete;

    // Opens `path` in this session's own recording model. False with the
    // reason in `problem` when it is no recording; nothing is drawn then.
    bool open(const std::string& path, std::string& problem);
    const RecordingObject& recording() const { return recording_; }
    // Information lines from opening the file.
    const std::vector<std::string>& infoArray() const { return infoArray_; }
    WaterfallWindowLayout::Recording recordingShape() const;
    // "7004 - 7196 kHz   05-Dec-2026 16:39:35"
    std::string title() const;

    // Abandons a drawing in progress, lays the picture out for `fields` over
    // `width` columns (a span zoomed to over at least `viewHeight` rows) and
    // draws it on the worker thread. With a problem in the
    // outcome nothing changes but the abandoning.
    WaterfallWindowLayout::Outcome draw(const WaterfallWindowFields& fields, int width, int viewHeight = 0);
    // As draw(), without starting the worker: the columns are then computed
    // by computeColumn().
    WaterfallWindowLayout::Outcome prepare(const WaterfallWindowFields& fields, int width, int viewHeight = 0);
    // Computes and paints column c (0 <= c < width) of the prepared picture;
    // allocates nothing. What the worker does for every column.
    void computeColumn(int c);
    // Stops the worker after the column in hand and waits for it.
    void abandonDrawing();

    // Any thread: whether a drawing is running, and how many columns of the
    // picture (from the left) are complete.
    bool isDrawing() const { return drawing_.load(std::memory_order_acquire); }
    int columnsDone() const { return columnsDone_.load(std::memory_order_acquire); }
    // Why the last drawing stopped early (a read error), else "".
    std::string drawingProblem() const;

    // The picture laid out by the last successful draw() or prepare().
    const std::optional<WaterfallWindowLayout>& layout() const { return layout_; }
    // layout()->width x height pixels, red, green, blue, alpha, rows top down
    // (4 x width bytes a row). Only the first columnsDone() columns are
    // painted; the worker writes the others.
    const std::uint8_t* rgba() const { return rgba_.get(); }
    // Level in dB of the pixel in column x, row y, when it is painted.
    std::optional<double> levelAt(int x, int y) const;
    // The dB range that shows the painted columns: their noise floor to
    // their strongest level; nullopt before a column is painted.
    std::optional<WaterfallLevels::Range> measuredLevels() const;
    // Paints the finished picture again for minDb..maxDb (dB, min below max)
    // from the levels kept, without computing it again. False, changing
    // nothing, while a drawing runs or with no picture.
    bool recolor(double minDb, double maxDb);

    // The status line for the pointer at (x, y) in the picture, x across and
    // y down: " %g kHz  <time>", and the level there when painted.
    std::string readOut(double x, double y) const;

private:
    void run();

    RecordingObject recording_;
    std::vector<std::string> infoArray_;
    bool open_ = false;
    FftObject displayFftObject_;
    WaterfallColorTable colors_;

    std::optional<WaterfallWindowLayout> layout_;
    std::vector<ComplexSample> block_;
    std::vector<double> window_; // one weight per sample read
    std::vector<int> screenRow_;
    std::vector<double> dBRow_;
    int64_t pixels_ = 0;
    std::unique_ptr<std::uint8_t[]> rgba_;
    std::unique_ptr<std::int16_t[]> centiDb_;

    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> drawing_{false};
    std::atomic<int> columnsDone_{0};
    mutable std::mutex problemLock_;
    std::string drawingProblem_;
};
