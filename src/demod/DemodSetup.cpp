#include "demod/DemodSetup.h"

#include "common/CNumberFormat.h"
#include "common/SystemLog.h"
#include "demod/DemodulatorObject.h"
#include "recording/SelectionRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace {

constexpr double kPbtLimitHz = 5000.0;

// A number in C notation, surrounded by optional blanks; nullopt for anything
// else, including infinities and NaN.
std::optional<double> parseNumber(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    size_t last = text.find_last_not_of(" \t\r\n");
    if (text[first] == '+')
        ++first;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    double value = 0.0;
    auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

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
    if (mode < kDemodAM || mode > kDemodNone) {
        setup.error_ = "Unknown demodulation mode.";
        return setup;
    }
    if (recording.mSampleRate < 1) {
        setup.error_ = "The recording has no sample rate.";
        return setup;
    }

    const std::optional<double> start = parseNumber(fields.startTime);
    const std::optional<double> end = parseNumber(fields.endTime);
    const std::optional<double> lowField = parseNumber(fields.lowFreq);
    const std::optional<double> highField = parseNumber(fields.highFreq);
    const bool pbtEmpty = fields.pbt.find_first_not_of(" \t\r\n") == std::string::npos;
    const std::optional<double> pbt = pbtEmpty ? std::optional<double>(0.0) : parseNumber(fields.pbt);
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
    if (!setup.error_.empty())
        return setup;

    double low = *lowField, high = *highField;
    // Outside its band a recording holds only aliases of other frequencies.
    const RecordingBand band = RecordingBandOf(recording.mSampleRate, recording.mCenterFreq);
    if (!SelectionFitsBand(low, high, band)) {
        setup.error_ = "The selection " + formatFixed(std::min(low, high), 3) + " - " +
                       formatFixed(std::max(low, high), 3) + " kHz is outside the recording's band " +
                       formatFixed(band.lowKHz, 3) + " - " + formatFixed(band.highKHz, 3) + " kHz.";
        return setup;
    }

    setup.startSecond_ = clampedSecond(*start, recording.mNumSeconds);
    setup.endSecond_ = clampedSecond(*end, recording.mNumSeconds);
    if (setup.startSecond_ > setup.endSecond_)
        std::swap(setup.startSecond_, setup.endSecond_);
    setup.fields_.startTime = std::to_string(setup.startSecond_);
    setup.fields_.endTime = std::to_string(setup.endSecond_);
    if (low > high) {
        std::swap(low, high);
        std::swap(setup.fields_.lowFreq, setup.fields_.highFreq);
    }
    setup.lowKHz_ = low;
    setup.highKHz_ = high;

    const double center = recording.mCenterFreq;
    if (mode <= kDemodWFM) {
        setup.ncoHz_ = (low + high) * 500.0 - center;
        setup.filterHz_ = (high - low) * 500.0;
    } else if (isUpperSideband(mode)) {
        setup.ncoHz_ = low * 1000.0 - center;
        setup.filterHz_ = (high - low) * 1000.0;
    } else if (isLowerSideband(mode)) {
        setup.ncoHz_ = high * 1000.0 - center;
        setup.filterHz_ = (high - low) * 1000.0;
    }

    double shift = std::clamp(*pbt * 1000.0, -kPbtLimitHz, kPbtLimitHz);
    // The band [low, high] after the shift must lie strictly inside
    // +-half the pipeline rate: shift in (minShift, maxShift).
    const double half = DemodulatorObject::pipelineRateFor(mode, recording.mSampleRate, setup.filterHz_) / 2.0;
    const double f = setup.filterHz_;
    const double maxShift = isLowerSideband(mode) ? half : half - f;
    const double minShift = isUpperSideband(mode) ? -half : f - half;
    if (std::ceil(maxShift) - 1.0 > std::floor(minShift) + 1.0)
        shift = std::clamp(shift, std::floor(minShift) + 1.0, std::ceil(maxShift) - 1.0);
    setup.pbtHz_ = shift;
    if (shift != *pbt * 1000.0)
        setup.fields_.pbt = formatGeneral(shift / 1000.0);
    return setup;
}

bool DemodSetup::configure(DemodulatorObject& demod)
{
    SystemLog("bw: %g   nco: %g", filterHz_, ncoHz_);
    demod.setCenterFrequency(recording_.mCenterFreq);
    demod.setRecordingStartTimestamp(recording_.mStartTimestamp);
    demod.SetInputSampleRate(recording_.mSampleRate, 4000.0);
    demod.SetNCO(ncoHz_);
    demod.SetInputSampleRate(recording_.mSampleRate, 4000.0);
    const bool accepted = demod.SetDemodMode(mode_, filterHz_, pbtHz_, filterHz_);
    demod.ResetStream();
    bandMessage_.clear();
    if (accepted || mode_ == kDemodNone)
        return true;
    bandMessage_ = filterHz_ <= 0.0 ? "The selection has no frequency width: nothing to demodulate."
                                    : "The selection is too wide to filter at this recording's sample rate.";
    return false;
}
