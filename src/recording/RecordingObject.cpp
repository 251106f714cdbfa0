#include "recording/RecordingObject.h"

#include "common/ByteFields.h"
#include "common/SystemLog.h"
#include "common/UserFileText.h"
#include "common/UtcCalendar.h"
#include "recording/ForeignRecording.h"
#include "recording/IqFileName.h"
#include "recording/SigmfMetadata.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

using namespace ByteFields;

namespace {

constexpr size_t kReadBufferBytes = 256 * 1024;
constexpr uint32_t kUnknownLength = 0xFFFFFFFF;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
// The shortest header of the six layouts (a plain WAVE header).
constexpr uint64_t kShortestHeader = 44;
constexpr uint16_t kMaxIqChannels = 16;

// Why an open of `path` (fd, and info when fd is open) gives no regular file.
std::string whyNotOpened(const std::string& path, int fd, const struct stat& info)
{
    if (fd < 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return "it is a link to a missing file";
        return std::strerror(error);
    }
    return UserFileText::notRegular(fd, info);
}

const char* formatTagName(uint16_t tag)
{
    switch (tag) {
    case 0x0002: return "ADPCM";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0050: return "MPEG";
    case 0x0055: return "MP3";
    case 0x00FF: return "AAC";
    case 0x2000: return "AC-3";
    default: return nullptr;
    }
}

// Beyond two channels, the first two are I and Q (as multi-channel recorders
// write them); fewer cannot be I/Q.
bool iqChannelCount(uint16_t channels) { return channels >= 2 && channels <= kMaxIqChannels; }

// What a "fmt " chunk declares that cannot be read as numbers.
std::string unsupportedSampleFormat(uint16_t tag, uint16_t bits)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", tag);
    if (tag == 1 || tag == 3)
        return "unsupported sample format: " + std::to_string(bits) + "-bit " + (tag == 1 ? "PCM" : "float") +
               " (format tag " + hex + ")";
    const char* name = formatTagName(tag);
    return std::string("unsupported sample format: format tag ") + hex + (name ? std::string(" (") + name + ")" : "") +
           ", not PCM or float";
}

constexpr uint64_t kFixedDataOffset16 = 118;
constexpr uint64_t kFixedDataOffsetOther = 86;
// Bounds on the chunk walk for damaged files: a day of a KiwiSDR recording at
// 12 kS/s is about two million data chunks.
constexpr int kMaxChunksWalked = 1 << 24;
constexpr size_t kMaxDataChunks = size_t{1} << 23;
constexpr size_t kChunkWalkWindow = 64 * 1024;

// Reads a decimal integer the way C's atoi does (leading blanks, an optional
// sign, then digits), saturating instead of overflowing.
int64_t leadingInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\f' || text[i] == '\v'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT64_MAX / 16);
    return negative ? -value : value;
}

// Characters [from, from + count) of `text`, as many of them as exist.
std::string_view charactersAt(std::string_view text, size_t from, size_t count)
{
    if (from >= text.size())
        return {};
    return text.substr(from, count);
}

int32_t clampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string formatLine(const char* format, long long value)
{
    char line[64];
    std::snprintf(line, sizeof line, format, value);
    return line;
}

bool isChunkId(const uint8_t* p)
{
    return std::all_of(p, p + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

// RF64 and BW64 are RIFF/WAVE with 64-bit sizes in a "ds64" chunk.
bool isRf64(const uint8_t* first12) { return (idIs(first12, "RF64") || idIs(first12, "BW64")) && idIs(first12 + 8, "WAVE"); }
bool isWave(const uint8_t* first12) { return (idIs(first12, "RIFF") && idIs(first12 + 8, "WAVE")) || isRf64(first12); }
bool isRiffLike(const uint8_t* first12) { return idIs(first12, "RIFF") || idIs(first12, "RF64") || idIs(first12, "BW64"); }

bool hasWavExtension(std::string_view name)
{
    return name.size() >= 4 && (name.substr(name.size() - 4) == ".wav" || name.substr(name.size() - 4) == ".WAV");
}

uint64_t u64(const uint8_t* p) { return uint64_t{u32(p)} | uint64_t{u32(p + 4)} << 32; }

// What a file that is not RIFF/WAVE is, as far as its first bytes tell.
std::string notWave(const uint8_t* first12)
{
    if (idIs(first12, ".snd"))
        return "not a WAV file (a Sun/NeXT .au audio file)";
    if (idIs(first12, "RIFF"))
        return "not a WAV file (a RIFF file of type \"" +
               (isChunkId(first12 + 8) ? std::string(reinterpret_cast<const char*>(first12 + 8), 4) : "?") + "\")";
    if (idIs(first12, "RF64") || idIs(first12, "BW64"))
        return "not a WAV file (an RF64 file of another type)";
    return "not a WAV file (no RIFF/WAVE header: raw samples, such as .cu8 or .bin captures, are not read)";
}

// A frequency in a file name: digits, an optional fraction and a unit of Hz,
// kHz or MHz (Hz when none follows). 0 when there are no digits.
double frequencyInName(std::string_view text)
{
    size_t i = 0;
    double value = 0.0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        value = std::min(value * 10.0 + (text[i++] - '0'), 1e18);
    if (i + 1 < text.size() && text[i] == '.' && text[i + 1] >= '0' && text[i + 1] <= '9') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale *= 0.1)
            value += (text[i] - '0') * scale;
    }
    const std::string_view unit = text.substr(i);
    if (unit.substr(0, 3) == "kHz" || unit.substr(0, 3) == "KHz")
        return std::round(value * 1e3);
    if (unit.substr(0, 3) == "MHz")
        return std::round(value * 1e6);
    return std::floor(value);
}

