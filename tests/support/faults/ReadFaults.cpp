// Read faults on demand, for tests: pread() on the file whose path ends in
// $KORVEL_FAULT_FILE fails from byte $KORVEL_FAULT_AT on, with EIO, or, when
// $KORVEL_FAULT_KIND is "short", as if the file ended there. Linked into a
// test program it replaces the C library's pread for that program; built as a
// shared library it is loaded into a child with LD_PRELOAD. Without
// KORVEL_FAULT_FILE every read goes through untouched.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

using Pread = ssize_t (*)(int, void*, size_t, off_t);

Pread next(const char* name)
{
    return reinterpret_cast<Pread>(dlsym(RTLD_NEXT, name));
}

bool isTheFaultyFile(int fd)
{
    const char* wanted = std::getenv("KORVEL_FAULT_FILE");
    if (!wanted || !*wanted)
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    const size_t wantedLength = std::strlen(wanted);
    return static_cast<size_t>(length) >= wantedLength &&
           std::strcmp(target + length - static_cast<ssize_t>(wantedLength), wanted) == 0;
}

ssize_t faultyRead(Pread real, int fd, void* buffer, size_t count, off_t offset)
{
    if (isTheFaultyFile(fd)) {
        const char* at = std::getenv("KORVEL_FAULT_AT");
        const char* kind = std::getenv("KORVEL_FAULT_KIND");
        const off_t faultAt = at ? static_cast<off_t>(std::atoll(at)) : 0;
        if (offset >= faultAt) {
            if (kind && std::strcmp(kind, "short") == 0)
                return 0;
            errno = EIO;
            return -1;
        }
        if (offset + static_cast<off_t>(count) > faultAt)
            count = static_cast<size_t>(faultAt - offset);
    }
    return real(fd, buffer, count, offset);
}

} // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
    static const Pread real = next("pread");
    return faultyRead(real, fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset)
{
    static const Pread real = next("pread64");
    return faultyRead(real, fd, buffer, count, offset);
}
