#pragma once

#include "common/ComplexSample.h"
#include "dsp/FftObject.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class RecordingObject;
class WaterfallPicture;
class WaterfallRowPlan;

// The "whole second" waterfall row: the display transform of every block of
// every second the row covers, blocks half a transform apart (the window's
// weights overlap so that no instant of the second is weighted below half),
// keeping each bin's strongest power, then one level per bin. A short burst
// anywhere in the second shows, where the plain row sees only the first
// block of the second.
//
// Rows are shared out over a pool of threads made at construction; each has
// its own transform and buffers, so computing rows allocates nothing. Reads
// of the recording take turns; the transforms run in parallel. Every row is
// the work of one thread alone, so the rows do not depend on the number of
// threads.
class WaterfallPeakHold {
public:
    // Samples read at a time per thread (at least one block).
    static constexpr int64_t kSamplesPerRead = 1 << 17;
    // Memory of all threads' transforms and buffers; a large transform gets
    // fewer threads rather than gigabytes.
    static constexpr int64_t kMemoryBudget = int64_t(1) << 30;

    // `recording` must stay open and is read only through computeRows(), by
    // one computeRows() at a time. fftSize as the display transform clamps it.
    // threads: threads in all, the caller's included; 0 takes one per CPU the
    // process may run on (its affinity: a batch job's share, not the machine);
    // fewer where kMemoryBudget would not hold them.
    WaterfallPeakHold(RecordingObject& recording, int fftSize, int threads = 0);
    ~WaterfallPeakHold();
    WaterfallPeakHold(const WaterfallPeakHold&) = delete;
    WaterfallPeakHold& operator=(const WaterfallPeakHold&) = delete;

    int threads() const { return static_cast<int>(workers_.size()); }
    int fftSize() const { return size_; }
    // Transforms of one second of the recording.
    int64_t blocksPerSecond() const { return blockCount_; }

    // Rows firstRow .. firstRow + count - 1 of `plan` into picture rows
    // firstPictureRow onwards (a picture of this transform size), each row the
    // peak over every second it covers. Returns false on a read error (the
    // recording's readError() says why); rows are then incomplete.
    bool computeRows(const WaterfallRowPlan& plan, int firstRow, int count, WaterfallPicture& picture,
                     int firstPictureRow);

private:
    struct Worker {
        FftObject fft;
        std::vector<ComplexSample> samples;
        std::vector<float> peak;
        std::vector<double> levels;
    };

    int64_t blockStart(int64_t block) const;
    bool holdSecond(Worker& worker, int second);
    bool computeRow(Worker& worker, int row, int pictureRow);
    void work(Worker& worker);
    void serve(Worker& worker);

    RecordingObject& recording_;
    int size_ = 0;
    int64_t samplesPerSecond_ = 0;
    int64_t hop_ = 1;
    int64_t blockCount_ = 1;
    int64_t blocksPerRead_ = 1;
    std::vector<std::unique_ptr<Worker>> workers_; // the first is the caller's
    std::vector<std::thread> threads_;
    std::mutex readLock_;

    // The job in hand; set before the generation is raised under jobLock_.
    const WaterfallRowPlan* plan_ = nullptr;
    WaterfallPicture* picture_ = nullptr;
    int firstRow_ = 0;
    int rowCount_ = 0;
    int firstPictureRow_ = 0;
    std::atomic<int> nextRow_{0};
    std::atomic<bool> failed_{false};

    std::mutex jobLock_;
    std::condition_variable jobReady_;
    std::condition_variable jobDone_;
    uint64_t generation_ = 0;
    int busy_ = 0;
    bool stopping_ = false;
};
