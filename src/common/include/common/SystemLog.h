#pragma once

// The diagnostic log: one line per call on stderr, printf-style. Nothing reads
// these lines back; they are for the developer watching the terminal, so the
// log is off unless KORVEL_VERBOSE is set (to anything but "0") or a program
// turns it on (the app's and the CLI's --verbose).
void SystemLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

void SetSystemLogEnabled(bool enabled);
bool SystemLogEnabled();
