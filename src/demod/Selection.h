#pragma once

#include <cstdint>

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
