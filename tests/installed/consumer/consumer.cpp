#include "carrier/MwChannelGrid.h"
#include "common/Error.h"

#include <cerrno>
#include <cstdio>

int main()
{
    const Error error = Error::fromErrno(ENOENT, "consumer");
    std::printf("%zu channels; %s\n", MwChannelGrid::setMwChannels().size(), error.message().c_str());
    return error.kind() == ErrorKind::NotFound ? 0 : 1;
}
