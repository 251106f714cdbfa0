#include "common/UserFileText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string UserFileText::notRegular(int fd, const struct stat& info)
{
    if (fd < 0)
        return std::strerror(errno);
    if (S_ISREG(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return "it is a folder";
    if (S_ISFIFO(info.st_mode))
        return "it is a pipe (FIFO), not a file";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return "it is a device, not a file";
    if (S_ISSOCK(info.st_mode))
        return "it is a socket, not a file";
    return "it is not a regular file";
}

bool UserFileText::read(const std::string& path, uint64_t maxBytes, std::string& text, std::string& error)
{
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) != 0)
        info.st_mode = 0;
    if (std::string why = notRegular(fd, info); !why.empty()) {
        error = std::move(why);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const auto tooLarge = [&] {
        error = "larger than " + (maxBytes >= (1u << 20) ? std::to_string(maxBytes >> 20) + " MiB"
                                                          : std::to_string(maxBytes) + " bytes");
        ::close(fd);
        return false;
    };
    // Reading stops one byte past the cap.
    if (static_cast<uint64_t>(info.st_size) > maxBytes)
        return tooLarge();
    text.assign(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    for (;;) {
        if (done == text.size()) {
            // The file may have grown since fstat; read on up to the cap.
            if (text.size() > maxBytes)
                return tooLarge();
            text.resize(std::min<uint64_t>(maxBytes + 1, text.size() + 65536));
        }
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    if (done > maxBytes)
        return tooLarge();
    ::close(fd);
    text.resize(done);
    return true;
}
