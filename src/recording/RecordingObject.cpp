#include "recording/RecordingObject.h"

#include "ForeignReader.h"
#include "LayoutParameters.h"
#include "LayoutSource.h"
#include "WaveChunks.h"
#include "WaveContainer.h"
#include "WaveLayouts.h"
#include "common/UtcCalendar.h"
#include "recording/ForeignRecording.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace WaveContainer;

namespace {

constexpr size_t kReadBufferBytes = 256 * 1024;
// The shortest header of the six layouts (a plain WAVE header).
constexpr uint64_t kShortestHeader = 44;

} // namespace

// What an open finds out about a file: where it is read from, what its
// layout gives and, for a RIFF/WAVE file, its chunks.
struct RecordingObject::Opening {
    LayoutSource file;
    LayoutParameters d;
    WaveChunks chunks;
};

RecordingObject::RecordingObject() : readBuffer_(kReadBufferBytes) {}

RecordingObject::RecordingObject(ProbeOnly) : quiet_(true) {}

bool RecordingObject::isRecordingFile(const std::string& path)
{
    // A SigMF recording is listed once, by its metadata.
    if (ForeignRecording::isSigmfData(path))
        return false;
    RecordingObject probe{ProbeOnly{}};
    Opening opening{{probe.openedFile, 0, {}, true}, {}, {}};
    std::vector<std::string> lines;
    return probe.openAndRecognise(path, opening, lines).has_value();
}

Status RecordingObject::openAndRecognise(const std::string& named, Opening& opening, std::vector<std::string>& lines)
{
    LayoutSource& file = opening.file;
    LayoutParameters& d = opening.d;
    WaveChunks& chunks = opening.chunks;
    // A SigMF recording opens by its metadata, whichever of its files is named.
    const std::string path = ForeignRecording::isSigmfData(named) ? ForeignRecording::sigmfSibling(named) : named;
    // Non-blocking so that a FIFO given by mistake cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const ErrorKind kind = fd < 0 && errno == ENOENT ? ErrorKind::NotFound : ErrorKind::Io;
        Error error(kind, "Can't open file: " + RecordingFile::whyNotOpened(path, fd, info));
        if (fd >= 0)
            ::close(fd);
        return error;
    }
    openedFile.adopt(fd);

    file.size = static_cast<uint64_t>(info.st_size);
    const size_t slash = path.find_last_of('/');
    file.fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    uint8_t container[12] = {};
    const auto wanted = static_cast<size_t>(std::min<uint64_t>(file.size, sizeof container));
    // Fewer bytes than the file's size promises is a failed read, not a file of another kind.
    if (const size_t got = openedFile.readAt(0, container, wanted); got < wanted)
        openedFile.noteReadError("read error at byte " + std::to_string(got) +
                                 ": the file has become shorter than when it was opened");
    if (openedFile.readError().empty() && isWave(container))
        chunks = WaveChunks::find(openedFile, file.size);
    if (!openedFile.readError().empty()) {
        return Error(ErrorKind::Io, "Can't read file: " + openedFile.readError());
    }
    // A file named .wav that is not one is refused as a damaged WAV file.
    if (file.size > 0 && !isRiffLike(container) && !hasWavExtension(file.fileName))
        return openForeignRecording(path, openedFile, file, rawSettings_, rawSettingsNeeded_, d, lines);
    if (file.size < kShortestHeader) {
        d.refusal = file.size == 0 ? std::string("the file is empty")
                                   : "the file is too short to be a recording (" + std::to_string(file.size) +
                                         " bytes)";
    } else if (!isWave(container)) {
        d.refusal = notWave(container);
    } else if (chunks.formatFound && !iqChannelCount(chunks.declaredChannels)) {
        // Mono audio and the like, whatever layout the header resembles.
        d.refusal = "not an I/Q recording (" + std::to_string(chunks.declaredChannels) +
                    (chunks.declaredChannels == 1 ? " channel)" : " channels)");
    } else if ((isRf64(container) ? readRf64Header(file, chunks, d, lines) : recogniseWaveLayout(file, d, lines)) ==
                   Recognition::Accepted &&
               openedFile.readError().empty()) {
        // A layout that fits may still hold samples in a form that cannot be
        // read as numbers (MP3 and other codecs, odd widths).
        if (chunks.formatFound && !chunks.declared)
            d.refusal = unsupportedSampleFormat(chunks.declaredTag, chunks.declaredBits);
        if (d.refusal.empty())
            return {};
    }
    // A header that could not be read would be taken for another layout.
    if (!openedFile.readError().empty())
        return Error(ErrorKind::Io, "Can't read file: " + openedFile.readError());
    return Error(ErrorKind::Unsupported, "Unsupported recording: " + d.refusal);
}

