#include "demod/DemodSetup.h"

#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "demod/DemodulatorObject.h"
#include "recording/SelectionRules.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const char* const kNoWidth = "The selection has no frequency width: nothing to demodulate.";
const char* const kTooWide = "The selection is too wide to filter at this recording's sample rate.";

constexpr double kPbtLimitHz = 5000.0;

std::string notANumber(const char* field, const std::string& text)
{
    return std::string(field) + " \"" + text + "\" is not a number.";
}

int32_t clampedSecond(double value, int32_t numSeconds)
{
    const double whole = std::trunc(value);
    return static_cast<int32_t>(std::clamp(whole, 0.0, static_cast<double>(std::max(numSeconds, 0))));
}

bool isUpperSideband(int mode) { return mode == kDemodUSB || mode == kDemodCWU; }
bool isLowerSideband(int mode) { return mode == kDemodLSB || mode == kDemodCWL; }

} // namespace

DemodSetup DemodSetup::fromFields(const SelectionFields& fields, int mode, const RecordingParameters& recording)
{
    DemodSetup setup;
    setup.fields_ = fields;
    setup.recording_ = recording;
    setup.mode_ = mode;
    if (!setup.checkModeAndRate())
        return setup;

    const std::optional<double> start = parseSelectionNumber(fields.startTime);
    const std::optional<double> end = parseSelectionNumber(fields.endTime);
    const std::optional<double> lowField = parseSelectionNumber(fields.lowFreq);
    const std::optional<double> highField = parseSelectionNumber(fields.highFreq);
    const bool pbtEmpty = fields.pbt.find_first_not_of(" \t\r\n") == std::string::npos;
    const std::optional<double> pbt = pbtEmpty ? std::optional<double>(0.0) : parseSelectionNumber(fields.pbt);
    if (!start)
        setup.error_ = notANumber("Start time", fields.startTime);
    else if (!end)
        setup.error_ = notANumber("End time", fields.endTime);
    else if (!lowField)
        setup.error_ = notANumber("Low frequency", fields.lowFreq);
    else if (!highField)
        setup.error_ = notANumber("High frequency", fields.highFreq);
    else if (!pbt)
        setup.error_ = notANumber("Pass-band shift", fields.pbt);
    if (setup.error_.empty())
        setup.apply(*start, *end, *lowField, *highField, *pbt);
    return setup;
}

DemodSetup DemodSetup::fromSelection(const Selection& selection, int mode, const RecordingParameters& recording)
{
    DemodSetup setup;
    setup.fields_ = {std::to_string(selection.startSecond), std::to_string(selection.endSecond),
                     formatGeneral(selection.lowKHz), formatGeneral(selection.highKHz),
                     formatGeneral(selection.pbtKHz)};
    setup.recording_ = recording;
    setup.mode_ = mode;
    if (setup.checkModeAndRate())
        setup.apply(selection.startSecond, selection.endSecond, selection.lowKHz, selection.highKHz,
                    selection.pbtKHz);
    return setup;
}

bool DemodSetup::checkModeAndRate()
{
    if (mode_ < kDemodAM || mode_ > kDemodNone)
        error_ = "Unknown demodulation mode.";
    else if (!(recording_.mSampleRate >= 1.0))
        error_ = "The recording has no sample rate.";
    return error_.empty();
}

void DemodSetup::apply(double start, double end, double low, double high, double pbt)
{
    // Outside its band a recording holds only aliases of other frequencies.
    const RecordingBand band = RecordingBandOf(recording_.mSampleRate, recording_.mCenterFreq);
    if (!SelectionFitsBand(low, high, band)) {
        error_ = "The selection " + formatFixed(std::min(low, high), 3) + " - " + formatFixed(std::max(low, high), 3) +
                 " kHz is outside the recording's band " + formatFixed(band.lowKHz, 3) + " - " +
                 formatFixed(band.highKHz, 3) + " kHz.";
        return;
    }

    startSecond_ = clampedSecond(start, recording_.mNumSeconds);
    endSecond_ = clampedSecond(end, recording_.mNumSeconds);
    if (startSecond_ > endSecond_)
        std::swap(startSecond_, endSecond_);
    fields_.startTime = std::to_string(startSecond_);
    fields_.endTime = std::to_string(endSecond_);
    if (low > high) {
        std::swap(low, high);
        std::swap(fields_.lowFreq, fields_.highFreq);
    }
    lowKHz_ = low;
    highKHz_ = high;

    const double center = recording_.mCenterFreq;
    if (mode_ <= kDemodWFM) {
        ncoHz_ = (low + high) * 500.0 - center;
        filterHz_ = (high - low) * 500.0;
    } else if (isUpperSideband(mode_)) {
        ncoHz_ = low * 1000.0 - center;
        filterHz_ = (high - low) * 1000.0;
    } else if (isLowerSideband(mode_)) {
        ncoHz_ = high * 1000.0 - center;
        filterHz_ = (high - low) * 1000.0;
    }

    double shift = std::clamp(pbt * 1000.0, -kPbtLimitHz, kPbtLimitHz);
    // The band [low, high] after the shift must lie strictly inside
    // +-half the pipeline rate: shift in (minShift, maxShift).
    const double half = DemodulatorObject::pipelineRateFor(mode_, recording_.mSampleRate, filterHz_) / 2.0;
    const double f = filterHz_;
    const double maxShift = isLowerSideband(mode_) ? half : half - f;
    const double minShift = isUpperSideband(mode_) ? -half : f - half;
    if (std::ceil(maxShift) - 1.0 > std::floor(minShift) + 1.0)
        shift = std::clamp(shift, std::floor(minShift) + 1.0, std::ceil(maxShift) - 1.0);
    pbtHz_ = shift;
    if (shift != pbt * 1000.0)
        fields_.pbt = formatGeneral(shift / 1000.0);
    // Known before any demodulator is set up, so that Play can refuse at once.
    if (mode_ != kDemodNone && filterHz_ <= 0.0)
        bandMessage_ = kNoWidth;
    else if (mode_ != kDemodNone && !(std::ceil(maxShift) - 1.0 > std::floor(minShift) + 1.0))
        bandMessage_ = kTooWide;
}

bool DemodSetup::configure(DemodulatorObject& demod)
{
    SystemLog("bw: %g   nco: %g", filterHz_, ncoHz_);
    demod.setCenterFrequency(recording_.mCenterFreq);
    demod.setRecordingStartTimestamp(recording_.mStartTimestamp);
    demod.setControls(controls_);
    demod.SetInputSampleRate(recording_.mSampleRate, 4000.0);
    demod.SetNCO(ncoHz_);
    demod.SetInputSampleRate(recording_.mSampleRate, 4000.0);
    const bool accepted = demod.SetDemodMode(mode_, filterHz_, pbtHz_, filterHz_);
    demod.ResetStream();
    bandMessage_.clear();
    if (accepted || mode_ == kDemodNone)
        return true;
    bandMessage_ = filterHz_ <= 0.0 ? kNoWidth : kTooWide;
    return false;
}
