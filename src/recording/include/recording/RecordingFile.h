#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct stat;

// The open file a recording reads its header and samples from, by position.
// Reads from several threads at once are safe (pread); the first failure is
// kept as the file's read error until the file is replaced or closed.
class RecordingFile {
public:
    RecordingFile() = default;
    ~RecordingFile() { close(); }
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // Takes over the open descriptor `fd`, closing the one held before.
    void adopt(int fd);
    void close();
    int descriptor() const { return fd_; }

    // Reads up to `bytes` bytes at `position`; returns how many were read,
    // fewer at the end of the file or after an error.
    size_t readAt(uint64_t position, uint8_t* into, size_t bytes) const;
    // "read error at byte N: <reason>" of the first failed read; empty while all succeeded.
    const std::string& readError() const { return readError_; }
    // Records a failure found by a caller (a file that became shorter) unless one is already kept.
    void noteReadError(const std::string& error) const;
    void clearReadError() { readError_.clear(); }

    // Why an open of `path` (fd, and info when fd is open) gives no regular file.
    static std::string whyNotOpened(const std::string& path, int fd, const struct stat& info);

private:
    int fd_ = -1;
    mutable std::string readError_;
};
