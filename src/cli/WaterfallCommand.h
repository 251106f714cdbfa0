#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

// `korvel-cli waterfall FILE -o OUT.png [--fft-size N] [--min-db D] [--max-db D] [--auto-levels] [--peak-hold] [--grey]`:
// the main window's whole-recording waterfall as a PNG, 1024 pixels wide and
// one row per second. `args` are the words after "waterfall". Returns the exit
// status: 0, or 2 after a "korvel-cli: ..." line on stderr.
int runWaterfallCommand(const std::vector<std::string>& args, const RawIqSettings& raw);
