#pragma once

#include <string>

// Exit status for bad input or a refused file.
inline constexpr int kCliUsageError = 2;

// Writes "korvel-cli: MESSAGE" to stderr and returns kCliUsageError.
int cliFail(const std::string& message);