bool digitsAt(std::string_view text, size_t from, size_t count)
{
    return from + count <= text.size() &&
           std::all_of(text.begin() + from, text.begin() + from + count, [](char c) { return c >= '0' && c <= '9'; });
}

// A KiwiSDR recorder's name: 20171127T104156Z_77500_..., the start in UTC and
// the tuned frequency in Hz.
struct KiwiName {
    int64_t start = 0;
    double frequency = 0.0;
};
std::optional<KiwiName> kiwiName(std::string_view name)
{
    if (!digitsAt(name, 0, 8) || name.substr(8, 1) != "T" || !digitsAt(name, 9, 6) || name.substr(15, 2) != "Z_" ||
        !digitsAt(name, 17, 1))
        return std::nullopt;
    size_t end = 17;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end - 17 > 12 || (end < name.size() && name[end] != '_' && name[end] != '.'))
        return std::nullopt;
    auto number = [&name](size_t from, size_t count) { return leadingInteger(name.substr(from, count)); };
    return KiwiName{UtcCalendar::toUnix(number(0, 4), number(4, 2), number(6, 2), number(9, 2), number(11, 2),
                                        number(13, 2)),
                    static_cast<double>(number(17, end - 17))};
}

} // namespace

// The parameters one recogniser derives, committed only when the file is taken.
struct RecordingObject::Derived {
    std::string layout;
    RecordingHeader header;
    int32_t sampleRate = 0;
    double bandwidth = 0.0;
    double centerFreq = 0.0;
    int32_t bitsPerSample = 16;
    // The layout's own count of seconds, and the bytes per complex sample it
    // assumes (0 when the layout gives no count).
    uint64_t headerSeconds = 0;
    uint32_t headerSecondsBytesPerSample = 0;
    int64_t start = 0;
    int64_t end = 0;
    bool endFollowsSeconds = false;
    bool startKnown = true;
    bool widthAssumed = false; // the layout takes 16 bits whatever the file says
    std::string refusal;
    // Where the samples of a file other than RIFF/WAVE are, and their format.
    std::optional<SampleFormat> foreignFormat;
    uint64_t foreignOffset = 0;
    uint64_t foreignLength = 0;

    bool takeSampleRate(int64_t rate)
    {
        if (rate <= 0 || rate > kMaxSampleRate) {
            refusal = "sample rate " + std::to_string(rate);
            return false;
        }
        sampleRate = static_cast<int32_t>(rate);
        return true;
    }
    void countSeconds(uint64_t seconds, uint32_t bytesPerComplexSample)
    {
        headerSeconds = seconds;
        headerSecondsBytesPerSample = bytesPerComplexSample;
    }
};

struct RecordingObject::OpenFile {
    uint64_t size = 0;
    std::string fileName; // last component of the path

    // The first `count` bytes of the file; bytes past its end read as zero.
    std::vector<uint8_t> head(const RecordingObject& owner, size_t count) const
    {
        std::vector<uint8_t> bytes(count, 0);
        owner.readAt(0, bytes.data(), count);
        return bytes;
    }
};

RecordingObject::RecordingObject() : readBuffer_(kReadBufferBytes) {}

RecordingObject::RecordingObject(ProbeOnly) : quiet_(true) {}

void RecordingObject::logRejection(const char* line) const
{
    if (!quiet_)
        SystemLog("%s", line);
}

bool RecordingObject::isRecordingFile(const std::string& path)
{
    // A SigMF recording is listed once, by its metadata.
    if (ForeignRecording::isSigmfData(path))
        return false;
    RecordingObject probe{ProbeOnly{}};
    OpenFile file;
    Derived d;
    SampleChunks chunks;
    std::vector<std::string> lines;
    return probe.openAndRecognise(path, file, d, chunks, lines);
}

bool RecordingObject::openAndRecognise(const std::string& named, OpenFile& file, Derived& d, SampleChunks& chunks,
                                       std::vector<std::string>& lines)
{
    // A SigMF recording opens by its metadata, whichever of its files is named.
    const std::string path = ForeignRecording::isSigmfData(named) ? ForeignRecording::sigmfSibling(named) : named;
    // Non-blocking so that a FIFO given by mistake cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        lines.push_back("Can't open file: " + whyNotOpened(path, fd, info));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    openedFile = fd;

    file.size = static_cast<uint64_t>(info.st_size);
    const size_t slash = path.find_last_of('/');
    file.fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    uint8_t container[12] = {};
    const auto wanted = static_cast<size_t>(std::min<uint64_t>(file.size, sizeof container));
    // Fewer bytes than the file's size promises is a failed read, not a file of another kind.
    if (const size_t got = readAt(0, container, wanted); got < wanted && readError_.empty())
        readError_ = "read error at byte " + std::to_string(got) + ": the file has become shorter than when it was opened";
    if (readError_.empty() && isWave(container))
        chunks = findSampleChunks(file.size);
    if (!readError_.empty()) {
        lines.push_back("Can't read file: " + readError_);
        return false;
    }
    // A file named .wav that is not one is refused as a damaged WAV file.
    if (file.size > 0 && !isRiffLike(container) && !hasWavExtension(file.fileName))
        return openForeign(path, file, d, lines);
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
    } else if ((isRf64(container) ? readRf64Header(file, chunks, d, lines) : recognise(file, d, lines)) ==
                   Recognition::Accepted &&
               readError_.empty()) {
        // A layout that fits may still hold samples in a form that cannot be
        // read as numbers (MP3 and other codecs, odd widths).
        if (chunks.formatFound && !chunks.declared)
            d.refusal = unsupportedSampleFormat(chunks.declaredTag, chunks.declaredBits);
        if (d.refusal.empty())
            return true;
    }
    // A header that could not be read would be taken for another layout.
    if (!readError_.empty())
        lines.push_back("Can't read file: " + readError_);
    else
        lines.push_back("Unsupported recording: " + d.refusal);
    return false;
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
    return (::fstat(openedFile, &read) == 0 && same(read)) || (::stat(filePath.c_str(), &read) == 0 && same(read));
}

