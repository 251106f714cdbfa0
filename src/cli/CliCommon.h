#pragma once

#include "recording/RawIqSettings.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class RecordingObject;

// Exit status for bad input or a refused file.
inline constexpr int kCliUsageError = 2;

// Writes "korvel-cli: MESSAGE" to stderr and returns kCliUsageError.
int cliFail(const std::string& message);

// The options that describe a raw I/Q file whose name does not, for every
// command that opens a recording.
inline constexpr const char* kRawIqOptionsUsage = "[--rate S/s --format F [--center HZ]]";

// Takes --rate, --center and --format with their values out of `args` into
// `settings` (values such as 2048000, 2.048M, 433.92M). Empty, or what is
// wrong with one of them.
std::string takeRawIqOptions(std::vector<std::string>& args, RawIqSettings& settings);

// Exit status when some of several files failed and the others succeeded.
inline constexpr int kCliSomeFailed = 3;

// Runs `run` on each file in turn; `run` returns an empty string, or why that
// file failed, which goes to stderr as a "korvel-cli: ..." line and, with
// `json`, to stdout as {"file": ..., "error": ...}; the next file still runs.
// The exit status: 0 when every file succeeded, kCliUsageError when none
// did, kCliSomeFailed when some did.
int forEachFile(const std::vector<std::string>& files, bool json,
                const std::function<std::string(const std::string& file)>& run);

// A JSON string; bytes that are not UTF-8 are written as the Latin-1
// character of the same value.
std::string jsonString(std::string_view text);

// A JSON number: whole values without a fraction, others as exactly as a
// double holds them (a sample rate of 6000.5 S/s stays 6000.5).
std::string jsonNumber(double value);

// Where the output for `file` goes when a command writes one per file: the
// file's name without its folder and extension, `suffix` appended, in `folder`.
std::string outputInFolder(const std::string& folder, const std::string& file, const std::string& suffix);

// For the commands that write a file per recording: two recordings of one
// name (from two folders, or NAME.wav beside NAME.au) would otherwise write
// the same output, the second overwriting the first. Empty, claiming `output`
// for `file`, when no earlier file of the run claimed it; else why `file` is
// left out. `claimed` maps outputs to the files that claimed them.
std::string claimOutput(std::map<std::string, std::string>& claimed, const std::string& output, const std::string& file);

// Empty, or why `output` is refused: writing it would replace a file that
// `recording` reads (compared as files, so another name or a link to the
// recording is found too).
std::string outputIsInput(const RecordingObject& recording, const std::string& output);
