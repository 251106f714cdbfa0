#pragma once

#include <cstdint>
#include <string>

struct stat;

// Reads a small text file the user names (a station list, an almanac) whole.
// Only a regular file is read: a pipe, a device or a folder is refused before
// a byte is read, so a FIFO cannot hold the caller and /dev/zero cannot fill
// its memory; a file larger than `maxBytes` (also one growing past it while
// being read) is refused.
class UserFileText {
public:
    // False with `error` ("it is a pipe (FIFO), not a file", "larger than
    // 16 MiB", the system's reason) when the file is not read.
    static bool read(const std::string& path, uint64_t maxBytes, std::string& text, std::string& error);

    // Why a file opened as `fd` (or not opened: fd < 0, errno set) with the
    // status `info` is no regular file, as "it is a folder"; "" when it is one.
    static std::string notRegular(int fd, const struct stat& info);
};