void RecordingObject::closeRecording()
{
    if (openedFile >= 0)
        ::close(openedFile);
    openedFile = -1;
    theHeader.reset();
    layoutName_.clear();
    readError_.clear();
}

size_t RecordingObject::readAt(uint64_t position, uint8_t* into, size_t bytes) const
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::pread(openedFile, into + done, bytes - done,
                                    static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && readError_.empty())
            readError_ = "read error at byte " + std::to_string(position + done) + ": " + std::strerror(errno);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

void RecordingObject::setRecordingFile(const std::string& name, std::vector<std::string>& debugArray)
{
    debugArray.clear();
    const std::string folder =
        selectedRecordingFolder.empty() ? defaultRecordingFolder() : selectedRecordingFolder;
    filePath = (!name.empty() && name[0] == '/') ? name : folder + "/" + name;
    closeRecording();
    rawSettingsNeeded_ = false;

    OpenFile file;
    Derived d;
    SampleChunks chunks;
    if (!openAndRecognise(filePath, file, d, chunks, debugArray)) {
        closeRecording();
        return;
    }

    dataSpans_.clear();
    dataBytes_ = 0;
    missingBytes_ = 0;
    bool headerCountApplies = false;
    if (d.foreignFormat) {
        sampleFormat_ = *d.foreignFormat;
        const uint64_t first = std::min(d.foreignOffset, file.size);
        dataSpans_.push_back({first, 0});
        dataBytes_ = std::min(d.foreignLength, file.size - first);
    } else {
        headerCountApplies = takeWaveSamples(file, d, chunks);
        if (chunks.zeroLengthsRead > 0)
            debugArray.push_back(std::to_string(chunks.zeroLengthsRead) +
                                 (chunks.zeroLengthsRead == 1 ? " data chunk states" : " data chunks state") +
                                 " 0 bytes with samples after it; they are read");
        if (missingBytes_ > 0)
            debugArray.push_back("Truncated: " + std::to_string(missingBytes_) +
                                 " bytes of samples that the header declares are missing; what is there is read");
    }
    const uint32_t stride = sampleFormat_.bytesPerSample();
    const uint64_t heldSeconds = dataBytes_ / stride / static_cast<uint64_t>(d.sampleRate);
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
}

bool RecordingObject::takeWaveSamples(const OpenFile& file, const Derived& d, const SampleChunks& chunks)
{
    // Samples are read as the format chunk declares; without one, by the
    // header's width: 16-bit pairs, or 24-bit pairs for any other width.
    const bool dataFound = !chunks.data.empty();
    const bool sixteenBit = d.bitsPerSample == 16;
    sampleFormat_ = chunks.declared.value_or(
        SampleFormat(sixteenBit ? SampleFormat::Encoding::Int16 : SampleFormat::Encoding::Int24, 2));
    const uint64_t dataOffset =
        dataFound ? chunks.data.front().offset : (sixteenBit ? kFixedDataOffset16 : kFixedDataOffsetOther);
    const uint64_t dataLength = dataFound ? chunks.data.front().length : 0;

    // Recorders that pass 4 GiB write 0xFFFFFFFF or a wrapped length, and a
    // copy cut short leaves a length that runs past the end: then the samples
    // run to the end of the file. A file of several data chunks states each
    // length; only its last may be cut short.
    const bool severalChunks = chunks.data.size() > 1;
    const bool sizeUnknown = !severalChunks && !chunks.sizesIn64Bits &&
                             (d.header.f_len == kUnknownLength || file.size > uint64_t{UINT32_MAX} + 8 ||
                              (dataFound && (dataLength == kUnknownLength || dataOffset + dataLength > file.size)));
    if (severalChunks) {
        for (const DataChunk& chunk : chunks.data) {
            const uint64_t end = std::min<uint64_t>(chunk.offset + chunk.length, file.size);
            if (end <= chunk.offset)
                continue;
            dataSpans_.push_back({chunk.offset, dataBytes_});
            dataBytes_ += end - chunk.offset;
        }
    } else {
        const uint64_t held = file.size - std::min(dataOffset, file.size);
        dataSpans_.push_back({dataOffset, 0});
        dataBytes_ = (dataFound && !sizeUnknown) ? std::min(dataLength, held) : held;
    }
    // The last data chunk stating more than the file holds: a copy cut short.
    // A length written as unknown (or wrapped, past 4 GiB) says nothing.
    if (dataFound) {
        const DataChunk& last = chunks.data.back();
        const uint64_t held = file.size - std::min(last.offset, file.size);
        const bool stated = chunks.sizesIn64Bits || (last.length != kUnknownLength && file.size <= uint64_t{UINT32_MAX} + 8);
        if (stated && last.length > held)
            missingBytes_ = last.length - held;
    }
    // A "data" chunk that fits the file is the measure: the layouts' formulas
    // use the RIFF length, which a recorder stopped by a crash leaves at 0.
    return !sizeUnknown && !dataFound && d.headerSecondsBytesPerSample == sampleFormat_.bytesPerSample();
}

