#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

// korvel-cli demod FILE --mode MODE --start S --end E --lo KHZ --hi KHZ [--pbt KHZ]
//                 (-o OUT.wav | --timestamped DIR)
int runDemodCommand(const std::vector<std::string>& args, const RawIqSettings& raw);
