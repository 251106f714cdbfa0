#include "carrier/CarrierSession.h"

CarrierSession::~CarrierSession()
{
    cancel();
    if (thread_.joinable())
        thread_.join();
}

bool CarrierSession::startAnalysis(const std::vector<std::string>& paths, int fftSize, double halfSpan,
                                   const std::string& outputPath, std::vector<std::string>& notes, std::string& error)
{
    if (run_) {
        error = "an analysis is running";
        return false;
    }
    auto run = std::make_unique<CarrierRun>();
    const bool prepared = run->prepare(paths, fftSize, halfSpan, error);
    notes = run->notes();
    if (!prepared)
        return false;
    run_ = std::move(run);
    notes_ = notes;
    outputPath_ = outputPath;
    running_ = true;
    thread_ = std::thread([this] {
        Outcome outcome;
        outcome.error = run_->run();
        outcome.cancelled = run_->stopped();
        measured_ = outcome.measured = !outcome.cancelled && outcome.error.empty();
        if (measured_) {
            if (run_->analysis().writeFile(outputPath_, outcome.error))
                outcome.writtenPath = outputPath_;
        }
        outcome_ = std::move(outcome);
        running_ = false;
    });
    return true;
}

void CarrierSession::cancel()
{
    if (run_)
        run_->stop();
}

CarrierSession::Progress CarrierSession::progress() const
{
    Progress p;
    p.running = running_.load();
    if (run_) {
        p.fileNumber = run_->fileNumber();
        p.fileCount = run_->fileCount();
        p.second = run_->second();
    }
    return p;
}

std::optional<CarrierSession::Outcome> CarrierSession::takeOutcome()
{
    if (!run_ || running_.load())
        return std::nullopt;
    thread_.join();
    Outcome outcome = std::move(outcome_);
    outcome.notes = std::move(notes_);
    // A failed write still shows the rows; a failed read or a cancel keeps the old ones.
    if (measured_)
        analysis_ = std::move(run_->analysis());
    run_.reset();
    return outcome;
}

bool CarrierSession::loadAnalysis(const std::string& path, std::string& error)
{
    if (run_) {
        error = "an analysis is running";
        return false;
    }
    std::optional<CarrierAnalysis> loaded = CarrierAnalysis::loadFile(path, error);
    if (!loaded)
        return false;
    analysis_ = std::move(*loaded);
    return true;
}
