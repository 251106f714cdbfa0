#include "common/TemporaryFile.h"

#include "common/GccRestrictWarning.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The names a signal handler removes. A handler may only make
// async-signal-safe calls, so the names are kept as plain C strings in fixed
// slots.
std::array<std::atomic<char*>, 32> liveFiles{};

char* registerLive(const std::string& path)
{
    char* name = strdup(path.c_str());
    if (!name)
        return nullptr;
    for (auto& slot : liveFiles) {
        char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, name))
            return name;
    }
    // More files than slots: still removed by the destructor, not on a signal.
    std::free(name);
    return nullptr;
}

void unregisterLive(char* name)
{
    if (!name)
        return;
    for (auto& slot : liveFiles) {
        char* expected = name;
        if (slot.compare_exchange_strong(expected, nullptr))
            break;
    }
    std::free(name);
}

extern "C" void removeLiveFilesAndExit(int signal)
{
    for (auto& slot : liveFiles)
        if (char* name = slot.load())
            ::unlink(name);
    ::_exit(128 + signal);
}

// The signals whose handler removes the live files.
sigset_t removalSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

mode_t processUmask()
{
    // Reading the mask means setting it; do that once only.
    static const mode_t mask = [] {
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return mask;
}

} // namespace

bool TemporaryFile::open(const std::string& target, std::string& error)
{
    const std::filesystem::path targetPath(target);
    std::filesystem::path folder = targetPath.parent_path();
    if (folder.empty())
        folder = ".";
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
    std::string pattern = (folder / ("." + targetPath.filename().string() + ".XXXXXX")).string();
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
    // A signal between creating the file and registering its name would
    // leave the file behind; hold the signals until the name is registered.
    const sigset_t held = removalSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &held, &previous);
    const int fd = mkstemp(pattern.data());
    if (fd >= 0)
        registered_ = registerLive(pattern);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        error = "cannot create a file in \"" + folder.string() + "\": " + std::strerror(errno);
        return false;
    }
    target_ = target;
    path_ = pattern;
    fchmod(fd, 0666 & ~processUmask());
    file_ = fdopen(fd, "wb");
    if (!file_) {
        error = "cannot write \"" + path_ + "\": " + std::strerror(errno);
        ::close(fd);
        forget();
        return false;
    }
    return true;
}

bool TemporaryFile::write(const void* data, size_t bytes)
{
    if (error_ == 0 && std::fwrite(data, 1, bytes, file_) != bytes)
        error_ = errno != 0 ? errno : EIO;
    return error_ == 0;
}

bool TemporaryFile::rewriteStart(const void* data, size_t bytes)
{
    if (error_ == 0 && std::fseek(file_, 0, SEEK_SET) != 0)
        error_ = errno;
    return write(data, bytes);
}

void TemporaryFile::fail(int error)
{
    if (error_ == 0)
        error_ = error != 0 ? error : EIO;
}

int TemporaryFile::finish()
{
    int error = error_;
    if (error == 0 && (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0))
        error = errno;
    if (std::fclose(file_) != 0 && error == 0)
        error = errno;
    file_ = nullptr;
    return error;
}

int TemporaryFile::place(int error)
{
    if (error == 0 && std::rename(path_.c_str(), target_.c_str()) != 0)
        error = errno;
    if (error == 0) {
        path_.clear();
        unregisterLive(registered_);
        registered_ = nullptr;
    } else {
        forget();
    }
    return error;
}

int TemporaryFile::commit()
{
    return place(finish());
}

int TemporaryFile::commitPair(TemporaryFile& first, TemporaryFile& second)
{
    const int firstError = first.finish(), secondError = second.finish();
    if (firstError != 0 || secondError != 0) {
        first.forget();
        second.forget();
        return firstError != 0 ? firstError : secondError;
    }
    // Another process committing a pair to this folder waits here, so pairs
    // are put in place one after the other, never interleaved. Where the
    // folder cannot be locked (some network file systems) the pair still goes
    // in place, unguarded against such a run.
    std::filesystem::path folder = std::filesystem::path(first.target_).parent_path();
    const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        while (::flock(folderFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    // A signal between the two renames would leave a mixed pair; it is held
    // until both are done (or the second has failed and is cleaned up).
    const sigset_t held = removalSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &held, &previous);
    int error = first.place(0);
    if (error == 0)
        error = second.place(0);
    else
        second.forget();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (folderFd >= 0)
        ::close(folderFd); // releases the lock
    return error;
}

void TemporaryFile::forget()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
    unregisterLive(registered_);
    registered_ = nullptr;
}

TemporaryFile::~TemporaryFile()
{
    if (file_)
        std::fclose(file_);
    forget();
}

void removeTemporaryFilesOnSignals()
{
    struct sigaction action {};
    action.sa_handler = removeLiveFilesAndExit;
    action.sa_mask = removalSignals();
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}
