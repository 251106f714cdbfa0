#include "cli/CarrierCommand.h"
#include "cli/CliCommon.h"
#include "cli/DemodCommand.h"
#include "cli/DgpsCommand.h"
#include "cli/ExtractCommand.h"
#include "cli/InfoCommand.h"
#include "cli/MakeDemoCommand.h"
#include "cli/WaterfallCommand.h"
#include "common/SystemLog.h"
#include "common/TemporaryFile.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <clocale>
#include <string>
#include <vector>

namespace {

struct CommandUsage {
    const char* command;
    const char* text;
};

const CommandUsage kCommands[] = {
    {"info", "  info FILE... [--json]\n"
             "                       the recording's layout, parameters and information lines\n"},
    {"waterfall", "  waterfall FILE... -o OUT.png|DIR [--fft-size N] [--min-db D] [--max-db D]\n"
                  "        [--auto-levels] [--peak-hold] [--grey] [--json]\n"
                  "                       the whole recording as a waterfall picture, one row a second\n"
                  "                       (rows of several seconds past 100,000 seconds); --peak-hold\n"
                  "                       shows the strongest level of every transform of the second;\n"
                  "                       levels measured from the recording unless --min-db/--max-db\n"},
    {"make-demo", "  make-demo DIR        write a folder of demo recordings, one per file layout\n"},
    {"demod", "  demod FILE... --mode MODE --start S --end E --lo KHZ --hi KHZ [--pbt KHZ]\n"
              "        [--agc auto|off|fast|medium|slow|long] [--gain DB] [--max-gain DB]\n"
              "        [--squelch DB] [--deemphasis 50|75|off] [--fm-deemphasis]\n"
              "        (-o OUT.wav|DIR | --timestamped DIR) [--json]\n"
              "                       demodulate a selection to a 44100 Hz WAV file;\n"
              "                       MODE: AM SAM FM WFM USB LSB CWU CWL\n"},
    {"extract", "  extract FILE... --start S --end E --lo KHZ --hi KHZ -o OUT|DIR [--as sigmf|cf32|ci16]\n"
                "        [--json]\n"
                "                       the selection's I/Q, tuned to its middle and at the pipeline rate,\n"
                "                       as OUT.sigmf-data with OUT.sigmf-meta (default) or raw cf32 or ci16\n"},
    {"dgps", "  dgps FILE... [--stations LIST.TXT] [--lat DEG --lon DEG] [--json] [--whole-khz-only]\n"
             "        [--all-words]\n"
             "                       the DGPS beacon stations heard in a recording (confirmed ones\n"
             "                       only, unless --all-words)\n"
             "  dgps --import-almanac ALMANAC.xml\n"
             "                       make the user's DGPS station list from the IALA DGNSS almanac\n"
             "  dgps --udp --rate R --center HZ [--port P] [--seconds N] [--udp-format s16|u16]\n"
             "        [--from ADDR:PORT] [--stations LIST.TXT] [--json] [--whole-khz-only]\n"
             "                       decode live I/Q from UDP datagrams on 127.0.0.1, a line per decode\n"},
    {"carrier", "  carrier FILE... -o OUT.bin [--fft-size N] [--half-span HZ]\n"
                "        [--png OUT.png --channel K [--min-db D] [--max-db D] [--grey]]\n"
                "                       measure every medium-wave channel of a series of recordings\n"
                "                       (237 s of each, by start time) into an analysis file;\n"
                "                       N a power of two up to 8388608 (default 131072), HZ half the span\n"
                "                       around each channel (default 100)\n"
                "  carrier --load FILE.bin --png OUT.png --channel K [--min-db D] [--max-db D] [--grey]\n"
                "                       picture channel K (0 the lowest) of a saved analysis\n"},
};


const char* const kFileNote =
    "FILE is a path; a plain file name is looked up in the recordings folder\n"
    "(the app's choice, else ~/sdr_recordings), then in the current directory.\n"
    "Recordings: RIFF/WAVE and RF64 I/Q files, SigMF (.sigmf-meta), .au I/Q, and raw\n"
    "captures named as rtl_433 (NAME_433.92M_250k.cu8/.cs8/.cs16/.cf32) or gqrx\n"
    "(gqrx_DATE_TIME_FREQ_RATE_fc.raw) name them. A raw file whose name says nothing\n"
    "opens with --rate S/s --format F [--center HZ] (F: cu8 cs8 cs16 cf32 ci8 ci16_le\n"
    "ci16_be ci32_le cf32_le; values such as 2.048M or 433.92M), with every command\n"
    "that opens a recording.\n"
    "Several FILEs are done one after another; a command that writes a file per\n"
    "recording then takes a folder for -o. --json writes one line per FILE, with its\n"
    "name (\"file\") and, for a FILE that failed, \"error\". Exit status: 0 when every\n"
    "FILE succeeded, 2 for bad input or when none did, 3 when some did.\n"
    "--verbose (anywhere) writes the diagnostic log to stderr, as KORVEL_VERBOSE=1 does.\n";

void printUsage(FILE* out)
{
    std::fputs("usage: korvel-cli COMMAND [ARGS]\n"
               "       korvel-cli COMMAND --help\n"
               "       korvel-cli --version\n"
               "\n"
               "Commands:\n",
               out);
    for (const CommandUsage& usage : kCommands)
        std::fputs(usage.text, out);
    std::fputs("\n", out);
    std::fputs(kFileNote, out);
}

// "korvel-cli COMMAND --help": that command's part of the usage.
bool printCommandUsage(const std::string& command)
{
    for (const CommandUsage& usage : kCommands) {
        if (command == usage.command) {
            std::printf("usage: korvel-cli %s\n\n%s\n%s", usage.command, usage.text, kFileNote);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    std::setlocale(LC_ALL, "C");
    // Ctrl-C or a kill during a run leaves no half-written file behind.
    removeTemporaryFilesOnSignals();
    std::vector<char*> args(argv, argv + argc);
    const auto verbose = std::remove_if(args.begin() + (argc > 0 ? 1 : 0), args.end(),
                                        [](const char* arg) { return std::strcmp(arg, "--verbose") == 0; });
    if (verbose != args.end())
        SetSystemLogEnabled(true);
    args.erase(verbose, args.end());
    argc = static_cast<int>(args.size());
    argv = args.data();
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        printUsage(stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("korvel-cli %s\n", KORVEL_VERSION);
        return 0;
    }
    if (argc > 2 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0) &&
        printCommandUsage(command))
        return 0;
    std::vector<std::string> rest(argv + 2, argv + argc);
    // Live DGPS input has --rate and --center of its own; the carrier analysis
    // opens its series of recordings itself.
    const bool liveInput = command == "dgps" && std::find(rest.begin(), rest.end(), "--udp") != rest.end();
    RawIqSettings raw;
    if (!liveInput && command != "make-demo" && command != "carrier") {
        if (const std::string problem = takeRawIqOptions(rest, raw); !problem.empty())
            return cliFail(command + ": " + problem);
    }
    if (command == "info")
        return runInfoCommand(rest, raw);
    if (command == "waterfall")
        return runWaterfallCommand(rest, raw);
    if (command == "demod")
        return runDemodCommand(rest, raw);
    if (command == "dgps")
        return runDgpsCommand(rest, raw);
    if (command == "carrier")
        return runCarrierCommand(std::vector<std::string>(argv + 2, argv + argc));
    if (command == "extract")
        return runExtractCommand(rest, raw);
    if (command == "make-demo")
        return runMakeDemoCommand(argc - 2, argv + 2);
    return cliFail("unknown command \"" + command + "\" (try korvel-cli --help)");
}
