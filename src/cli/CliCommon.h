#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

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
