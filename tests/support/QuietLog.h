#pragma once

#include "common/SystemLog.h"

// Silences the diagnostic log while a fixture lives, whatever KORVEL_VERBOSE
// says (engines log a line whenever they build a display plan). Declare it
// before the objects under test.
struct QuietLog {
    QuietLog() : wasEnabled(SystemLogEnabled()) { SetSystemLogEnabled(false); }
    ~QuietLog() { SetSystemLogEnabled(wasEnabled); }
    bool wasEnabled;
};
