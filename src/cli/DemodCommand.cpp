#include "cli/DemodCommand.h"

#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "common/CNumberFormat.h"
#include "demod/DemodFileJob.h"
#include "demod/DemodPipeline.h"
#include "recording/RecordingObject.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage = "usage: korvel-cli demod FILE... --mode MODE --start S --end E --lo KHZ --hi KHZ "
                           "[--pbt KHZ] [--agc auto|off|fast|medium|slow|long] [--gain DB] [--max-gain DB] [--squelch DB] "
                           "[--deemphasis 50|75|off] [--fm-deemphasis] (-o OUT.wav|DIR | --timestamped DIR) [--json]";

int modeIndex(const std::string& name)
{
    for (int mode = kDemodAM; mode < kDemodNone; ++mode) {
        if (strcasecmp(name.c_str(), demodModeName(mode)) == 0)
            return mode;
    }
    return -1;
}

// A finite number in [lo, hi], else an empty result.
std::optional<double> numberIn(const std::string& text, double lo, double hi)
{
    const std::optional<double> value = parseSelectionNumber(text);
    if (!value || *value < lo || *value > hi)
        return std::nullopt;
    return value;
}

// The listening options into `controls`; an empty string, or what is wrong.
std::string readControls(std::map<std::string, std::string>& options, ReceiverControls& controls)
{
    if (options.count("--agc")) {
        const std::optional<AgcChoice> choice = agcChoiceFromName(options["--agc"]);
        if (!choice)
            return "unknown AGC \"" + options["--agc"] + "\" (auto, off, fast, medium, slow or long)";
        controls.agc = *choice;
    }
    double squelch = 0.0;
    struct Level {
        const char* option;
        double lo, hi;
        double* value;
    };
    for (const Level level : {Level{"--gain", -60.0, 120.0, &controls.manualGainDb},
                              Level{"--max-gain", 0.0, 120.0, &controls.maxGainDb},
                              Level{"--squelch", -160.0, 0.0, &squelch}}) {
        if (!options.count(level.option))
            continue;
        const std::optional<double> value = numberIn(options[level.option], level.lo, level.hi);
        if (!value) {
            return std::string(level.option) + " \"" + options[level.option] + "\" is not a number of dB from " +
                   formatGeneral(level.lo) + " to " + formatGeneral(level.hi);
        }
        *level.value = *value;
    }
    if (options.count("--squelch"))
        controls.squelchDb = squelch;
    if (options.count("--deemphasis")) {
        const std::optional<Deemphasis> deemphasis = deemphasisFromName(options["--deemphasis"]);
        if (!deemphasis)
            return "--deemphasis \"" + options["--deemphasis"] + "\" is none of 50, 75 and off";
        controls.wfmDeemphasis = *deemphasis;
    }
    return std::string();
}

} // namespace

int runDemodCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    const int argc = static_cast<int>(args.size());
    static const std::vector<std::string> valued = {"--mode", "--start",    "--end",     "--lo",
                                                    "--hi",   "--pbt",      "-o",        "--timestamped",
                                                    "--agc",  "--gain",     "--max-gain", "--squelch",
                                                    "--deemphasis"};
    std::map<std::string, std::string> options;
    std::vector<std::string> files;
    bool json = false;
    ReceiverControls controls;
    for (int i = 0; i < argc; ++i) {
        const std::string& arg = args[i];
        bool isOption = false;
        for (const std::string& name : valued)
            isOption = isOption || arg == name;
        if (isOption) {
            if (i + 1 >= argc)
                return cliFail(arg + " needs a value; " + kUsage);
            options[arg] = args[++i];
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--fm-deemphasis") {
            controls.fmDeemphasis = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("unknown option \"" + arg + "\"; " + kUsage);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty())
        return cliFail(kUsage);
    for (const char* required : {"--mode", "--start", "--end", "--lo", "--hi"}) {
        if (!options.count(required))
            return cliFail(std::string("missing ") + required + "; " + kUsage);
    }
    if (options.count("-o") == options.count("--timestamped"))
        return cliFail(std::string("give either -o OUT.wav or --timestamped DIR; ") + kUsage);
    const int mode = modeIndex(options["--mode"]);
    if (mode < 0)
        return cliFail("unknown mode \"" + options["--mode"] + "\" (AM, SAM, FM, WFM, USB, LSB, CWU or CWL)");

    if (const std::string wrong = readControls(options, controls); !wrong.empty())
        return cliFail(wrong);

    std::error_code ec;
    const bool toFolder = options.count("-o") && std::filesystem::is_directory(options["-o"], ec);
    if (files.size() > 1 && options.count("-o") && !toFolder)
        return cliFail(std::string("with several files, -o names an existing folder; ") + kUsage);

    std::map<std::string, std::string> claimed;
    return forEachFile(files, json, [&](const std::string& named) -> std::string {
        DemodPipeline pipeline;
        pipeline.demodulator().setShowsReadings(false); // no view to show it
        pipeline.setRawIqSettings(raw);
        std::vector<std::string> lines;
        const std::string path = resolveRecordingArgument(named);
        const std::string why = pipeline.open({}, path, lines);
        if (!why.empty())
            return path + ": " + why;

        SelectionFields fields{options["--start"], options["--end"], options["--lo"], options["--hi"], options["--pbt"]};
        DemodSetup setup = pipeline.setUp(fields, mode);
        if (!setup.ok())
            return path + ": " + setup.error();
        if (setup.fields().pbt != fields.pbt)
            std::fprintf(stderr, "korvel-cli: pass-band shift limited to %s kHz\n", setup.fields().pbt.c_str());

        // The set-up keeps the selection within the recording's whole seconds:
        // one that starts past the last sample is refused, one that runs past
        // it is said to stop there.
        const int64_t present = pipeline.recording()->sampleCount();
        const double rate = pipeline.parameters().mSampleRate;
        const double recordedSeconds = static_cast<double>(present) / rate;
        const double typedStart = std::trunc(*parseSelectionNumber(fields.startTime));
        const double typedEnd = std::trunc(*parseSelectionNumber(fields.endTime));
        if (std::max(std::min(typedStart, typedEnd), 0.0) >= recordedSeconds) {
            return path + ": the selection starts at second " + formatGeneral(std::min(typedStart, typedEnd)) +
                   ", after the recording's end at " + formatGeneral(recordedSeconds) + " s; nothing was written";
        }
        const bool cut = std::max(typedStart, typedEnd) > setup.endSecond();

        setup.setControls(controls);
        if (!pipeline.configure(setup, false, {}))
            return path + ": " + setup.bandMessage();

        std::string folder, fileName;
        if (toFolder) {
            folder = options["-o"];
            fileName = std::filesystem::path(outputInFolder("", named, ".wav")).filename().string();
        } else if (options.count("-o")) {
            const std::filesystem::path out(options["-o"]);
            folder = out.parent_path().string();
            fileName = out.filename().string();
            if (fileName.empty() || fileName == "." || fileName == "..")
                return "-o needs a file name: " + options["-o"];
        } else {
            folder = options["--timestamped"];
            fileName = DemodFileJob::timestampedFileName(setup.mode(), setup.lowKHz(), setup.highKHz(),
                                                         pipeline.recording()->FileTimestampFromOffset(setup.startSecond()));
        }

        const std::filesystem::path output = std::filesystem::path(folder) / fileName;
        if (const std::string taken = claimOutput(claimed, output.string(), path); !taken.empty())
            return taken;
        if (const std::string same = outputIsInput(*pipeline.recording(), output.string()); !same.empty())
            return same;
        if (!pipeline.makeFeeder()) {
            return "not enough memory to demodulate a second at " +
                   std::to_string(static_cast<int64_t>(pipeline.parameters().mSampleRate)) + " samples per second";
        }
        DemodFileJob job(pipeline.demodulator(), *pipeline.feeder(), setup.startSecond(), setup.endSecond(), folder,
                         fileName);
        const bool showProgress = isatty(STDERR_FILENO);
        const int32_t last = std::max(setup.endSecond(), setup.startSecond() + 1);
        if (showProgress) {
            job.setProgress([&](int32_t next) {
                std::fprintf(stderr, "\rdemodulating second %d of %d to %d", next, setup.startSecond(), last);
                std::fflush(stderr);
            });
        }
        const DemodFileJob::Result result = job.run();
        if (showProgress)
            std::fputc('\n', stderr);
        if (result.ok && result.clipped) {
            std::fprintf(stderr, "korvel-cli: %s: %s\n", path.c_str(), result.message.c_str());
        } else if (result.ok && cut) {
            std::fprintf(stderr, "korvel-cli: %s: The recording ends at %s s, inside the selection; the file stops there.\n",
                         path.c_str(), formatGeneral(recordedSeconds).c_str());
        }
        if (result.ok && !json)
            std::printf("%s\n", result.path.c_str());
        if (result.ok && json) {
            const std::string line = "{\"file\": " + jsonString(named) + ", \"output\": " + jsonString(result.path) +
                                     ", \"complete\": " + (result.complete ? "true" : "false") +
                                     ", \"audio_samples\": " + std::to_string(result.audioSamples) + "}\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
        std::fflush(stdout);
        if (!pipeline.recording()->readError().empty())
            return path + ": " + pipeline.recording()->readError();
        if (!result.ok || !result.complete)
            return path + ": " + result.message;
        return std::string();
    });
}
