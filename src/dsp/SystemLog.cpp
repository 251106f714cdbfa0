#include "dsp/SystemLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<bool> logEnabled{std::getenv("KORVEL_QUIET") == nullptr};
}

void SetSystemLogEnabled(bool enabled) { logEnabled = enabled; }

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
