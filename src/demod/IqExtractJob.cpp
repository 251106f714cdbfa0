#include "demod/IqExtractJob.h"

#include "common/TemporaryFile.h"
#include "common/UtcCalendar.h"
#include "dsp/DownconverterObject.h"
#include "recording/RecordingObject.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kPiece = 65536;
constexpr double kFullScale = 32768.0;

void putFloat(uint8_t* p, double value)
{
    const float f = static_cast<float>(value / kFullScale);
    uint32_t raw;
    std::memcpy(&raw, &f, sizeof raw);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(raw >> (8 * i));
}

void putShort(uint8_t* p, double value)
{
    const auto v = static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string isoTime(int64_t unixSeconds)
{
    const UtcCalendar::Fields f = UtcCalendar::fromUnix(unixSeconds);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(f.year), f.month,
                  f.day, f.hour, f.minute, f.second);
    return text;
}

} // namespace

std::optional<IqExtractJob::Format> IqExtractJob::formatNamed(const std::string& name)
{
    if (name == "sigmf")
        return Format::Sigmf;
    if (name == "cf32")
        return Format::Cf32;
    if (name == "ci16")
        return Format::Ci16;
    return std::nullopt;
}

double IqExtractJob::outputRateFor(int32_t rate, double bandwidthHz)
{
    DownconverterObject probe;
    return probe.setDataRate(rate, bandwidthHz);
}

std::string IqExtractJob::sigmfStem(const std::string& target)
{
    for (const char* suffix : {".sigmf-meta", ".sigmf-data", ".sigmf"}) {
        if (endsWith(target, suffix))
            return target.substr(0, target.size() - std::strlen(suffix));
    }
    return target;
}

IqExtractJob::IqExtractJob(RecordingObject& recording, const Selection& selection, Format format, std::string target)
    : recording_(recording), selection_(selection), format_(format), target_(std::move(target))
{
}

IqExtractJob::Result IqExtractJob::run()
{
    Result result;
    const RecordingParameters& p = recording_.parameters();
    if (!recording_.isValidRecordingFile() || p.mSampleRate <= 0) {
        result.message = "no recording is open";
        return result;
    }
    const double bandwidth = std::max(1.0, std::abs(selection_.highKHz - selection_.lowKHz) * 1000.0);
    const double centerHz = (selection_.lowKHz + selection_.highKHz) * 500.0;
    DownconverterObject downconverter;
    result.sampleRate = downconverter.setDataRate(p.mSampleRate, bandwidth);
    downconverter.SetFrequency(centerHz - p.mCenterFreq);
    result.centerFreq = centerHz;

    const bool sigmf = format_ == Format::Sigmf;
    const std::string stem = sigmfStem(target_);
    const std::string dataPath = sigmf ? stem + ".sigmf-data" : target_;
    for (const std::string& output : sigmf ? std::vector{dataPath, stem + ".sigmf-meta"} : std::vector{dataPath}) {
        if (recording_.readsFile(output)) {
            result.message = "the output " + output + " is a file of this recording; nothing was written";
            return result;
        }
    }
    TemporaryFile data;
    if (!data.open(dataPath, result.message))
        return result;

    const int64_t rate = p.mSampleRate;
    const int32_t endSecond = std::max(selection_.endSecond, selection_.startSecond + 1);
    const int64_t first = int64_t{selection_.startSecond} * rate;
    const int64_t last = std::min(int64_t{endSecond} * rate, recording_.sampleCount());
    if (first >= last) {
        result.message = "The selection holds no samples of the recording; nothing was written.";
        return result;
    }
    const int bytesPerValue = format_ == Format::Ci16 ? 2 : 4;
    std::vector<ComplexSample> block(kPiece);
    std::vector<uint8_t> bytes(static_cast<size_t>(kPiece) * 2 * bytesPerValue);
    int32_t reported = selection_.startSecond;
    for (int64_t at = first; at < last; at += kPiece) {
        if (cancelled_) {
            result.message = "Extraction cancelled.";
            return result;
        }
        const int64_t n = std::min<int64_t>(kPiece, last - at);
        const ::Result<int64_t> got = recording_.read(at, n, block.data());
        if (!got || *got != n) {
            result.message = got ? "the recording ended early" : got.error().message();
            return result;
        }
        const int m = downconverter.ProcessDataLength(static_cast<int>(n), block.data(), block.data());
        for (int k = 0; k < m; ++k) {
            uint8_t* out = bytes.data() + static_cast<size_t>(k) * 2 * bytesPerValue;
            // The file's first value is I, which the readers keep in `im`.
            if (bytesPerValue == 2) {
                putShort(out, block[k].im);
                putShort(out + 2, block[k].re);
            } else {
                putFloat(out, block[k].im);
                putFloat(out + 4, block[k].re);
            }
        }
        if (!data.write(bytes.data(), static_cast<size_t>(m) * 2 * bytesPerValue))
            break;
        result.samples += m;
        const int32_t second = static_cast<int32_t>((at + n) / rate);
        if (progress_ && second != reported)
            progress_(reported = second);
    }

    TemporaryFile meta;
    if (sigmf) {
        const std::string fileName = recording_.path().substr(recording_.path().find_last_of('/') + 1);
        nlohmann::json capture = {{"core:sample_start", 0}, {"core:frequency", centerHz}};
        if (recording_.startTimeKnown())
            capture["core:datetime"] = isoTime(p.mStartTimestamp + selection_.startSecond);
        const nlohmann::json document = {
            {"global",
             {{"core:datatype", "cf32_le"},
              {"core:sample_rate", result.sampleRate},
              {"core:version", "1.0.0"},
              {"core:recorder", "korvel"},
              {"core:description", "seconds " + std::to_string(selection_.startSecond) + " to " +
                                       std::to_string(endSecond) + " of " + fileName}}},
            {"captures", nlohmann::json::array({capture})},
            {"annotations", nlohmann::json::array()}};
        const std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        if (!meta.open(stem + ".sigmf-meta", result.message))
            return result;
        meta.write(text.data(), text.size());
    }
    if (sigmf) {
        if (const int error = TemporaryFile::commitPair(data, meta); error != 0) {
            result.message = "Cannot write the SigMF pair \"" + stem + "\": " + std::strerror(error);
            return result;
        }
        result.paths = {dataPath, stem + ".sigmf-meta"};
    } else {
        if (const int error = data.commit(); error != 0) {
            result.message = "Cannot write \"" + dataPath + "\": " + std::strerror(error);
            return result;
        }
        result.paths = {dataPath};
    }
    result.ok = true;
    return result;
}