RecordingObject::SampleChunks RecordingObject::findSampleChunks(uint64_t fileSize) const
{
    // Chunk headers are read through a window of the file: a KiwiSDR file has
    // two chunks for every 512 samples.
    std::vector<uint8_t> window(kChunkWalkWindow);
    uint64_t windowStart = 0;
    size_t windowBytes = 0;
    auto bytesAt = [&](uint64_t position, uint8_t* into, size_t count) {
        if (position < windowStart || position + count > windowStart + windowBytes) {
            windowStart = position;
            windowBytes = readAt(position, window.data(), window.size());
        }
        const size_t available =
            position + count <= windowStart + windowBytes ? count : windowStart + windowBytes - position;
        std::memcpy(into, window.data() + (position - windowStart), available);
        return available;
    };

    // Where the next KiwiSDR block ("kiwi" of 10 bytes, then "data") starts,
    // counted from `from`; 0 when none follows within reach.
    auto nextKiwiBlock = [&](uint64_t from) -> uint64_t {
        constexpr uint64_t kReach = 1u << 20;
        const uint64_t limit = std::min<uint64_t>(fileSize, from + kReach);
        uint8_t block[26] = {};
        for (uint64_t p = from; p + sizeof block <= limit; ++p) {
            if (bytesAt(p, block, 4) == 4 && idIs(block, "kiwi") && bytesAt(p, block, sizeof block) == sizeof block &&
                u32(block + 4) == 10 && idIs(block + 18, "data"))
                return p - from;
        }
        return 0;
    };

    SampleChunks found;
    uint64_t position = 12;
    bool afterKiwi = false; // the chunk before was a KiwiSDR block's header
    for (int chunk = 0; chunk < kMaxChunksWalked && position + 8 <= fileSize; ++chunk) {
        uint8_t chunkHeader[8];
        if (bytesAt(position, chunkHeader, 8) < 8)
            break;
        // After the first samples, anything but a chunk is the end of the chunks.
        if (!found.data.empty() && !isChunkId(chunkHeader))
            break;
        uint64_t length = u32(chunkHeader + 4);
        const uint64_t payload = position + 8;
        if (idIs(chunkHeader, "ds64") && chunk == 0 && length >= 24) {
            uint8_t sizes[24] = {};
            if (bytesAt(payload, sizes, sizeof sizes) == sizeof sizes) {
                found.sizesIn64Bits = true;
                found.dataLength64 = u64(sizes + 8);
            }
        }
        if (idIs(chunkHeader, "data") && found.sizesIn64Bits && length == kUnknownLength)
            length = found.dataLength64;
        if (idIs(chunkHeader, "data") && length == 0 && payload < fileSize) {
            // Samples after a length of 0: a recorder that never came back to
            // write it. Such a chunk among others of one length (KiwiSDR)
            // has theirs when a chunk follows at that distance; otherwise
            // the samples run to the end of the file.
            uint8_t after[4] = {}, atPrevious[4] = {};
            if (bytesAt(payload, after, 4) == 4 && !isChunkId(after)) {
                // The first block has no previous one: it ends where the next begins.
                const uint64_t previous = !found.data.empty() ? found.data.back().length
                                          : afterKiwi         ? nextKiwiBlock(payload)
                                                              : 0;
                const bool previousFits =
                    previous > 0 && previous < fileSize - payload &&
                    (payload + previous + 8 > fileSize ||
                     (bytesAt(payload + previous, atPrevious, 4) == 4 && isChunkId(atPrevious)));
                length = previousFits ? previous : fileSize - payload;
                ++found.zeroLengthsRead;
            }
        }
        if (idIs(chunkHeader, "data")) {
            if (found.data.size() >= kMaxDataChunks)
                break;
            found.data.push_back({payload, length});
            // A length that cannot be right ends the walk: the samples run to the end.
            if ((length == kUnknownLength && !found.sizesIn64Bits) || length > fileSize - payload)
                break;
        }
        if (idIs(chunkHeader, "fmt ") && !found.formatFound && found.data.empty() && length >= 16) {
            uint8_t fmt[40] = {};
            readAt(payload, fmt, static_cast<size_t>(std::min<uint64_t>(length, sizeof fmt)));
            found.formatFound = true;
            found.declaredChannels = u16(fmt + 2);
            found.declaredBits = u16(fmt + 14);
            found.declaredRate = u32(fmt + 4);
            const uint16_t subFormat = length >= 40 ? u16(fmt + 24) : 0;
            found.declaredTag = u16(fmt) == kWaveFormatExtensible ? subFormat : u16(fmt);
            found.declared = SampleFormat::fromWave(u16(fmt), u16(fmt + 2), u16(fmt + 14), subFormat);
        }
        // A chunk running past the end of the file ends the walk (a 64-bit
        // length could otherwise wrap the position back to the start).
        if (length > fileSize - payload)
            break;
        uint64_t next = payload + length;
        if (length & 1) {
            // Chunks are padded to even lengths, but some writers leave the pad out.
            uint8_t padded[4] = {}, unpadded[4] = {};
            bytesAt(next + 1, padded, 4);
            bytesAt(next, unpadded, 4);
            if (isChunkId(padded) || !isChunkId(unpadded))
                ++next;
        }
        position = next;
        afterKiwi = idIs(chunkHeader, "kiwi");
    }
    return found;
}