RecordingObject::~RecordingObject() { closeRecording(); }

std::string RecordingObject::defaultRecordingFolder()
{
    const char* home = std::getenv("HOME");
    std::string folder = home ? home : "";
    if (folder.empty()) {
        if (const passwd* user = getpwuid(getuid()))
            folder = user->pw_dir;
    }
    return folder + "/sdr_recordings";
}

void RecordingObject::setRecordingFolder(const std::string& folder) { selectedRecordingFolder = folder; }

bool RecordingObject::isValidRecordingFile() const { return theHeader != nullptr; }

bool RecordingObject::readsFile(const std::string& path) const
{
    struct stat target {}, read {};
    if (!theHeader || ::stat(path.c_str(), &target) != 0)
        return false;
    const auto same = [&](const struct stat& other) {
        return other.st_dev == target.st_dev && other.st_ino == target.st_ino;
    };
    return (::fstat(openedFile.descriptor(), &read) == 0 && same(read)) || (::stat(filePath.c_str(), &read) == 0 && same(read));
}

void RecordingObject::closeRecording()
{
    openedFile.close();
    theHeader.reset();
    layoutName_.clear();
    openedFile.clearReadError();
}

void RecordingObject::setRecordingFile(const std::string& name, std::vector<std::string>& debugArray)
{
    (void)open(name, debugArray);
}

Status RecordingObject::open(const std::string& name, std::vector<std::string>& debugArray)
{
    debugArray.clear();
    const std::string folder =
        selectedRecordingFolder.empty() ? defaultRecordingFolder() : selectedRecordingFolder;
    filePath = (!name.empty() && name[0] == '/') ? name : folder + "/" + name;
    closeRecording();
    rawSettingsNeeded_ = false;

    Opening opening{{openedFile, 0, {}, quiet_}, {}, {}};
    if (Status opened = openAndRecognise(filePath, opening, debugArray); !opened) {
        debugArray.push_back(opened.error().message());
        closeRecording();
        return opened;
    }
    const LayoutSource& file = opening.file;
    const LayoutParameters& d = opening.d;
    const WaveChunks& chunks = opening.chunks;

    dataSpans_.clear();
    missingBytes_ = 0;
    bool headerCountApplies = false;
    if (d.foreignFormat) {
        sampleFormat_ = *d.foreignFormat;
        const uint64_t first = std::min(d.foreignOffset, file.size);
        dataSpans_.append(first, std::min(d.foreignLength, file.size - first));
    } else {
        headerCountApplies = chunks.takeSamples(file.size, d, sampleFormat_, dataSpans_, missingBytes_);
        if (chunks.zeroLengthsRead > 0)
            debugArray.push_back(std::to_string(chunks.zeroLengthsRead) +
                                 (chunks.zeroLengthsRead == 1 ? " data chunk states" : " data chunks state") +
                                 " 0 bytes with samples after it; they are read");
        if (missingBytes_ > 0)
            debugArray.push_back("Truncated: " + std::to_string(missingBytes_) +
                                 " bytes of samples that the header declares are missing; what is there is read");
    }
    const uint32_t stride = sampleFormat_.bytesPerSample();
    const uint64_t heldSeconds = dataSpans_.bytes() / stride / static_cast<uint64_t>(d.sampleRate);
    const uint64_t seconds = headerCountApplies ? std::min(d.headerSeconds, heldSeconds) : heldSeconds;

    parameters_.mSampleRate = d.sampleRate;
    parameters_.mBandwidth = d.bandwidth;
    parameters_.mCenterFreq = d.centerFreq;
    // Layouts that assume 16 bits whatever the file holds report what its
    // format chunk declares.
    parameters_.mBitsPerSample = (d.widthAssumed && chunks.declared) ? chunks.declaredBits : d.bitsPerSample;
    parameters_.mNumSeconds = static_cast<int32_t>(std::min<uint64_t>(seconds, INT32_MAX));
    parameters_.mStartTimestamp = d.start;
    startTimeKnown_ = d.startKnown;
    startUnixTimetamp = d.start;
    endUnixTimetamp = d.endFollowsSeconds ? d.start + parameters_.mNumSeconds : d.end;
    layoutName_ = d.layout;
    theHeader = std::make_unique<RecordingHeader>(d.header);
    return {};
}

