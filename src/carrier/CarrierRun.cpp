#include "carrier/CarrierRun.h"

#include "carrier/CarrierAnalyzer.h"
#include "carrier/MwChannelGrid.h"
#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "common/UtcCalendar.h"
#include "recording/RecordingObject.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr int kMaxFftSize = 8388608;
constexpr double kMaxHalfSpan = 100000.0;

std::string fileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Candidate {
    std::string path;
    int64_t start;
    double sampleRate;
    double centerFreq;
    int64_t samples;
};

std::string describe(double sampleRate, double centerFreq)
{
    return formatFixed(sampleRate, 0) + " S/s at " + formatGeneral(centerFreq / 1000.0) + " kHz";
}

} // namespace

bool CarrierRun::prepare(const std::vector<std::string>& paths, int fftSize, double halfSpan, std::string& error)
{
    files_.clear();
    notes_.clear();
    refused_.clear();
    secondsLeftOut_ = 0;
    analysis_ = CarrierAnalysis();
    fileNumber_ = 0;
    second_ = 0;
    stop_ = false;
    if (fftSize < 512 || fftSize > kMaxFftSize || !std::has_single_bit(static_cast<unsigned>(fftSize))) {
        error = "the transform size must be a power of two from 512 to " + std::to_string(kMaxFftSize);
        return false;
    }
    if (!(halfSpan >= 1.0 && halfSpan <= kMaxHalfSpan)) {
        error = "the half span must be 1 to 100000 Hz";
        return false;
    }
    fftSize_ = fftSize;
    halfSpan_ = halfSpan;

    std::vector<Candidate> candidates;
    for (const std::string& path : paths) {
        RecordingObject recording;
        std::vector<std::string> lines;
        recording.setRecordingFile(path, lines);
        if (!recording.isValidRecordingFile()) {
            notes_.push_back(fileName(path) + ": left out, " + (lines.empty() ? std::string("not a recording") : lines.back()));
            refused_.push_back(path);
            continue;
        }
        const RecordingParameters& p = recording.parameters();
        candidates.push_back({recording.path(), recording.UnixTimestampFromOffset(0), static_cast<double>(p.mSampleRate),
                              p.mCenterFreq, recording.sampleCount()});
        SystemLog("%s    %d", recording.path().c_str(), recording.UnixTimestampFromOffset(0));
    }
    if (candidates.empty()) {
        error = "no recording to analyse";
        return false;
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.start < b.start; });
    const Candidate& first = candidates.front();
    sampleRate_ = first.sampleRate;
    centerFreq_ = first.centerFreq;
    const Candidate* previous = nullptr;
    for (const Candidate& c : candidates) {
        if (previous && c.start == previous->start) {
            notes_.push_back(fileName(c.path) + ": left out, it starts at the same time as " + fileName(previous->path) +
                             " (" + UtcCalendar::format(c.start, ':') + ")");
            continue;
        }
        if (c.sampleRate != first.sampleRate || c.centerFreq != first.centerFreq) {
            notes_.push_back(fileName(c.path) + ": left out, it has " + describe(c.sampleRate, c.centerFreq) + ", the first recording " +
                             describe(first.sampleRate, first.centerFreq));
            continue;
        }
        files_.push_back(c.path);
        previous = &c;
        // A shorter recording still has its kSecondsPerFile rows; those after
        // its end hold no levels, and the user is told which they are.
        const double seconds = static_cast<double>(c.samples) / c.sampleRate;
        const int64_t firstRow = static_cast<int64_t>(files_.size() - 1) * kSecondsPerFile;
        const int64_t firstEmpty = firstRow + static_cast<int64_t>(std::ceil(seconds));
        const int64_t lastEmpty = std::min<int64_t>(firstRow + kSecondsPerFile, CarrierAnalysis::kMaxRows) - 1;
        if (firstEmpty <= lastEmpty) {
            notes_.push_back(fileName(c.path) + ": " + formatGeneral(seconds) + " s long; rows " +
                             std::to_string(firstEmpty) + " to " + std::to_string(lastEmpty) +
                             ", after its end, hold no levels");
        }
    }

    std::vector<int> channels = MwChannelGrid::channelsInBand(centerFreq_, sampleRate_);
    if (channels.empty()) {
        error = "no medium-wave channel lies inside the recordings' band (" + describe(sampleRate_, centerFreq_) + ")";
        return false;
    }
    const int seconds = static_cast<int>(files_.size()) * kSecondsPerFile;
    if (seconds > CarrierAnalysis::kMaxRows) {
        secondsLeftOut_ = seconds - CarrierAnalysis::kMaxRows;
        notes_.push_back(std::to_string(secondsLeftOut_) + " seconds were left out: an analysis holds at most " +
                         std::to_string(CarrierAnalysis::kMaxRows) + " rows");
    }
    SystemLog("************* start time %s %d", UtcCalendar::format(first.start, ':').c_str(), static_cast<int>(first.start));
    SystemLog("************* centerFreq %g", centerFreq_);
    analysis_ = CarrierAnalysis(std::move(channels), halfSpan_, static_cast<int32_t>(first.start),
                                std::min(seconds, CarrierAnalysis::kMaxRows));
    return true;
}

std::string CarrierRun::run()
{
    CarrierAnalyzer analyzer(fftSize_, sampleRate_, centerFreq_, halfSpan_, analysis_.carrierFreqs());
    for (size_t i = 0; i < files_.size() && !stop_; ++i) {
        fileNumber_ = static_cast<int>(i) + 1;
        second_ = 0;
        SystemLog("reading %s", files_[i].c_str());
        RecordingObject recording;
        std::vector<std::string> lines;
        recording.setRecordingFile(files_[i], lines);
        if (!recording.isValidRecordingFile())
            return files_[i] + ": " + (lines.empty() ? std::string("can no longer be read") : lines.back());
        for (int t = 0; t < kSecondsPerFile && !stop_; ++t) {
            float* row = analysis_.appendRow();
            if (!row)
                return {};
            second_ = t;
            if (!analyzer.measureSecond(recording, t, row))
                return recording.path() + ": " + recording.readError();
        }
    }
    return {};
}
