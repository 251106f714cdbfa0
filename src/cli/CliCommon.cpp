#include "cli/CliCommon.h"

#include "recording/IqFileName.h"
#include "recording/RecordingObject.h"

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

std::string takeRawIqOptions(std::vector<std::string>& args, RawIqSettings& settings)
{
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--rate" && arg != "--center" && arg != "--format") {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size())
            return arg + " needs a value";
        const std::string& value = args[++i];
        if (arg == "--format") {
            settings.format = IqFileName::formatNamed(value);
            if (!settings.format)
                return "--format " + value + ": not a sample format (" + IqFileName::formatNames() + ")";
            continue;
        }
        const std::optional<double> number = IqFileName::valueWithUnit(value);
        if (arg == "--rate") {
            if (!number || *number < 1 || *number > static_cast<double>(RecordingObject::kMaxSampleRate))
                return "--rate " + value + ": not a sample rate (1 to 250M samples per second)";
            settings.sampleRate = static_cast<int64_t>(*number);
        } else {
            if (!number)
                return "--center " + value + ": not a frequency (Hz, or with k, M or G)";
            settings.centerFreq = *number;
        }
    }
    args = std::move(rest);
    return {};
}
