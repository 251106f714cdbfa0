#include "recording/ForeignRecording.h"

#include "common/CNumberFormat.h"
#include "recording/IqFileName.h"
#include "recording/RecordingObject.h"
#include "recording/SigmfMetadata.h"

#include <cmath>

namespace {

constexpr std::string_view kMetaSuffix = ".sigmf-meta";
constexpr std::string_view kDataSuffix = ".sigmf-data";
constexpr uint32_t kAuHeaderBytes = 24;
constexpr uint32_t kAuUnknownSize = 0xFFFFFFFF;
constexpr uint32_t kMaxChannels = 16;

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

uint32_t bigEndian32(std::string_view bytes, size_t at)
{
    const auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

std::string hertz(double value) { return formatFixed(value, 0); }

void readSigmf(const std::string& path, std::string_view text, ForeignRecording& r)
{
    const SigmfMetadata meta = SigmfMetadata::parse(text);
    if (!meta.error.empty()) {
        r.refusal = meta.error;
        return;
    }
    r.layout = "SigMF";
    r.dataPath = ForeignRecording::sigmfSibling(path);
    r.format = meta.format;
    r.dataOffset = meta.headerBytes;
    if (std::round(meta.sampleRate) < 1.0 || meta.sampleRate > RecordingObject::kMaxSampleRate) {
        r.refusal = "sample rate " + formatGeneral(meta.sampleRate) + " S/s";
        return;
    }
    r.sampleRate = static_cast<int64_t>(std::round(meta.sampleRate));
    r.lines.push_back("SigMF recording: " + meta.datatype + " samples");
    if (static_cast<double>(r.sampleRate) != meta.sampleRate)
        r.lines.push_back("sample rate " + formatFixed(meta.sampleRate, 3) + " S/s taken as " +
                          std::to_string(r.sampleRate));
    if (meta.centerFreq)
        r.centerFreq = *meta.centerFreq;
    else
        r.lines.push_back("No core:frequency: centre frequency unknown");
    r.start = meta.start;
    if (!meta.start)
        r.lines.push_back("No core:datetime: start time unknown");
}

void readAu(std::string_view head, uint64_t fileSize, std::string_view fileName, ForeignRecording& r)
{
    if (head.size() < kAuHeaderBytes) {
        r.refusal = "the .au header is cut short (" + std::to_string(fileSize) + " bytes)";
        return;
    }
    const uint32_t offset = bigEndian32(head, 4), size = bigEndian32(head, 8), encoding = bigEndian32(head, 12);
    const uint32_t rate = bigEndian32(head, 16), channels = bigEndian32(head, 20);
    if (offset < kAuHeaderBytes || offset > fileSize) {
        r.refusal = "the .au header puts the samples at byte " + std::to_string(offset) + " of a file of " +
                    std::to_string(fileSize) + " bytes";
        return;
    }
    if (channels < 2 || channels > kMaxChannels) {
        r.refusal = "not an I/Q recording (a .au file of " + std::to_string(channels) +
                    (channels == 1 ? " channel)" : " channels)");
        return;
    }
    if (encoding != 2 && encoding != 3) {
        r.refusal = "the .au sample encoding " + std::to_string(encoding) +
                    " is not read (8- and 16-bit linear PCM are)";
        return;
    }
    r.layout = "AU";
    r.format = SampleFormat(encoding == 3 ? SampleFormat::Encoding::Int16BigEndian : SampleFormat::Encoding::Int8,
                            channels);
    r.dataOffset = offset;
    r.dataLength = size == kAuUnknownSize ? UINT64_MAX : size;
    r.sampleRate = rate;
    const IqFileName name = IqFileName::parse(fileName);
    if (name.centerFreq) {
        r.centerFreq = *name.centerFreq;
        r.lines.push_back("AU file: centre frequency " + hertz(r.centerFreq) + " Hz from its name");
    } else {
        r.lines.push_back("AU file: centre frequency unknown");
    }
    r.lines.push_back("No start time in an .au file: start time unknown");
}

void readRaw(std::string_view fileName, const RawIqSettings& settings, ForeignRecording& r)
{
    const IqFileName name = IqFileName::parse(fileName);
    const std::optional<SampleFormat> format = settings.format ? settings.format : name.format;
    const int64_t rate = settings.sampleRate > 0 ? settings.sampleRate : name.sampleRate;
    if (!format || rate <= 0) {
        r.needsRawSettings = ForeignRecording::hasRawExtension(fileName);
        if (format)
            r.refusal = "raw I/Q samples without a sample rate in the file's name";
        else if (r.needsRawSettings && rate > 0)
            r.refusal = "raw I/Q samples of a format neither given nor in the file's name";
        else
            r.refusal = "not a WAV file (no RIFF/WAVE, SigMF or .au header)";
        if (r.needsRawSettings)
            r.refusal += std::string(": if it holds raw I/Q samples, give their sample rate, centre frequency and "
                                     "format (") +
                         IqFileName::formatNames() + ")";
        return;
    }
    r.layout = "Raw I/Q";
    r.format = *format;
    r.sampleRate = rate;
    if (settings.centerFreq)
        r.centerFreq = *settings.centerFreq;
    else if (name.centerFreq)
        r.centerFreq = *name.centerFreq;
    r.start = name.start;
    const bool fromName = !settings.given() && !name.convention.empty();
    r.lines.push_back("Raw I/Q samples" + std::string(fromName ? ", rate and centre from a " + name.convention + " name"
                                                              : settings.given() ? ", as given" : ""));
    if (!settings.centerFreq && !name.centerFreq)
        r.lines.push_back("Centre frequency unknown");
    if (!r.start)
        r.lines.push_back("Start time unknown");
}

} // namespace

bool ForeignRecording::hasRawExtension(std::string_view fileName)
{
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension(fileName.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const char* raw : kRawExtensions) {
        if (extension == raw)
            return true;
    }
    return false;
}

bool ForeignRecording::isSigmfMeta(std::string_view fileName) { return endsWith(fileName, kMetaSuffix); }

bool ForeignRecording::isSigmfData(std::string_view fileName) { return endsWith(fileName, kDataSuffix); }

std::string ForeignRecording::sigmfSibling(const std::string& path)
{
    const std::string_view stem = std::string_view(path).substr(0, path.size() - kMetaSuffix.size());
    return std::string(stem) + std::string(isSigmfMeta(path) ? kDataSuffix : kMetaSuffix);
}

ForeignRecording ForeignRecording::recognise(const std::string& path, std::string_view fileName,
                                             std::string_view head, uint64_t fileSize, const RawIqSettings& settings)
{
    ForeignRecording r;
    r.dataPath = path;
    if (isSigmfMeta(fileName))
        readSigmf(path, head, r);
    else if (head.substr(0, 4) == ".snd")
        readAu(head, fileSize, fileName, r);
    else
        readRaw(fileName, settings, r);
    if (r.refusal.empty() && r.format.bytesPerSample() == 0)
        r.refusal = "no sample format";
    return r;
}
