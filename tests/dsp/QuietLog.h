#pragma once

#include "dsp/SystemLog.h"

// Silences the diagnostic log while a fixture lives (engines log a line whenever they
// build a display plan). Declare it before the objects under test.
struct QuietLog {
    QuietLog() { SetSystemLogEnabled(false); }
    ~QuietLog() { SetSystemLogEnabled(true); }
};
