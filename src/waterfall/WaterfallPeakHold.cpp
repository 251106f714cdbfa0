#include "waterfall/WaterfallPeakHold.h"

#include "recording/RecordingObject.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"

#include <algorithm>
#include <sched.h>

namespace {

// The CPUs this process may run on: a batch job given one core, or a run
// pinned with taskset, must not start a thread for every core of the machine.
int UsableCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace

WaterfallPeakHold::WaterfallPeakHold(RecordingObject& recording, int fftSize, int threads)
    : recording_(recording)
{
    if (threads <= 0)
        threads = UsableCpus();
    const double rate = static_cast<double>(recording.parameters().mSampleRate);
    workers_.push_back(std::make_unique<Worker>());
    workers_.front()->fft.SetFFTParamsSize(fftSize, false, 0.0, rate);
    size_ = workers_.front()->fft.fftSize();
    hop_ = size_ / 2;
    samplesPerSecond_ = recording.parameters().mSampleRate;
    // Blocks from the start of the second on, the last one ending where the second
    // ends; a second shorter than one block is read as the plain row reads it.
    if (samplesPerSecond_ > size_)
        blockCount_ = (samplesPerSecond_ - size_ + hop_ - 1) / hop_ + 1;
    blocksPerRead_ = std::clamp<int64_t>((kSamplesPerRead - size_) / hop_ + 1, 1, blockCount_);
    const int64_t pieceSamples = size_ + hop_ * (blocksPerRead_ - 1);
    // The transform's plan, scratch and tables, and the samples, peaks and levels.
    const int64_t workerBytes = int64_t(size_) * 72 + pieceSamples * int64_t(sizeof(ComplexSample));
    threads = static_cast<int>(std::clamp<int64_t>(kMemoryBudget / workerBytes, 1, threads));
    for (int k = 1; k < threads; ++k) {
        workers_.push_back(std::make_unique<Worker>());
        workers_.back()->fft.SetFFTParamsSize(size_, false, 0.0, rate);
    }
    for (auto& worker : workers_) {
        worker->samples.resize(static_cast<size_t>(pieceSamples));
        worker->peak.resize(static_cast<size_t>(size_));
        worker->levels.resize(static_cast<size_t>(size_));
    }
    for (size_t k = 1; k < workers_.size(); ++k)
        threads_.emplace_back([this, worker = workers_[k].get()] { serve(*worker); });
}

WaterfallPeakHold::~WaterfallPeakHold()
{
    {
        std::lock_guard lock(jobLock_);
        stopping_ = true;
    }
    jobReady_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

int64_t WaterfallPeakHold::blockStart(int64_t block) const
{
    return std::min(block * hop_, std::max<int64_t>(samplesPerSecond_ - size_, 0));
}

bool WaterfallPeakHold::holdSecond(Worker& worker, int second)
{
    const int64_t secondStart = static_cast<int64_t>(second) * samplesPerSecond_;
    for (int64_t first = 0; first < blockCount_;) {
        const int64_t end = std::min(first + blocksPerRead_, blockCount_);
        const int64_t pieceStart = blockStart(first);
        const int64_t length = blockStart(end - 1) + size_ - pieceStart;
        int64_t got = 0;
        {
            std::lock_guard lock(readLock_);
            // Half a sample in, so that the sample index survives the division.
            const double at = samplesPerSecond_ > 0
                                  ? (static_cast<double>(secondStart + pieceStart) + 0.5) / samplesPerSecond_
                                  : static_cast<double>(second);
            got = recording_.getData(worker.samples.data(), at, length);
            if (!recording_.readError().empty())
                return false;
        }
        std::fill(worker.samples.begin() + got, worker.samples.begin() + length, ComplexSample{});
        for (int64_t block = first; block < end; ++block)
            worker.fft.holdPeakPower(size_, worker.samples.data() + (blockStart(block) - pieceStart),
                                     worker.peak.data());
        first = end;
    }
    return true;
}

bool WaterfallPeakHold::computeRow(Worker& worker, int row, int pictureRow)
{
    std::fill(worker.peak.begin(), worker.peak.end(), 0.0f);
    for (int second = plan_->firstSecond(row); second < plan_->endSecond(row); ++second)
        if (!holdSecond(worker, second))
            return false;
    worker.fft.levelsOfPeakPower(worker.peak.data(), worker.levels.data());
    picture_->clearRow(pictureRow);
    picture_->mergeSpectrum(pictureRow, worker.levels.data());
    return true;
}

void WaterfallPeakHold::work(Worker& worker)
{
    for (int k = nextRow_.fetch_add(1); k < rowCount_ && !failed_.load(); k = nextRow_.fetch_add(1))
        if (!computeRow(worker, firstRow_ + k, firstPictureRow_ + k))
            failed_ = true;
}

void WaterfallPeakHold::serve(Worker& worker)
{
    uint64_t done = 0;
    for (;;) {
        {
            std::unique_lock lock(jobLock_);
            jobReady_.wait(lock, [&] { return stopping_ || generation_ != done; });
            if (stopping_)
                return;
            done = generation_;
        }
        work(worker);
        std::lock_guard lock(jobLock_);
        if (--busy_ == 0)
            jobDone_.notify_one();
    }
}

bool WaterfallPeakHold::computeRows(const WaterfallRowPlan& plan, int firstRow, int count, WaterfallPicture& picture,
                                    int firstPictureRow)
{
    if (count <= 0)
        return true;
    plan_ = &plan;
    picture_ = &picture;
    firstRow_ = firstRow;
    rowCount_ = count;
    firstPictureRow_ = firstPictureRow;
    nextRow_ = 0;
    failed_ = false;
    // Only as many threads as there are rows to share.
    const int helpers = std::min(static_cast<int>(threads_.size()), count - 1);
    if (helpers > 0) {
        {
            std::lock_guard lock(jobLock_);
            busy_ = static_cast<int>(threads_.size());
            ++generation_;
        }
        jobReady_.notify_all();
    }
    work(*workers_.front());
    if (helpers > 0) {
        std::unique_lock lock(jobLock_);
        jobDone_.wait(lock, [&] { return busy_ == 0; });
    }
    return !failed_.load();
}
