#include "carrier/CarrierAnalysis.h"

#include "common/ByteFields.h"
#include "common/TemporaryFile.h"
#include "common/UserFileText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

static_assert(std::numeric_limits<float>::is_iec559);

// The highest channel frequency a file may name (kHz) and the widest half span
// (Hz): far beyond any real analysis, low enough that no arithmetic overflows.
constexpr double kMaxChannelKHz = 1.0e7;
constexpr int32_t kMaxHalfSpan = 1000000;

void putFloat(uint8_t* p, float value) { ByteFields::putU32(p, std::bit_cast<uint32_t>(value)); }
float getFloat(const uint8_t* p) { return std::bit_cast<float>(ByteFields::u32(p)); }

bool readFully(int fd, uint8_t* into, size_t bytes)
{
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::read(fd, into + got, bytes - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

struct FileCloser {
    int fd;
    ~FileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

CarrierAnalysis::CarrierAnalysis(std::vector<int> channelsKHz, double halfSpan, int32_t startingTime, int rowCapacity)
    : carrierFreqs_(std::move(channelsKHz))
    , halfSpan_(halfSpan)
    , startingTime_(startingTime)
    , rowCapacity_(std::clamp(rowCapacity, 0, kMaxRows))
    , levelData_(static_cast<size_t>(rowCapacity_) * carrierFreqs_.size() * kLevels)
{
}

float* CarrierAnalysis::appendRow()
{
    if (rows_ >= rowCapacity_)
        return nullptr;
    float* row = levelData_.data() + static_cast<size_t>(rows_) * carrierFreqs_.size() * kLevels;
    ++rows_;
    return row;
}

bool CarrierAnalysis::writeFile(const std::string& path, std::string& error) const
{
    std::array<uint8_t, kHeaderBytes> header{};
    ByteFields::putU32(header.data(), kLevels);
    ByteFields::putU32(header.data() + 4, static_cast<uint32_t>(rows_));
    ByteFields::putU32(header.data() + 8, static_cast<uint32_t>(static_cast<int32_t>(halfSpan_)));
    ByteFields::putU32(header.data() + 12, static_cast<uint32_t>(carrierFreqs_.size()));
    ByteFields::putU32(header.data() + 16, static_cast<uint32_t>(startingTime_));
    for (size_t k = 0; k < carrierFreqs_.size() && k < static_cast<size_t>(kMaxChannels); ++k)
        putFloat(header.data() + 20 + 4 * k, static_cast<float>(carrierFreqs_[k]));

    TemporaryFile file;
    if (!file.open(path, error))
        return false;
    file.write(header.data(), header.size());
    // The levels go out in pieces, converted to little-endian on the way.
    std::vector<uint8_t> piece(kBytesPerChannelRow);
    const size_t channelRows = static_cast<size_t>(rows_) * carrierFreqs_.size();
    for (size_t c = 0; c < channelRows; ++c) {
        const float* levels = levelData_.data() + c * kLevels;
        for (int x = 0; x < kLevels; ++x)
            putFloat(piece.data() + 4 * x, levels[x]);
        if (!file.write(piece.data(), piece.size()))
            break;
    }
    if (const int failure = file.commit()) {
        error = path + ": cannot write the analysis file: " + std::strerror(failure);
        return false;
    }
    return true;
}

std::optional<CarrierAnalysis> CarrierAnalysis::loadFile(const std::string& path, std::string& error)
{
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    FileCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        info.st_mode = 0;
    if (const std::string why = UserFileText::notRegular(fd, info); !why.empty()) {
        error = path + ": " + why;
        return std::nullopt;
    }
    const auto refuse = [&](const std::string& why) {
        error = path + ": not a carrier analysis file (" + why + ")";
        return std::nullopt;
    };
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    std::array<uint8_t, kHeaderBytes> header{};
    if (size < kHeaderBytes)
        return refuse("shorter than its " + std::to_string(kHeaderBytes) + "-byte header");
    if (!readFully(fd, header.data(), header.size()))
        return refuse("its header cannot be read");

    const int32_t levels = ByteFields::i32(header.data());
    const int32_t rows = ByteFields::i32(header.data() + 4);
    const int32_t halfSpan = ByteFields::i32(header.data() + 8);
    const int32_t channels = ByteFields::i32(header.data() + 12);
    const int32_t startingTime = ByteFields::i32(header.data() + 16);
    if (levels != kLevels)
        return refuse(std::to_string(levels) + " levels per row instead of " + std::to_string(kLevels));
    if (rows < 0 || rows > kMaxRows)
        return refuse(std::to_string(rows) + " rows, at most " + std::to_string(kMaxRows) + " are possible");
    if (channels < 1 || channels > kMaxChannels)
        return refuse(std::to_string(channels) + " channels, 1 to " + std::to_string(kMaxChannels) + " are possible");
    if (halfSpan < 1 || halfSpan > kMaxHalfSpan)
        return refuse("a half span of " + std::to_string(halfSpan) + " Hz");
    const uint64_t expected = fileSize(static_cast<uint64_t>(rows), static_cast<uint64_t>(channels));
    if (size != expected)
        return refuse(std::to_string(size) + " bytes where its header needs " + std::to_string(expected));

    std::vector<int> carrierFreqs(static_cast<size_t>(channels));
    for (int32_t k = 0; k < channels; ++k) {
        const float kHz = getFloat(header.data() + 20 + 4 * k);
        if (!(kHz >= 1.0f && kHz <= kMaxChannelKHz))
            return refuse("channel " + std::to_string(k) + " has no frequency");
        carrierFreqs[static_cast<size_t>(k)] = static_cast<int>(kHz);
    }

    CarrierAnalysis analysis(std::move(carrierFreqs), halfSpan, startingTime, rows);
    std::vector<uint8_t> piece(kBytesPerChannelRow);
    for (int32_t r = 0; r < rows; ++r) {
        float* row = analysis.appendRow();
        for (int32_t k = 0; k < channels; ++k) {
            if (!readFully(fd, piece.data(), piece.size())) {
                error = path + ": read error in row " + std::to_string(r);
                return std::nullopt;
            }
            float* levelsOut = row + static_cast<size_t>(k) * kLevels;
            for (int x = 0; x < kLevels; ++x)
                levelsOut[x] = getFloat(piece.data() + 4 * x);
        }
    }
    return analysis;
}
