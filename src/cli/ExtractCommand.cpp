#include "cli/ExtractCommand.h"

#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"
#include "demod/IqExtractJob.h"
#include "recording/RecordingObject.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

const char* const kUsage = "usage: korvel-cli extract FILE... --start S --end E --lo KHZ --hi KHZ -o OUT|DIR "
                           "[--as sigmf|cf32|ci16] [--json]";

} // namespace

int runExtractCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    std::map<std::string, std::string> options;
    std::vector<std::string> files;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--start" || arg == "--end" || arg == "--lo" || arg == "--hi" || arg == "-o" || arg == "--as") {
            if (i + 1 >= args.size())
                return cliFail(arg + " needs a value; " + kUsage);
            options[arg] = args[++i];
        } else if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("extract: unknown option \"" + arg + "\"; " + kUsage);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty())
        return cliFail(kUsage);
    for (const char* required : {"--start", "--end", "--lo", "--hi", "-o"}) {
        if (!options.count(required))
            return cliFail(std::string("extract: missing ") + required + "; " + kUsage);
    }
    const std::string formatName = options.count("--as") ? options["--as"] : "sigmf";
    const std::optional<IqExtractJob::Format> format = IqExtractJob::formatNamed(formatName);
    if (!format)
        return cliFail("extract: --as " + formatName + ": sigmf, cf32 or ci16");

    std::error_code ec;
    const bool toFolder = std::filesystem::is_directory(options["-o"], ec);
    if (files.size() > 1 && !toFolder)
        return cliFail(std::string("extract: with several files, -o names an existing folder; ") + kUsage);
    const char* suffix = *format == IqExtractJob::Format::Cf32 ? ".cf32" : *format == IqExtractJob::Format::Ci16 ? ".cs16" : "";

    std::map<std::string, std::string> claimed;
    return forEachFile(files, json, [&](const std::string& file) -> std::string {
        RecordingObject recording;
        std::vector<std::string> lines;
        if (std::string problem = openRecordingArgument(recording, file, raw, lines); !problem.empty())
            return problem;
        const SelectionFields fields{options["--start"], options["--end"], options["--lo"], options["--hi"], ""};
        const DemodSetup setup = DemodSetup::fromFields(fields, kDemodAM, recording.parameters());
        if (!setup.ok())
            return file + ": " + setup.error();

        const std::string target = toFolder ? outputInFolder(options["-o"], file, suffix) : options["-o"];
        if (const std::string taken = claimOutput(claimed, target, file); !taken.empty())
            return taken;
        IqExtractJob job(recording, setup.selection(), *format, target);
        const IqExtractJob::Result result = job.run();
        if (!result.ok)
            return file + ": " + result.message;
        if (json) {
            std::string line = "{\"file\": " + jsonString(file) + ", \"outputs\": [";
            for (size_t i = 0; i < result.paths.size(); ++i)
                line += (i ? ", " : "") + jsonString(result.paths[i]);
            line += "], \"samples\": " + std::to_string(result.samples) + ", \"sample_rate\": " +
                    jsonNumber(result.sampleRate) + ", \"center_freq\": " +
                    std::to_string(static_cast<int64_t>(std::llround(result.centerFreq))) + "}\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        } else {
            for (const std::string& path : result.paths)
                std::printf("%s\n", path.c_str());
            std::fprintf(stderr, "korvel-cli: %lld samples at %.0f S/s, centre %.0f Hz\n",
                         static_cast<long long>(result.samples), result.sampleRate, result.centerFreq);
        }
        std::fflush(stdout);
        return std::string();
    });
}
