#pragma once

// The diagnostic log: one line per call on stderr, printf-style. Nothing reads
// these lines back; they are for the person watching the terminal.
void SystemLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Silences the log (tests and batch runs that would otherwise print a line per block).
void SetSystemLogEnabled(bool enabled);
