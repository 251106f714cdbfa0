#pragma once

#include "demod/Selection.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class RecordingObject;

// Writes the I/Q samples of a selection for other tools to open: the seconds
// [start, end) (at least one) tuned so that the middle of the selection's band
// is at 0 Hz and decimated to the pipeline rate (the rate the demodulator
// works at for a band of that width), I first, then Q. As SigMF (a
// .sigmf-data file of cf32_le samples and its .sigmf-meta, with the rate, the
// selection's centre frequency and its start time), or as raw cf32 or ci16
// pairs. Files go through temporary names; a failed or cancelled run leaves
// nothing and replaces nothing, and a SigMF pair is replaced as one unit
// (TemporaryFile::commitPair). An output that is a file of the recording
// itself is refused.
class IqExtractJob {
public:
    enum class Format { Sigmf, Cf32, Ci16 };
    // "sigmf", "cf32", "ci16"; nullopt for anything else.
    static std::optional<Format> formatNamed(const std::string& name);
    // The pipeline rate for a band of `bandwidthHz` in a recording of `rate` S/s.
    static double outputRateFor(int32_t rate, double bandwidthHz);
    // A SigMF pair is named by its stem: "x", "x.sigmf-meta" and "x.sigmf-data" all give "x".
    static std::string sigmfStem(const std::string& target);

    struct Result {
        bool ok = false;
        std::string message;            // why not ok
        std::vector<std::string> paths; // the files written (data first)
        int64_t samples = 0;            // complex samples written
        double sampleRate = 0.0;
        double centerFreq = 0.0;        // Hz
    };
    using Progress = std::function<void(int32_t nextSecond)>;

    // `selection` must be a checked one (DemodSetup); `recording` must outlive run().
    IqExtractJob(RecordingObject& recording, const Selection& selection, Format format, std::string target);
    void setProgress(Progress progress) { progress_ = std::move(progress); }
    void cancel() { cancelled_ = true; }
    Result run();

private:
    RecordingObject& recording_;
    Selection selection_;
    Format format_;
    std::string target_;
    Progress progress_;
    std::atomic<bool> cancelled_{false};
};
