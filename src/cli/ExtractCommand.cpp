#include "cli/ExtractCommand.h"

#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"
#include "demod/IqExtractJob.h"
#include "recording/RecordingObject.h"

#include <cstdio>
#include <map>

namespace {

const char* const kUsage = "usage: korvel-cli extract FILE --start S --end E --lo KHZ --hi KHZ -o OUT "
                           "[--as sigmf|cf32|ci16]";

} // namespace

int runExtractCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    std::map<std::string, std::string> options;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--start" || arg == "--end" || arg == "--lo" || arg == "--hi" || arg == "-o" || arg == "--as") {
            if (i + 1 >= args.size())
                return cliFail(arg + " needs a value; " + kUsage);
            options[arg] = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("extract: unknown option \"" + arg + "\"; " + kUsage);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1)
        return cliFail(kUsage);
    for (const char* required : {"--start", "--end", "--lo", "--hi", "-o"}) {
        if (!options.count(required))
            return cliFail(std::string("extract: missing ") + required + "; " + kUsage);
    }
    const std::string formatName = options.count("--as") ? options["--as"] : "sigmf";
    const std::optional<IqExtractJob::Format> format = IqExtractJob::formatNamed(formatName);
    if (!format)
        return cliFail("extract: --as " + formatName + ": sigmf, cf32 or ci16");

    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRawIqSettings(raw);
    recording.setRecordingFile(resolveRecordingArgument(files[0]), lines);
    if (!recording.isValidRecordingFile())
        return cliFail(recording.path() + ": " + (lines.empty() ? std::string("not a recording") : lines.back()));
    const SelectionFields fields{options["--start"], options["--end"], options["--lo"], options["--hi"], ""};
    const DemodSetup setup = DemodSetup::fromFields(fields, kDemodAM, recording.parameters());
    if (!setup.ok())
        return cliFail(setup.error());

    IqExtractJob job(recording, setup.selection(), *format, options["-o"]);
    const IqExtractJob::Result result = job.run();
    if (!result.ok)
        return cliFail(result.message);
    for (const std::string& path : result.paths)
        std::printf("%s\n", path.c_str());
    std::fprintf(stderr, "korvel-cli: %lld samples at %.0f S/s, centre %.0f Hz\n", static_cast<long long>(result.samples),
                 result.sampleRate, result.centerFreq);
    return 0;
}
