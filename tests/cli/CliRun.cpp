#include "CliRun.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
std::string slurp(const char* path)
{
    std::string text;
    if (FILE* f = std::fopen(path, "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    return text;
}
} // namespace

CliProcess startCli(const std::vector<std::string>& args)
{
    const std::string folder = std::filesystem::temp_directory_path().string();
    CliProcess process;
    process.outPath = folder + "/korvel-cli-out.XXXXXX";
    process.errPath = folder + "/korvel-cli-err.XXXXXX";
    const int outFd = mkstemp(process.outPath.data());
    const int errFd = mkstemp(process.errPath.data());

    std::vector<char*> argv;
    std::string program = KORVEL_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    if (posix_spawn(&process.pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        process.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    return process;
}

CliResult finishCli(CliProcess& process)
{
    CliResult result;
    if (process.pid > 0) {
        int status = 0;
        waitpid(process.pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    result.out = slurp(process.outPath.c_str());
    result.err = slurp(process.errPath.c_str());
    unlink(process.outPath.c_str());
    unlink(process.errPath.c_str());
    return result;
}

CliResult runCli(const std::vector<std::string>& args)
{
    CliProcess process = startCli(args);
    return finishCli(process);
}
