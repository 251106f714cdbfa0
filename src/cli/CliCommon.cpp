#include "cli/CliCommon.h"

#include "recording/IqFileName.h"
#include "recording/RecordingObject.h"

#include <charconv>
#include <cstdio>
#include <cstring>

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

// Length of the valid UTF-8 sequence at the start of `s`, 0 if there is none.
size_t utf8SequenceLength(std::string_view s)
{
    const auto byte = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    size_t length;
    uint32_t code;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (overlong || surrogate || code > 0x10FFFF) ? 0 : length;
}

} // namespace

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c >= 0x80) {
            const size_t length = utf8SequenceLength(text.substr(i));
            if (length > 0) {
                out.append(text.substr(i, length));
                i += length;
                continue;
            }
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

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


int forEachFile(const std::vector<std::string>& files, bool json,
                const std::function<std::string(const std::string& file)>& run)
{
    size_t failed = 0;
    for (const std::string& file : files) {
        const std::string error = run(file);
        if (error.empty())
            continue;
        ++failed;
        cliFail(error);
        if (json) {
            const std::string line = "{\"file\": " + jsonString(file) + ", \"error\": " + jsonString(error) + "}\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        }
    }
    return failed == 0 ? 0 : failed == files.size() ? kCliUsageError : kCliSomeFailed;
}

std::string outputInFolder(const std::string& folder, const std::string& file, const std::string& suffix)
{
    std::string name = file.substr(file.find_last_of('/') + 1);
    for (const char* extension : {".sigmf-meta", ".sigmf-data"}) {
        if (name.size() > std::strlen(extension) && name.compare(name.size() - std::strlen(extension), std::string::npos, extension) == 0)
            name.resize(name.size() - std::strlen(extension));
    }
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    return (folder.empty() || folder.back() == '/' ? folder : folder + "/") + name + suffix;
}

std::string claimOutput(std::map<std::string, std::string>& claimed, const std::string& output, const std::string& file)
{
    const auto [it, fresh] = claimed.emplace(output, file);
    if (fresh)
        return {};
    return file + ": left out, its output " + output + " is that of " + it->second +
           ", written earlier in this run; give it a run of its own";
}

std::string outputIsInput(const RecordingObject& recording, const std::string& output)
{
    if (!recording.readsFile(output))
        return {};
    return recording.path() + ": the output " + output + " is a file of this recording; nothing was written";
}

std::string jsonNumber(double value)
{
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}
