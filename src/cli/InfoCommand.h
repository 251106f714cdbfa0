#pragma once

#include "recording/RawIqSettings.h"

#include <string>
#include <vector>

class RecordingObject;

// `korvel-cli info FILE [--json]`: prints a recording's layout, parameters,
// start time and information lines, as readable lines or as one JSON object.
// `args` are the words after "info". Returns the exit status: 0, or 2 after a
// "korvel-cli: ..." line on stderr when the file cannot be opened or is refused.
int runInfoCommand(const std::vector<std::string>& args, const RawIqSettings& raw);

// Where a FILE argument points: a name with a '/' is a path; a plain name is
// looked up in the recordings folder (the app's preference, else
// $HOME/sdr_recordings), then in the current directory. Returns a full path.
std::string resolveRecordingArgument(const std::string& file);

// Opens FILE (as resolveRecordingArgument finds it) in `recording`, taking
// `raw` for a raw file whose name does not describe it; the information lines
// go to `lines`. Empty, or "PATH: why" when it is no recording.
std::string openRecordingArgument(RecordingObject& recording, const std::string& file, const RawIqSettings& raw,
                                  std::vector<std::string>& lines);
