#pragma once

#include <string>
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