int64_t RecordingObject::sampleCount() const
{
    return theHeader ? static_cast<int64_t>(dataSpans_.bytes() / sampleFormat_.bytesPerSample()) : 0;
}

int64_t RecordingObject::getData(ComplexSample* block, double atSecond, int64_t samples)
{
    if (!theHeader || samples <= 0)
        return 0;
    const double firstIndex = static_cast<double>(parameters_.mSampleRate) * atSecond;
    if (!(firstIndex >= 0.0) || firstIndex >= 0x1p62)
        return 0;
    return fill(static_cast<uint64_t>(firstIndex), samples, block);
}

Result<int64_t> RecordingObject::read(int64_t start, int64_t count, ComplexSample* into)
{
    if (!theHeader)
        return Error(ErrorKind::InvalidArgument, "no recording is open");
    const int64_t filled = start >= 0 && count > 0 ? fill(static_cast<uint64_t>(start), count, into) : 0;
    if (!readError().empty())
        return Error(ErrorKind::Io, readError());
    return filled;
}

int64_t RecordingObject::fill(uint64_t index, int64_t samples, ComplexSample* block)
{
    const uint64_t stride = sampleFormat_.bytesPerSample();
    const uint64_t available = dataSpans_.bytes() / stride;
    if (index >= available)
        return 0;
    const int64_t wanted = static_cast<int64_t>(std::min<uint64_t>(static_cast<uint64_t>(samples), available - index));
    const int64_t perRead = static_cast<int64_t>(readBuffer_.size() / stride);

    uint64_t logical = index * stride;
    int64_t filled = 0;
    while (filled < wanted) {
        const int64_t count = std::min(perRead, wanted - filled);
        const size_t bytes = static_cast<size_t>(count) * stride;
        const size_t got = dataSpans_.read(openedFile, logical, readBuffer_.data(), bytes);
        logical += got;
        const int64_t complete = static_cast<int64_t>(got / stride);
        sampleFormat_.convert(readBuffer_.data(), complete, block + filled);
        filled += complete;
        if (got < bytes)
            break;
    }
    return filled;
}

std::string RecordingObject::TimestampFromOffset(int32_t seconds) const
{
    return theHeader ? UtcCalendar::format(startUnixTimetamp + seconds, ':') : std::string();
}

std::string RecordingObject::FileTimestampFromOffset(int32_t seconds) const
{
    if (!theHeader)
        return {};
    if (startTimeKnown_)
        return UtcCalendar::format(startUnixTimetamp + seconds, '.');
    // No start time: the recording's name and the time into it, rather than
    // a date in 1970 that every such recording would share.
    const int64_t into = std::max<int64_t>(seconds, 0);
    char offset[32];
    std::snprintf(offset, sizeof offset, "%02lld.%02lld.%02lld", static_cast<long long>(into / 3600),
                  static_cast<long long>(into / 60 % 60), static_cast<long long>(into % 60));
    return std::filesystem::path(filePath).stem().string() + " +" + offset;
}

int32_t RecordingObject::UnixTimestampFromOffset(int32_t seconds) const
{
    if (!theHeader)
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(seconds) + static_cast<uint32_t>(startUnixTimetamp));
}

