#include "cli/InfoCommand.h"

#include "cli/CliCommon.h"
#include "recording/RecordingObject.h"

#include <QSettings>
#include <QString>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::string recordingsFolder()
{
    const QSettings settings(QStringLiteral("Korvel"), QStringLiteral("Korvel"));
    const std::string folder = settings.value(QStringLiteral("PREF_REC_FOLDER")).toString().toStdString();
    return folder.empty() ? RecordingObject::defaultRecordingFolder() : folder;
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

// A JSON string. Bytes that are not valid UTF-8 (header text can hold any
// byte) are written as the Latin-1 character of the same value.
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

// Shortest decimal form that reads back as the same double, never in the
// locale's notation ("7100000", "0.5").
std::string number(double value)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

// Control characters from a header never reach the terminal.
std::string printable(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return out;
}

void printJson(const RecordingObject& r, const std::vector<std::string>& lines)
{
    std::string out = "{\n";
    out += "  \"layout\": " + jsonString(r.layoutName()) + ",\n";
    out += "  \"sample_rate\": " + std::to_string(r.parameters().mSampleRate) + ",\n";
    out += "  \"bandwidth\": " + number(r.parameters().mBandwidth) + ",\n";
    out += "  \"center_freq\": " + number(r.parameters().mCenterFreq) + ",\n";
    out += "  \"bits_per_sample\": " + std::to_string(r.parameters().mBitsPerSample) + ",\n";
    out += "  \"seconds\": " + std::to_string(r.parameters().mNumSeconds) + ",\n";
    const bool known = r.startTimeKnown();
    out += "  \"start_unix\": " + (known ? std::to_string(r.parameters().mStartTimestamp) : "null") + ",\n";
    out += "  \"start_utc\": " + (known ? jsonString(r.TimestampFromOffset(0)) : "null") + ",\n";
    out += "  \"info_lines\": [";
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? ",\n    " : "\n    ") + jsonString(lines[i]);
    out += lines.empty() ? "],\n" : "\n  ],\n";
    out += "  \"data_offset\": " + std::to_string(r.dataOffset()) + "\n}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printReadable(const RecordingObject& r, const std::vector<std::string>& lines)
{
    std::string out;
    out += "file:            " + printable(r.path()) + "\n";
    out += "layout:          " + r.layoutName() + "\n";
    out += "sample rate:     " + std::to_string(r.parameters().mSampleRate) + " Hz\n";
    out += "bandwidth:       " + number(r.parameters().mBandwidth) + " Hz\n";
    out += "centre freq:     " + number(r.parameters().mCenterFreq) + " Hz\n";
    out += "bits per sample: " + std::to_string(r.parameters().mBitsPerSample) + "\n";
    out += "seconds:         " + std::to_string(r.parameters().mNumSeconds) + "\n";
    if (r.startTimeKnown())
        out += "start:           " + r.TimestampFromOffset(0) + " UTC (" + std::to_string(r.parameters().mStartTimestamp) + ")\n";
    else
        out += "start:           unknown\n";
    out += "data offset:     " + std::to_string(r.dataOffset()) + "\n";
    out += "information:\n";
    for (const std::string& line : lines)
        out += "  " + printable(line) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

} // namespace

std::string resolveRecordingArgument(const std::string& file)
{
    std::error_code ignored;
    if (file.find('/') != std::string::npos)
        return fs::absolute(file, ignored).string();
    const fs::path inFolder = fs::path(recordingsFolder()) / file;
    if (!fs::exists(inFolder, ignored) && fs::exists(file, ignored))
        return fs::absolute(file, ignored).string();
    return inFolder.string();
}

int runInfoCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return cliFail("info: unknown option \"" + arg + "\" (usage: korvel-cli info FILE [--json])");
        else
            files.push_back(arg);
    }
    if (files.size() != 1)
        return cliFail("info needs exactly one FILE (usage: korvel-cli info FILE [--json])");

    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRawIqSettings(raw);
    recording.setRecordingFile(resolveRecordingArgument(files[0]), lines);
    if (!recording.isValidRecordingFile())
        return cliFail(recording.path() + ": " + (lines.empty() ? std::string("not a recording") : lines.back()));
    if (json)
        printJson(recording, lines);
    else
        printReadable(recording, lines);
    return 0;
}