RecordingObject::Recognition RecordingObject::recognise(const OpenFile& file, Derived& d,
                                                        std::vector<std::string>& lines)
{
    Recognition r = tryToSdrRadioHeader(file, d, lines);
    if (r == Recognition::Rejected)
        r = tryToSdrSharpHeader(file, d, lines);
    if (r == Recognition::Rejected)
        r = tryToSdrSdrStudio1(file, d);
    if (r == Recognition::Rejected)
        r = tryToSdrSdrStudio2(file, d);
    if (r == Recognition::Rejected)
        r = tryToReadPerseusHeader(file, d, lines);
    if (r == Recognition::Rejected)
        r = readRfspaceHeader(file, d, lines);
    return r;
}

RecordingObject::Recognition RecordingObject::tryToSdrRadioHeader(const OpenFile& file, Derived& d,
                                                                  std::vector<std::string>& lines)
{
    const std::vector<uint8_t> b = file.head(*this, 10000);
    const int32_t auxiLength = i32(&b[42]);
    if (auxiLength < 0 || auxiLength >= 4001 || !idIs(&b[38], "auxi") || !idIs(&b[46 + auxiLength], "data")) {
        logRejection("Not SdrRadio");
        return Recognition::Rejected;
    }

    // The auxi text is UTF-16; its low bytes are the ASCII we look for.
    std::string text;
    for (size_t i = 0; i < 4000 && b[52 + 2 * i] != 0; ++i)
        text.push_back(static_cast<char>(b[52 + 2 * i]));

    // Each value is quoted: it starts one character after the key.
    auto valueOf = [&text](std::string_view key) -> std::optional<int64_t> {
        const size_t at = text.find(key);
        if (at == std::string::npos)
            return std::nullopt;
        return leadingInteger(charactersAt(text, at + key.size() + 1, std::string::npos));
    };
    const auto bits = valueOf("BitsPerSample=");
    const auto bytesPerSecond = valueOf("BytesPerSecond=");
    const auto centerFreq = valueOf("RadioCenterFreq=");
    const auto sampleRate = valueOf("SampleRate=");
    const auto utcSeconds = valueOf("UTCSeconds=");
    if (!bits || !bytesPerSecond || !centerFreq || !sampleRate || !utcSeconds) {
        logRejection("Not SdrRadio");
        return Recognition::Rejected;
    }

    d.layout = "SdrRadio";
    d.header.copyWaveFields(b.data());
    if (!d.takeSampleRate(*sampleRate))
        return Recognition::Refused;
    d.bitsPerSample = clampToInt32(*bits);
    const uint64_t perRate = d.header.f_len / static_cast<uint64_t>(d.sampleRate);
    switch (d.bitsPerSample) {
    case 16: d.countSeconds(perRate / 4, 4); break;
    case 24: d.countSeconds(perRate / 6, 6); break;
    case 32: d.countSeconds(perRate / 8, 8); break;
    default: d.countSeconds(perRate, 1); break;
    }
    d.bandwidth = d.sampleRate;
    d.centerFreq = static_cast<double>(*centerFreq);
    d.start = static_cast<int32_t>(static_cast<uint32_t>(*utcSeconds));
    d.endFollowsSeconds = true;
    d.header.CenterFreq = static_cast<uint32_t>(*centerFreq);
    d.header.Bandwidth = static_cast<uint32_t>(d.sampleRate);
    return Recognition::Accepted;
}

RecordingObject::Recognition RecordingObject::tryToSdrSharpHeader(const OpenFile& file, Derived& d,
                                                                  std::vector<std::string>& lines)
{
    const std::string_view name = file.fileName;
    if (name.substr(0, 9) != "SDRSharp_")
        return Recognition::Rejected;
    lines.push_back("SDRSharp File");
    const std::vector<uint8_t> b = file.head(*this, 44);
    d.layout = "SDRSharp";
    d.header.copyWaveFields(b.data());

    // SDRSharp_YYYYMMDD_HHMMSSZ_<frequency>Hz...; missing characters read as no digits.
    const int64_t year = leadingInteger(charactersAt(name, 9, 4));
    const int64_t month = leadingInteger(charactersAt(name, 13, 2));
    const int64_t day = leadingInteger(charactersAt(name, 15, 2));
    const int64_t hour = leadingInteger(charactersAt(name, 18, 2));
    const int64_t minute = leadingInteger(charactersAt(name, 20, 2));
    const int64_t second = leadingInteger(charactersAt(name, 22, 2));
    // Older versions wrote the frequency in kHz ("14053kHz"), later ones in Hz.
    const double frequency = frequencyInName(charactersAt(name, 26, std::string::npos));

    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    d.countSeconds(d.header.f_len / d.header.samples_per_sec / 4, 4);
    d.bandwidth = d.sampleRate;
    d.centerFreq = frequency;
    d.bitsPerSample = 16;
    d.widthAssumed = true;
    d.start = UtcCalendar::toUnix(year, month, day, hour, minute, second);
    d.endFollowsSeconds = true;
    d.header.CenterFreq = static_cast<uint32_t>(std::min(frequency, double{UINT32_MAX}));
    d.header.Bandwidth = d.header.samples_per_sec;
    d.header.startTime.wYear = static_cast<uint16_t>(year);
    d.header.startTime.wMonth = static_cast<uint16_t>(month);
    d.header.startTime.wDay = static_cast<uint16_t>(day);
    d.header.startTime.wHour = static_cast<uint16_t>(hour);
    d.header.startTime.wMinute = static_cast<uint16_t>(minute);
    d.header.startTime.wSecond = static_cast<uint16_t>(second);
    return Recognition::Accepted;
}

