#pragma once

#include "carrier/CarrierAnalysis.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// One carrier analysis over a series of recordings of one receiver set-up:
// the recordings are ordered by start time, the channels inside their band
// found, and kSecondsPerFile seconds of every recording measured into the
// rows of a CarrierAnalysis (at most CarrierAnalysis::kMaxRows of them).
// prepare() and run() belong to one thread; stop() and the progress readers
// may be called from any other.
class CarrierRun {
public:
    static constexpr int kSecondsPerFile = 237;
    // The transform sizes and half spans the user can choose.
    static constexpr int kFftSizes[] = {65536, 131072, 262144, 524288, 1048576, 2097152, 4194304, 8388608};
    static constexpr int kHalfSpans[] = {10, 25, 50, 100, 250, 500};

    // Opens every path, orders the recordings by start time and checks them
    // against the earliest. Left out, each with a line in notes(): a file
    // that is no recording, a recording starting at the same time as one
    // already taken, and one whose sample rate or centre frequency differs
    // from the earliest's. A recording shorter than kSecondsPerFile gets a
    // line naming its rows after its end, which hold no levels (NaN).
    // false with `error` set when nothing is left to
    // analyse, no medium-wave channel lies in the band, or fftSize (a power of
    // two, 512 to 8388608) or halfSpan (1 to 100000 Hz) is out of range.
    bool prepare(const std::vector<std::string>& paths, int fftSize, double halfSpan, std::string& error);

    // Measures the recordings in order. Returns "" when every second was
    // measured or the run was stopped, else the read error that ended it.
    std::string run();
    void stop() { stop_ = true; }
    bool stopped() const { return stop_.load(); }

    // Lines for the user about what is left out.
    const std::vector<std::string>& notes() const { return notes_; }
    // Recordings that are not recordings at all (a subset of the notes' subjects).
    const std::vector<std::string>& refused() const { return refused_; }
    // The recordings analysed, earliest first.
    const std::vector<std::string>& orderedFiles() const { return files_; }
    // Seconds of the recordings beyond the rows an analysis holds.
    int secondsLeftOut() const { return secondsLeftOut_; }
    double sampleRate() const { return sampleRate_; }
    double centerFreq() const { return centerFreq_; }

    // Progress: the recording being measured (1 to fileCount(), 0 before the
    // first) and its second.
    int fileNumber() const { return fileNumber_.load(); }
    int fileCount() const { return static_cast<int>(files_.size()); }
    int second() const { return second_.load(); }

    // The rows measured; take it when run() has returned.
    CarrierAnalysis& analysis() { return analysis_; }

private:
    std::vector<std::string> files_;
    std::vector<std::string> notes_;
    std::vector<std::string> refused_;
    int fftSize_ = 131072;
    double halfSpan_ = 100.0;
    double sampleRate_ = 0.0;
    double centerFreq_ = 0.0;
    int secondsLeftOut_ = 0;
    CarrierAnalysis analysis_;
    std::atomic<bool> stop_{false};
    std::atomic<int> fileNumber_{0};
    std::atomic<int> second_{0};
};
