#pragma once

#include "LayoutParameters.h"
#include "LayoutSource.h"
#include "common/Result.h"
#include "recording/RawIqSettings.h"
#include "recording/RecordingFile.h"

#include <string>
#include <vector>

// Opens a recording that is not a RIFF/WAVE file (SigMF, Sun .au, raw I/Q
// by its name or `settings`) from `opened`, named `path`: fills `d` with its
// parameters and where its samples are. For SigMF, `opened` is replaced by
// the samples' file and `file.size` becomes that file's size. Information
// lines are appended to `lines`; the error says why the file cannot be read
// or is refused. `needsRawSettings` tells whether a rate and format from the
// user would have it read.
Status openForeignRecording(const std::string& path, RecordingFile& opened, LayoutSource& file,
                          const RawIqSettings& settings, bool& needsRawSettings, LayoutParameters& d,
                          std::vector<std::string>& lines);
