#include "cli/InfoCommand.h"

#include "cli/CliCommon.h"
#include "common/Settings.h"
#include "common/SettingsFile.h"
#include "recording/RecordingObject.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::string recordingsFolder()
{
    // An unreadable settings file counts as none, as it does in the app.
    const Result<SettingsFile> settings = SettingsFile::load(SettingsFile::userPath());
    const std::string folder = settings ? settings->text(std::string(Settings::kRecordingsFolder)).value_or("") : "";
    return folder.empty() ? RecordingObject::defaultRecordingFolder() : folder;
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

// One line: a file's object among others of an archive run.
void printJson(const std::string& file, const RecordingObject& r, const std::vector<std::string>& lines)
{
    const bool known = r.startTimeKnown();
    std::string out = "{\"file\": " + jsonString(file);
    out += ", \"layout\": " + jsonString(r.layoutName());
    out += ", \"sample_rate\": " + std::to_string(r.parameters().mSampleRate);
    out += ", \"bandwidth\": " + number(r.parameters().mBandwidth);
    out += ", \"center_freq\": " + number(r.parameters().mCenterFreq);
    out += ", \"bits_per_sample\": " + std::to_string(r.parameters().mBitsPerSample);
    out += ", \"seconds\": " + std::to_string(r.parameters().mNumSeconds);
    out += ", \"start_unix\": " + (known ? std::to_string(r.parameters().mStartTimestamp) : "null");
    out += ", \"start_utc\": " + (known ? jsonString(r.TimestampFromOffset(0)) : "null");
    out += ", \"info_lines\": [";
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? ", " : "") + jsonString(lines[i]);
    out += "], \"data_offset\": " + std::to_string(r.dataOffset());
    out += ", \"truncated\": " + std::string(r.missingBytes() > 0 ? "true" : "false");
    out += ", \"missing_bytes\": " + std::to_string(r.missingBytes()) + "}\n";
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
    if (r.missingBytes() > 0)
        out += "truncated:       " + std::to_string(r.missingBytes()) + " bytes missing\n";
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

std::string openRecordingArgument(RecordingObject& recording, const std::string& file, const RawIqSettings& raw,
                                  std::vector<std::string>& lines)
{
    recording.setRawIqSettings(raw);
    recording.setRecordingFile(resolveRecordingArgument(file), lines);
    if (recording.isValidRecordingFile())
        return {};
    std::string why = recording.path() + ": " + (lines.empty() ? std::string("not a recording") : lines.back());
    if (recording.needsRawIqSettings())
        why += " (with --rate S/s --format F [--center HZ])";
    return why;
}

int runInfoCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return cliFail("info: unknown option \"" + arg + "\" (usage: korvel-cli info FILE... [--json])");
        else
            files.push_back(arg);
    }
    if (files.empty())
        return cliFail("info needs a FILE (usage: korvel-cli info FILE... [--json])");

    return forEachFile(files, json, [&](const std::string& file) {
        RecordingObject recording;
        std::vector<std::string> lines;
        if (std::string problem = openRecordingArgument(recording, file, raw, lines); !problem.empty())
            return problem;
        if (json)
            printJson(file, recording, lines);
        else
            printReadable(recording, lines);
        std::fflush(stdout);
        return std::string();
    });
}