RecordingObject::Recognition RecordingObject::tryToSdrSdrStudio1(const OpenFile& file, Derived& d)
{
    const std::vector<uint8_t> b = file.head(*this, 1000);
    if (u32(&b[40]) != 38 || !(idIs(&b[36], "rcvr") || idIs(&b[36], "auxi"))) {
        logRejection("Not SdrSdrStudio1");
        return Recognition::Rejected;
    }
    d.layout = "SdrSdrStudio1";
    d.header.copyWaveFields(b.data());
    d.header.data_len = u32(&b[86]);
    if (d.header.bits_per_sample == 32)
        d.header.bits_per_sample = 24;
    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    d.countSeconds(d.header.f_len / d.header.samples_per_sec / 4, 4);
    d.bandwidth = d.sampleRate;
    d.centerFreq = u32(&b[44]);
    d.bitsPerSample = d.header.bits_per_sample;
    d.start = i32(&b[52]);
    d.endFollowsSeconds = true;
    d.header.CenterFreq = u32(&b[44]);
    d.header.Bandwidth = d.header.samples_per_sec;
    return Recognition::Accepted;
}

RecordingObject::Recognition RecordingObject::tryToSdrSdrStudio2(const OpenFile& file, Derived& d)
{
    const std::vector<uint8_t> b = file.head(*this, 1000);
    if (u32(&b[40]) != 164 || !(idIs(&b[36], "rcvr") || idIs(&b[36], "auxi"))) {
        logRejection("Not SdrSdrStudio2");
        return Recognition::Rejected;
    }
    if (!idIs(&b[208], "data")) {
        logRejection("Not SdrSdrStudio2 bad chunk ID");
        return Recognition::Rejected;
    }
    d.layout = "SdrSdrStudio2";
    d.header.copyWaveFields(b.data());
    d.header.data_len = u32(&b[212]);
    auto timeAt = [&b](size_t offset) {
        return UtcCalendar::toUnix(i16(&b[offset]), i16(&b[offset + 2]), i16(&b[offset + 6]),
                                   i16(&b[offset + 8]), i16(&b[offset + 10]), i16(&b[offset + 12]));
    };
    d.start = timeAt(44);
    d.end = timeAt(60);
    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    const uint32_t bits = d.header.bits_per_sample;
    if (bits == 0) {
        d.refusal = "0 bits per sample";
        return Recognition::Refused;
    }
    const uint64_t quarterBytes = (uint64_t{d.header.f_len} / d.header.samples_per_sec * 4) & ~uint64_t{7};
    d.countSeconds(quarterBytes / bits, bits / 4);
    d.bandwidth = d.sampleRate;
    d.centerFreq = u32(&b[76]);
    d.bitsPerSample = static_cast<int32_t>(bits);
    d.header.CenterFreq = u32(&b[76]);
    d.header.Bandwidth = d.header.samples_per_sec;
    return Recognition::Accepted;
}

RecordingObject::Recognition RecordingObject::tryToReadPerseusHeader(const OpenFile& file, Derived& d,
                                                                     std::vector<std::string>& lines)
{
    const std::vector<uint8_t> b = file.head(*this, 86);
    if (!idIs(&b[36], "rcvr"))
        return Recognition::Rejected;
    lines.push_back("Read Perseus file");
    d.layout = "Perseus";
    d.header.copyWaveFields(b.data());
    std::copy(&b[78], &b[82], d.header.chunkId);
    d.header.data_len = u32(&b[82]);

    const uint32_t centerFrequencyHz = u32(&b[44]);
    const int32_t samplingRateIdx = i32(&b[48]);
    const uint32_t timeStart = u32(&b[52]);
    const uint16_t attenId = u16(&b[56]);
    const auto adcPresel = static_cast<int8_t>(b[58]);
    const auto adcPreamp = static_cast<int8_t>(b[59]);
    const auto adcDither = static_cast<int8_t>(b[60]);

    const uint32_t byteRate = d.header.avg_bytes_per_sec;
    const uint32_t recSeconds = byteRate == 0 ? 0 : d.header.data_len / byteRate;
    d.start = timeStart;
    d.end = d.start + recSeconds;
    auto asSystemTime = [](int64_t unixSeconds) {
        const UtcCalendar::Fields f = UtcCalendar::fromUnix(unixSeconds);
        RecordingHeader::SystemTime t;
        t.wYear = static_cast<uint16_t>(f.year);
        t.wMonth = static_cast<uint16_t>(f.month);
        t.wDay = static_cast<uint16_t>(f.day);
        t.wHour = static_cast<uint16_t>(f.hour);
        t.wMinute = static_cast<uint16_t>(f.minute);
        t.wSecond = static_cast<uint16_t>(f.second);
        return t;
    };
    d.header.startTime = asSystemTime(d.start);
    d.header.stopTime = asSystemTime(d.end);

    static constexpr int32_t kBandwidths[5] = {100000, 200000, 400000, 800000, 1600000};
    static constexpr int32_t kSampleRates[5] = {125000, 250000, 500000, 1000000, 2000000};
    const bool tabled = samplingRateIdx >= 0 && samplingRateIdx <= 4;
    const int32_t bandwidth = tabled ? kBandwidths[samplingRateIdx] : 0;
    const int64_t sampleRate = tabled ? kSampleRates[samplingRateIdx] : int64_t{d.header.samples_per_sec};
    d.bitsPerSample = d.header.bits_per_sample;
    d.bandwidth = bandwidth;
    d.centerFreq = centerFrequencyHz;

    const UtcCalendar::Fields startFields = UtcCalendar::fromUnix(d.start);
    char startLine[96];
    std::snprintf(startLine, sizeof startLine, "%d %d %lld  %d %d %d", startFields.month,
                  startFields.day, static_cast<long long>(startFields.year - 1900), startFields.hour,
                  startFields.minute, startFields.second);
    auto asInt = [](int64_t value) { return static_cast<long long>(static_cast<int32_t>(value)); };
    lines.push_back(formatLine("Channels: %lld", d.header.channel));
    lines.push_back(formatLine("samples_per_sec: %lld", asInt(d.header.samples_per_sec)));
    lines.push_back(formatLine("avg_bytes_per_sec: %lld", asInt(d.header.avg_bytes_per_sec)));
    lines.push_back(formatLine("bits_per_sample: %lld", d.header.bits_per_sample));
    lines.push_back(formatLine("nCenterFrequencyHz: %lld", asInt(centerFrequencyHz)));
    lines.push_back(formatLine("nSamplingRateIdx: %lld", samplingRateIdx));
    lines.push_back(formatLine("timeStart: %lld", asInt(timeStart)));
    lines.push_back(startLine);
    lines.push_back(formatLine("wAttenId: %lld", attenId));
    lines.push_back(formatLine("bAdcPresel: %lld", adcPresel));
    lines.push_back(formatLine("bAdcPreamp: %lld", adcPreamp));
    lines.push_back(formatLine("bAdcDither: %lld", adcDither));
    lines.push_back("data: " + std::string(d.header.chunkId, 4));
    lines.push_back(formatLine("data_len: %lld", d.header.data_len));
    lines.push_back(formatLine("recSeconds: %lld", asInt(recSeconds)));
    lines.push_back(formatLine("waveheader samples_per_sec: %lld", asInt(d.header.samples_per_sec)));
    lines.push_back(formatLine("Bandwidth: %lld", bandwidth));
    lines.push_back(formatLine("mBitsPerSample: %lld", d.bitsPerSample));
    lines.push_back(formatLine("mSampleRate: %lld", asInt(sampleRate)));
    lines.push_back(formatLine("mBandwidth: %lld", bandwidth));
    lines.push_back(formatLine("mCenterFreq: %lld", asInt(centerFrequencyHz)));

    if (!d.takeSampleRate(sampleRate))
        return Recognition::Refused;
    const uint64_t perRate = d.header.f_len / static_cast<uint64_t>(d.sampleRate);
    if (d.bitsPerSample == 16)
        d.countSeconds(perRate / 4, 4);
    else if (d.bitsPerSample == 24)
        d.countSeconds(perRate / 6, 6);
    return Recognition::Accepted;
}

