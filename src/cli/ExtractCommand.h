#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

// `korvel-cli extract FILE --start S --end E --lo KHZ --hi KHZ -o OUT [--as sigmf|cf32|ci16]`:
// the selection's I/Q, tuned to its middle and at the pipeline rate, as a
// SigMF pair (OUT.sigmf-data and OUT.sigmf-meta) or raw cf32 or ci16 pairs.
// Prints the files written. Returns the exit status: 0, or 2 after a
// "korvel-cli: ..." line on stderr.
int runExtractCommand(const std::vector<std::string>& args, const RawIqSettings& raw);
