#pragma once

#include "LayoutParameters.h"
#include "LayoutSource.h"
#include "WaveChunks.h"

#include <string>
#include <vector>

// The parsers of the receiver programs' RIFF/WAVE layouts, one file each.
// Each looks at the file's header (and name) and, when the layout is its
// own, fills the parameters; information lines for the user are appended to
// `lines`.

Recognition tryToSdrRadioHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines);
// By the file's name.
Recognition tryToSdrSharpHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines);
Recognition tryToSdrSdrStudio1(const LayoutSource& file, LayoutParameters& d);
Recognition tryToSdrSdrStudio2(const LayoutSource& file, LayoutParameters& d);
Recognition tryToReadPerseusHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines);
// Takes every plain WAVE file the others reject ("WAV", or "KiwiSDR WAV" by its name).
Recognition readRfspaceHeader(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines);
// The six above, in that order.
Recognition recogniseWaveLayout(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines);

// RF64/BW64 WAVE files, whose sizes the "ds64" chunk holds.
Recognition readRf64Header(const LayoutSource& file, const WaveChunks& chunks, LayoutParameters& d,
                           std::vector<std::string>& lines);
