#include "cli/CliCommon.h"

#include <cstdio>

namespace {

// Control characters (a newline in a file name) are written as escapes, so
// that a message stays one line.
std::string oneLine(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            shown += "\\n";
        else if (c == '\t')
            shown += "\\t";
        else if (c == '\r')
            shown += "\\r";
        else if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace

int cliFail(const std::string& message)
{
    std::fprintf(stderr, "korvel-cli: %s\n", oneLine(message).c_str());
    return kCliUsageError;
}
