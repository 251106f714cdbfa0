#pragma once

#include "carrier/CarrierAnalysis.h"
#include "carrier/CarrierRun.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The carrier analysis window without a window: an analysis of several
// recordings on a thread of its own, written to the analysis file when it
// completes, the loading of a saved analysis, and the analysis shown. The
// window starts, cancels and polls; a cancelled analysis writes nothing and
// leaves the analysis shown as it was. The thread ends when cancelled and at
// the latest when the session is destroyed.
class CarrierSession {
public:
    struct Progress {
        bool running = false;
        int fileNumber = 0; // 1 to fileCount while measuring
        int fileCount = 0;
        int second = 0;     // of the recording being measured
    };

    // How a finished analysis ended.
    struct Outcome {
        bool cancelled = false;
        bool measured = false;          // every second measured: the analysis shown now
        std::string error;              // a read or write failure, else ""
        std::vector<std::string> notes; // what was left out
        std::string writtenPath;        // the analysis file, when written
    };

    CarrierSession() = default;
    ~CarrierSession();
    CarrierSession(const CarrierSession&) = delete;
    CarrierSession& operator=(const CarrierSession&) = delete;

    // Checks the recordings (see CarrierRun::prepare) and starts measuring
    // them on a thread; when done, the rows are written to `outputPath`.
    // false with `error` set when nothing can be analysed or an analysis is
    // running; `notes` receives what is left out either way.
    bool startAnalysis(const std::vector<std::string>& paths, int fftSize, double halfSpan, const std::string& outputPath,
                       std::vector<std::string>& notes, std::string& error);
    // The analysis stops after the second in hand; returns at once.
    void cancel();
    Progress progress() const;

    // Once after an analysis ended: how it ended. A completed analysis
    // becomes the one shown (also when writing its file failed).
    std::optional<Outcome> takeOutcome();

    // Replaces the analysis shown by a saved one. false with `error` set
    // when the file is refused or an analysis is running; the analysis shown
    // stays then.
    bool loadAnalysis(const std::string& path, std::string& error);

    const CarrierAnalysis& analysis() const { return analysis_; }

private:
    void finishThread();

    CarrierAnalysis analysis_;
    std::unique_ptr<CarrierRun> run_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    bool measured_ = false; // written by the thread before running_ falls
    Outcome outcome_;
    std::vector<std::string> notes_;
    std::string outputPath_;
};
