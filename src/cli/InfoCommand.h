#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

// `korvel-cli info FILE [--json]`: prints a recording's layout, parameters,
// start time and information lines, as readable lines or as one JSON object.
// `args` are the words after "info". Returns the exit status: 0, or 2 after a
// "korvel-cli: ..." line on stderr when the file cannot be opened or is refused.
int runInfoCommand(const std::vector<std::string>& args, const RawIqSettings& raw);

// Where a FILE argument points: a name with a '/' is a path; a plain name is
// looked up in the recordings folder (the app's preference, else
// $HOME/sdr_recordings), then in the current directory. Returns a full path.
std::string resolveRecordingArgument(const std::string& file);
