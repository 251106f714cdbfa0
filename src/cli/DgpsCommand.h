#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

// `korvel-cli dgps`: scans a recording for DGPS beacon first words and prints
// the stations heard (the station table's copy text, or JSON); imports the
// IALA DGNSS almanac as the user's station list; or decodes live I/Q from UDP.
// `args` are the words after "dgps". Returns the exit status: 0, or 2 after a
// "korvel-cli: ..." line on stderr.
int runDgpsCommand(const std::vector<std::string>& args, const RawIqSettings& raw);