RecordingObject::Recognition RecordingObject::readRfspaceHeader(const OpenFile& file, Derived& d,
                                                                std::vector<std::string>& lines)
{
    const std::vector<uint8_t> b = file.head(*this, RecordingHeader::kSize);
    // Bytes 44 to 113 describe the receiver only when they are the "auxi" chunk;
    // in a plain WAVE file they are samples. Such a file is named as what it
    // is, not after the layout whose reader takes it.
    const bool hasReceiverInfo = idIs(&b[36], "auxi");
    const std::optional<KiwiName> kiwi = hasReceiverInfo ? std::nullopt : kiwiName(file.fileName);
    d.layout = hasReceiverInfo ? "SpectraVue" : kiwi ? "KiwiSDR WAV" : "WAV";
    lines.push_back(hasReceiverInfo ? "Read Spectravue file" : "Read " + d.layout + " file");
    d.header = RecordingHeader::fromBytes(b.data());
    auto timeOf = [](const RecordingHeader::SystemTime& t) {
        return UtcCalendar::toUnix(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    };
    // Samples read as receiver information would give a nonsense band, centre
    // and date; a plain file keeps the band of its sample rate instead.
    if (!hasReceiverInfo)
        d.header.clearReceiverInfo();
    if (!d.takeSampleRate(d.header.samples_per_sec))
        return Recognition::Refused;
    d.countSeconds(d.header.f_len / d.header.samples_per_sec / 4, 4);
    if (hasReceiverInfo) {
        d.start = timeOf(d.header.startTime);
        d.end = timeOf(d.header.stopTime);
    } else if (kiwi) {
        lines.push_back("KiwiSDR file: centre frequency and start time from its name");
        d.start = kiwi->start;
        d.header.CenterFreq = static_cast<uint32_t>(std::min(kiwi->frequency, double{UINT32_MAX}));
        d.endFollowsSeconds = true;
    } else if (const IqFileName named = IqFileName::parse(file.fileName); named.convention == "SDR++") {
        lines.push_back("SDR++ file: centre frequency and start time from its name");
        d.start = named.start.value_or(0);
        d.header.CenterFreq = static_cast<uint32_t>(std::clamp(named.centerFreq.value_or(0.0), 0.0, double{UINT32_MAX}));
        d.endFollowsSeconds = true;
    } else {
        lines.push_back("No receiver information: centre frequency and start time unknown");
        d.start = 0;
        d.startKnown = false;
        d.endFollowsSeconds = true;
    }
    d.bandwidth = hasReceiverInfo ? static_cast<double>(d.header.Bandwidth) : d.sampleRate;
    d.centerFreq = d.header.CenterFreq;
    d.bitsPerSample = 16;
    d.widthAssumed = true;
    return Recognition::Accepted;
}

int64_t RecordingObject::sampleCount() const
{
    return theHeader ? static_cast<int64_t>(dataBytes_ / sampleFormat_.bytesPerSample()) : 0;
}

int64_t RecordingObject::getData(ComplexSample* block, double atSecond, int64_t samples)
{
    if (!theHeader || samples <= 0)
        return 0;
    const double firstIndex = static_cast<double>(parameters_.mSampleRate) * atSecond;
    if (!(firstIndex >= 0.0) || firstIndex >= 0x1p62)
        return 0;
    const uint64_t index = static_cast<uint64_t>(firstIndex);
    const uint64_t stride = sampleFormat_.bytesPerSample();
    const uint64_t available = dataBytes_ / stride;
    if (index >= available)
        return 0;
    const int64_t wanted = static_cast<int64_t>(std::min<uint64_t>(static_cast<uint64_t>(samples), available - index));
    const int64_t perRead = static_cast<int64_t>(readBuffer_.size() / stride);

    // The samples' bytes run on through the data chunks; a sample may straddle two.
    uint64_t logical = index * stride;
    size_t span = static_cast<size_t>(
        std::upper_bound(dataSpans_.begin(), dataSpans_.end(), logical,
                         [](uint64_t at, const DataSpan& s) { return at < s.dataStart; }) -
        dataSpans_.begin() - 1);
    int64_t filled = 0;
    while (filled < wanted) {
        const int64_t count = std::min(perRead, wanted - filled);
        const size_t bytes = static_cast<size_t>(count) * stride;
        size_t got = 0;
        bool shortRead = false;
        while (got < bytes) {
            const uint64_t spanEnd = span + 1 < dataSpans_.size() ? dataSpans_[span + 1].dataStart : dataBytes_;
            if (logical >= spanEnd) {
                ++span;
                continue;
            }
            const size_t piece = static_cast<size_t>(std::min<uint64_t>(bytes - got, spanEnd - logical));
            const uint64_t position = dataSpans_[span].fileOffset + (logical - dataSpans_[span].dataStart);
            const size_t read = readAt(position, readBuffer_.data() + got, piece);
            got += read;
            logical += read;
            if (read < piece) {
                // The data was there when the file was opened.
                if (readError_.empty())
                    readError_ = "read error at byte " + std::to_string(position + read) +
                                 ": the file has become shorter than when it was opened";
                shortRead = true;
                break;
            }
        }
        const int64_t complete = static_cast<int64_t>(got / stride);
        sampleFormat_.convert(readBuffer_.data(), complete, block + filled);
        filled += complete;
        if (shortRead)
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

bool RecordingObject::openForeign(const std::string& path, OpenFile& file, Derived& d, std::vector<std::string>& lines)
{
    rawSettingsNeeded_ = false;
    std::string head;
    if (ForeignRecording::isSigmfMeta(file.fileName)) {
        if (file.size > SigmfMetadata::kMaxTextBytes) {
            lines.push_back("Unsupported recording: the SigMF metadata is larger than " +
                            std::to_string(SigmfMetadata::kMaxTextBytes >> 20) + " MiB");
            return false;
        }
        head.resize(static_cast<size_t>(file.size));
    } else {
        head.resize(static_cast<size_t>(std::min<uint64_t>(file.size, 64)));
    }
    head.resize(readAt(0, reinterpret_cast<uint8_t*>(head.data()), head.size()));
    if (!readError_.empty()) {
        lines.push_back("Can't read file: " + readError_);
        return false;
    }
    ForeignRecording foreign = ForeignRecording::recognise(path, file.fileName, head, file.size, rawSettings_);
    rawSettingsNeeded_ = foreign.needsRawSettings;
    if (foreign.refusal.empty() && foreign.dataPath != path) {
        // The samples are in a file of their own (SigMF).
        const int fd = ::open(foreign.dataPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            const size_t slash = foreign.dataPath.find_last_of('/');
            lines.push_back("Can't open file: " + foreign.dataPath.substr(slash + 1) + ": " +
                            whyNotOpened(foreign.dataPath, fd, info));
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        ::close(openedFile);
        openedFile = fd;
        file.size = static_cast<uint64_t>(info.st_size);
    }
    if (foreign.refusal.empty() && !d.takeSampleRate(foreign.sampleRate))
        foreign.refusal = d.refusal;
    if (!foreign.refusal.empty()) {
        lines.push_back("Unsupported recording: " + foreign.refusal);
        return false;
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
    return true;
}

RecordingObject::Recognition RecordingObject::readRf64Header(const OpenFile& file, const SampleChunks& chunks,
                                                             Derived& d, std::vector<std::string>& lines)
{
    if (!chunks.sizesIn64Bits) {
        d.refusal = "an RF64 file without its \"ds64\" chunk";
        return Recognition::Refused;
    }
    if (!chunks.formatFound) {
        d.refusal = "an RF64 file without a \"fmt \" chunk";
        return Recognition::Refused;
    }
    d.layout = "RF64";
    if (!d.takeSampleRate(chunks.declaredRate))
        return Recognition::Refused;
    d.bandwidth = d.sampleRate;
    d.bitsPerSample = chunks.declaredBits;
    d.endFollowsSeconds = true;
    d.header.channel = chunks.declaredChannels;
    d.header.samples_per_sec = chunks.declaredRate;
    d.header.bits_per_sample = chunks.declaredBits;
    const IqFileName named = IqFileName::parse(file.fileName);
    if (const std::optional<KiwiName> kiwi = kiwiName(file.fileName)) {
        d.centerFreq = kiwi->frequency;
        d.start = kiwi->start;
    } else if (named.convention == "SDR++") {
        d.centerFreq = named.centerFreq.value_or(0.0);
        d.start = named.start.value_or(0);
    } else {
        lines.push_back("No receiver information: centre frequency and start time unknown");
        d.startKnown = false;
    }
    d.header.CenterFreq = static_cast<uint32_t>(std::clamp(d.centerFreq, 0.0, double{UINT32_MAX}));
    d.header.Bandwidth = static_cast<uint32_t>(d.sampleRate);
    lines.insert(lines.begin(), "RF64 file");
    return Recognition::Accepted;
}
