#include "common/Error.h"

#include <cerrno>
#include <cstring>

Error Error::fromErrno(int error, const std::string& context)
{
    const ErrorKind kind = error == ENOENT ? ErrorKind::NotFound
                         : error == ENOMEM ? ErrorKind::OutOfMemory
                                           : ErrorKind::Io;
    return Error(kind, context + ": " + std::strerror(error));
}
