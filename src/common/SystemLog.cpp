#include "common/SystemLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool VerboseFromEnvironment()
{
    const char* value = std::getenv("KORVEL_VERBOSE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

std::atomic<bool> logEnabled{VerboseFromEnvironment()};

} // namespace

void SetSystemLogEnabled(bool enabled) { logEnabled = enabled; }

bool SystemLogEnabled() { return logEnabled; }

void SystemLog(const char* format, ...)
{
    if (!logEnabled)
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", line);
}
