#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Result of running korvel-cli as a child process.
struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the korvel-cli under test with ARGS (no shell involved) and collects
// its exit status, stdout and stderr.
CliResult runCli(const std::vector<std::string>& args);

// A korvel-cli started and not yet waited for, so that a test can act on it
// while it runs (send it a signal).
struct CliProcess {
    pid_t pid = -1;
    std::string outPath;
    std::string errPath;
};
CliProcess startCli(const std::vector<std::string>& args);
// Waits for the process and collects what it printed; a process ended by a
// signal it did not handle has status -1.
CliResult finishCli(CliProcess& process);
