#include "cli/CliCommon.h"

#include <cstdio>

int cliFail(const std::string& message)
{
    std::fprintf(stderr, "korvel-cli: %s\n", message.c_str());
    return kCliUsageError;
}
