#include "recording/RecordingFile.h"

#include "common/UserFileText.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

void RecordingFile::adopt(int fd)
{
    close();
    fd_ = fd;
}

void RecordingFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void RecordingFile::noteReadError(const std::string& error) const
{
    if (readError_.empty())
        readError_ = error;
}

std::string RecordingFile::whyNotOpened(const std::string& path, int fd, const struct stat& info)
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

size_t RecordingFile::readAt(uint64_t position, uint8_t* into, size_t bytes) const
{
    size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::pread(fd_, into + done, bytes - done,
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
