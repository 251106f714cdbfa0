#include "demod/DemodPipeline.h"

#include "demod/CarrierTextFile.h"
#include "demod/DemodSecondFeeder.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"

#include <new>

DemodPipeline::DemodPipeline(AudioOutput* soundOutput)
    : demod_(soundOutput)
{
}

DemodPipeline::~DemodPipeline() = default;

std::string DemodPipeline::open(const std::string& folder, const std::string& name, std::vector<std::string>& lines,
                                bool requireBandwidth)
{
    auto candidate = std::make_unique<RecordingObject>();
    if (!folder.empty())
        candidate->setRecordingFolder(folder);
    lines.clear();
    candidate->setRawIqSettings(rawIqSettings_);
    candidate->setRecordingFile(name, lines);
    needsRawIqSettings_ = candidate->needsRawIqSettings();
    if (!candidate->isValidRecordingFile())
        return lines.empty() ? std::string("not a recording") : lines.back();
    if (requireBandwidth) {
        if (const char* problem = BandwidthProblem(candidate->parameters().mBandwidth))
            return problem;
    }
    feeder_.reset();
    recording_ = std::move(candidate);
    return {};
}

bool DemodPipeline::isOpen() const
{
    return recording_ && recording_->isValidRecordingFile();
}

RecordingParameters DemodPipeline::parameters() const
{
    return recording_ ? recording_->parameters() : RecordingParameters{};
}

DemodSetup DemodPipeline::setUp(const SelectionFields& typed, int mode) const
{
    return DemodSetup::fromFields(typed, mode, parameters());
}

DemodSetup DemodPipeline::setUp(const Selection& selection, int mode) const
{
    return DemodSetup::fromSelection(selection, mode, parameters());
}

bool DemodPipeline::configure(DemodSetup& setup, bool carrierLog, const std::string& carrierLogFolder)
{
    carrierLog_ = carrierLog ? std::make_unique<CarrierTextFile>(carrierLogFolder) : nullptr;
    demod_.setCarrierLog(carrierLog_.get());
    return setup.configure(demod_);
}

bool DemodPipeline::makeFeeder()
{
    feeder_.reset();
    if (!recording_)
        return false;
    try {
        feeder_ = std::make_unique<DemodSecondFeeder>(*recording_, recording_->parameters().mSampleRate);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int DemodPipeline::feedSecond(int32_t second, int16_t* output)
{
    return feeder_->feedSecond(demod_, second, output);
}
