#pragma once

#include "recording/SelectionRules.h"

#include <cstdint>
#include <optional>
#include <string>

// The selection on the waterfall: a time range and a frequency range of the
// recording, with the pass-band shift to listen with. The one value the
// waterfall's drag, the selection fields and a set-up (DemodSetup) share.
struct Selection {
    int32_t startSecond = 0; // whole seconds from the start of the recording
    int32_t endSecond = 0;   // whole seconds
    double lowKHz = 0.0;
    double highKHz = 0.0;
    double pbtKHz = 0.0; // pass-band shift
};

// The texts of the selection fields as the user typed them (or as a drag or a
// right click filled them).
struct SelectionFields {
    std::string startTime; // whole seconds from the start of the recording
    std::string endTime;   // whole seconds
    std::string lowFreq;   // kHz
    std::string highFreq;  // kHz
    std::string pbt;       // pass-band shift, kHz; empty means 0
};

// A number as the selection fields hold it: C notation with optional blanks
// around it and an optional '+'; nullopt for anything else, infinities and NaN
// included.
std::optional<double> parseSelectionNumber(const std::string& text);

// The selection the fields show, placed when one of them is edited: times
// truncated to whole seconds, edges as typed (neither ordered nor clamped: a
// set-up does that). nullopt when one of the four is not a number. The shift
// is 0 when its field is empty, and `current`'s when it is not a number.
std::optional<Selection> selectionFromFields(const SelectionFields& fields, const Selection& current);

// `selection` with the one field a right click sets (RightClickFieldChange).
Selection withFieldChange(Selection selection, const SelectionFieldChange& change);
