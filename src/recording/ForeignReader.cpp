#include "ForeignReader.h"

#include "recording/ForeignRecording.h"
#include "recording/IqFileName.h"
#include "recording/SigmfMetadata.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Status openForeignRecording(const std::string& path, RecordingFile& opened, LayoutSource& file,
                          const RawIqSettings& settings, bool& needsRawSettings, LayoutParameters& d,
                          std::vector<std::string>& lines)
{
    needsRawSettings = false;
    std::string head;
    if (ForeignRecording::isSigmfMeta(file.fileName)) {
        if (file.size > SigmfMetadata::kMaxTextBytes) {
            return Error(ErrorKind::Unsupported, "Unsupported recording: the SigMF metadata is larger than " +
                                                     std::to_string(SigmfMetadata::kMaxTextBytes >> 20) + " MiB");
        }
        head.resize(static_cast<size_t>(file.size));
    } else {
        head.resize(static_cast<size_t>(std::min<uint64_t>(file.size, 64)));
    }
    head.resize(opened.readAt(0, reinterpret_cast<uint8_t*>(head.data()), head.size()));
    if (!opened.readError().empty()) {
        return Error(ErrorKind::Io, "Can't read file: " + opened.readError());
    }
    ForeignRecording foreign = ForeignRecording::recognise(path, file.fileName, head, file.size, settings);
    needsRawSettings = foreign.needsRawSettings;
    if (foreign.refusal.empty() && foreign.dataPath != path) {
        // The samples are in a file of their own (SigMF).
        const int fd = ::open(foreign.dataPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            const size_t slash = foreign.dataPath.find_last_of('/');
            const ErrorKind kind = fd < 0 && errno == ENOENT ? ErrorKind::NotFound : ErrorKind::Io;
            Error error(kind, "Can't open file: " + foreign.dataPath.substr(slash + 1) + ": " +
                                  RecordingFile::whyNotOpened(foreign.dataPath, fd, info));
            if (fd >= 0)
                ::close(fd);
            return error;
        }
        opened.adopt(fd);
        file.size = static_cast<uint64_t>(info.st_size);
    }
    if (foreign.refusal.empty() && !d.takeSampleRate(foreign.sampleRate))
        foreign.refusal = d.refusal;
    if (!foreign.refusal.empty()) {
        return Error(ErrorKind::Unsupported, "Unsupported recording: " + foreign.refusal);
    }
    lines.insert(lines.end(), foreign.lines.begin(), foreign.lines.end());
    d.layout = foreign.layout;
    d.bandwidth = d.sampleRate;
    d.centerFreq = foreign.centerFreq;
    d.start = foreign.start.value_or(0);
    d.startKnown = foreign.start.has_value();
    d.endFollowsSeconds = true;
    d.bitsPerSample = IqFileName::bitsOf(foreign.format);
    d.header.channel = 2;
    d.header.samples_per_sec = static_cast<uint32_t>(d.sampleRate);
    d.header.bits_per_sample = static_cast<uint16_t>(d.bitsPerSample);
    d.header.CenterFreq = static_cast<uint32_t>(std::clamp(d.centerFreq, 0.0, double{UINT32_MAX}));
    d.header.Bandwidth = static_cast<uint32_t>(d.sampleRate);
    d.foreignFormat = foreign.format;
    d.foreignOffset = foreign.dataOffset;
    d.foreignLength = foreign.dataLength;
    return {};
}
