#include "cli/DgpsCommand.h"

#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "common/Settings.h"
#include "dgps/DgpsAlmanacImport.h"
#include "dgps/DgpsBatchScan.h"
#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsLiveDecoder.h"
#include "dgps/DgpsUdpReceiver.h"
#include "dgps/DgpsStationListFiles.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsTableModel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const char* const kUsage = " (korvel-cli --help shows the dgps command)";

// An option's value, checked as the DGPS window checks the same input.
bool parseNumber(const std::string& text, const NumberSetting& setting, double& value)
{
    const std::optional<double> read = setting.read(text);
    value = read.value_or(value);
    return read.has_value();
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

int importAlmanac(const std::string& xml)
{
    const std::string target = DgpsStationListFiles::userListPath();
    DgpsAlmanacImport::Result result;
    std::string error;
    if (!DgpsAlmanacImport::importFile(xml, target, result, error))
        return cliFail(error);
    std::printf("%d stations written to %s (%d almanac records outside the beacon band or without a rate or "
                "reference ID, %d merged)\n",
                result.stations, target.c_str(), result.skipped, result.merged);
    return 0;
}

// One line: a file's object among others of an archive run.
void printJson(const std::string& file, const DgpsBatchScan& scan, const DgpsStationTable& table, float lat, float lon,
               bool allWords)
{
    std::string out = "{\"file\": " + jsonString(file) + ", \"seconds\": " + std::to_string(scan.playBackSec()) +
                      ", \"decoders\": " + std::to_string(scan.numDemodObj()) + ", \"stations\": [";
    bool first = true;
    for (int s : table.heardStations()) {
        const DgpsStationTable::Evidence evidence = table.evidence(s);
        if (!allWords && !evidence.confirmed())
            continue;
        const DgpsStation& st = table.station(s);
        double km = 0, deg = 0;
        DgpsStationTable::stationDistanceBearing(lat, lon, st.Lat, st.Lon, km, deg);
        std::string times;
        for (int32_t t : table.times(s))
            times += (times.empty() ? "" : ", ") + std::to_string(t);
        out += first ? "" : ", ";
        first = false;
        out += "{\"index\": " + std::to_string(s) + ", \"id\": " + std::to_string(st.ID) +
               ", \"ref1\": " + std::to_string(st.ref1) + ", \"ref2\": " + std::to_string(st.ref2) +
               ", \"khz\": " + fixed(st.kHz, 1) + ", \"baud\": " + std::to_string(static_cast<int>(st.baud)) +
               ", \"city\": " + jsonString(st.City) + ", \"country\": " + jsonString(st.Country) +
               ", \"lat\": " + fixed(st.Lat, 5) + ", \"lon\": " + fixed(st.Lon, 5) + ", \"km\": " + fixed(km, 3) +
               ", \"deg\": " + fixed(deg, 2) + ", \"count\": " + std::to_string(table.count(s)) +
               ", \"messages\": " + std::to_string(evidence.messages) +
               ", \"confidence\": " + jsonString(DgpsTableModel::confidence(evidence)) + ", \"times\": [" +
               times + "]}";
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

// One line per first word as it is found, on the decoding thread.
class DecodePrinter : public DgpsDecodeObserver {
public:
    DecodePrinter(const DgpsStationTable& table, bool json) : table_(table), json_(json) {}
    void firstWord(const DgpsFirstWord& w) override
    {
        const DgpsStation& s = table_.station(w.station);
        std::string line;
        if (json_) {
            line = "{\"time\": " + std::to_string(w.time) + ", \"khz\": " + fixed(w.kHz, 1) +
                   ", \"baud\": " + std::to_string(w.baud) + ", \"index\": " + std::to_string(w.station) +
                   ", \"id\": " + std::to_string(s.ID) + ", \"ref\": " + std::to_string(w.stationId) +
                   ", \"type\": " + std::to_string(w.messageType) + ", \"city\": " + jsonString(s.City) +
                   ", \"country\": " + jsonString(s.Country) + "}\n";
        } else {
            const std::time_t t = w.time;
            std::tm utc{};
            gmtime_r(&t, &utc);
            char text[300];
            std::snprintf(text, sizeof text, "[%02d:%02d:%02d %02d/%02d/%02d] %6.1f kHz %3d Bd  ID %4d  type %d  %s, %s\n",
                          utc.tm_hour, utc.tm_min, utc.tm_sec, utc.tm_mon + 1, utc.tm_mday, utc.tm_year + 1900 - 2000,
                          w.kHz, w.baud, w.stationId, w.messageType, s.City, s.Country);
            line = text;
        }
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }

private:
    const DgpsStationTable& table_;
    bool json_;
};

int runLive(std::map<std::string, std::string>& options, DgpsStationTable& table, bool json, bool wholeKhzOnly)
{
    double port = Settings::kUdpPort.fallback, seconds = Settings::kLiveSeconds.fallback;
    // Units as everywhere else a rate or frequency is given: 250k, 2.048M, 300kHz.
    const std::optional<double> rate =
        options.count("--rate") ? Settings::kLiveSampleRate.read(options["--rate"]) : std::nullopt;
    if (!rate)
        return cliFail("--udp needs --rate R, the samples per second sent (1000 to 100000000, such as 250k or 2M)");
    const std::optional<double> centre =
        options.count("--center") ? Settings::kLiveCenterHz.read(options["--center"]) : std::nullopt;
    if (!centre)
        return cliFail("--udp needs --center HZ, the frequency the samples are centred on (such as 300k)");
    if (options.count("--port") && !parseNumber(options["--port"], Settings::kUdpPort, port))
        return cliFail("--port needs a port number from 1 to 65535");
    if (options.count("--seconds") && !parseNumber(options["--seconds"], Settings::kLiveSeconds, seconds))
        return cliFail("--seconds needs a number of seconds");
    const std::string format = options.count("--udp-format") ? options["--udp-format"] : "s16";
    if (format != "s16" && format != "u16")
        return cliFail("--udp-format is s16 (signed 16-bit, the default) or u16 (unsigned, 32768 for zero)");

    DecodePrinter printer(table, json);
    DgpsLiveDecoder decoder;
    decoder.setDemodObjects(*rate, *centre, &table, wholeKhzOnly, &printer);
    if (decoder.numDemodObj() == 0)
        return cliFail("no beacon channel (285 to 325 kHz) lies inside " + fixed((*centre - *rate / 2) / 1000, 1) +
                       " .. " + fixed((*centre + *rate / 2) / 1000, 1) + " kHz");
    DgpsUdpReceiver receiver;
    if (options.count("--from") && !receiver.takeOnlyFrom(options["--from"]))
        return cliFail("--from needs the sender as ADDR:PORT, a numeric IPv4 address and a port");
    // Ctrl-C, a kill or a closed terminal ends the run like its time running
    // out, so that what was lost is still reported: the signals are held in
    // every thread (the receiver's and decoder's inherit the mask) and taken
    // here, between the checks of the time.
    sigset_t stopping;
    sigemptyset(&stopping);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopping, s);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    std::string error;
    if (!receiver.start(static_cast<int>(port), format == "u16", error))
        return cliFail(error);
    std::fprintf(stderr, "listening on 127.0.0.1:%d, %d decoders\n", receiver.port(), decoder.numDemodObj());
    std::thread processor([&] { decoder.run(receiver); });
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int stoppedBy = 0;
    while (stoppedBy <= 0 && (seconds == 0 || std::chrono::steady_clock::now() < end)) {
        const timespec wait{0, 50'000'000};
        stoppedBy = sigtimedwait(&stopping, nullptr, &wait);
    }
    decoder.stop();
    processor.join();
    receiver.stop();
    if (receiver.droppedFull() || receiver.droppedOversize())
        std::fprintf(stderr, "%llu datagrams dropped while the decoders fell behind, %llu longer than %d bytes\n",
                     static_cast<unsigned long long>(receiver.droppedFull()),
                     static_cast<unsigned long long>(receiver.droppedOversize()),
                     DgpsUdpReceiver::kHeaderBytes + DgpsUdpReceiver::kPayloadBytes);
    if (receiver.droppedOtherSenders())
        std::fprintf(stderr, "%llu datagrams from senders other than %s ignored\n",
                     static_cast<unsigned long long>(receiver.droppedOtherSenders()),
                     receiver.sender().empty() ? "the first" : receiver.sender().c_str());
    return stoppedBy > 0 ? 128 + stoppedBy : 0;
}

} // namespace

int runDgpsCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    static const std::vector<std::string> valued = {"--stations", "--lat",    "--lon",     "--import-almanac",
                                                    "--port",     "--rate",   "--center",  "--seconds",
                                                    "--udp-format", "--from"};
    std::map<std::string, std::string> options;
    bool json = false, wholeKhzOnly = false, udp = false, allWords = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (std::find(valued.begin(), valued.end(), arg) != valued.end()) {
            if (i + 1 >= args.size())
                return cliFail(arg + " needs a value" + kUsage);
            options[arg] = args[++i];
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--udp") {
            udp = true;
        } else if (arg == "--whole-khz-only") {
            wholeKhzOnly = true;
        } else if (arg == "--all-words") {
            allWords = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("dgps: unknown option \"" + arg + "\"" + kUsage);
        } else {
            files.push_back(arg);
        }
    }
    if (options.count("--import-almanac")) {
        if (!files.empty() || options.size() != 1)
            return cliFail("--import-almanac takes only the almanac file" + std::string(kUsage));
        return importAlmanac(options["--import-almanac"]);
    }
    // Without --udp, --rate and --center describe a raw recording (taken out before).
    const bool liveOptions = options.count("--port") || options.count("--seconds") || options.count("--udp-format") ||
                             options.count("--from");
    if (udp && !files.empty())
        return cliFail(std::string("--udp takes no FILE") + kUsage);
    if (!udp && liveOptions)
        return cliFail(std::string("--port, --seconds, --udp-format and --from go with --udp") + kUsage);
    if (!udp && files.empty())
        return cliFail(std::string("dgps needs a FILE") + kUsage);
    double lat = 0, lon = 0;
    if (options.count("--lat") != options.count("--lon"))
        return cliFail("--lat and --lon go together");
    if (options.count("--lat") && (!parseNumber(options["--lat"], Settings::kLatitude, lat) ||
                                   !parseNumber(options["--lon"], Settings::kLongitude, lon)))
        return cliFail("--lat needs degrees from -90 to 90 and --lon from -180 to 180 (north and east positive)");

    // Without a list of the user's, the one beside the recording (the demo folder has one).
    auto readList = [&](const std::string& recording, DgpsStationTable& table) -> std::string {
        const std::string listPath = DgpsStationListFiles::locate(options["--stations"], recording);
        if (listPath.empty())
            return "no DGPS station list: import the IALA DGNSS station almanac (an XML file) with "
                   "\"korvel-cli dgps --import-almanac ALMANAC.xml\", which writes " +
                   DgpsStationListFiles::userListPath() + ", or give one with --stations LIST.TXT";
        std::string error;
        if (!table.readDGPSStationList(listPath, error))
            return error;
        if (table.numDgpsStations() == 0)
            return listPath + ": no stations (lines of ten fields separated by ';')";
        return {};
    };
    if (udp) {
        DgpsStationTable table;
        if (const std::string problem = readList({}, table); !problem.empty())
            return cliFail(problem);
        return runLive(options, table, json, wholeKhzOnly);
    }

    return forEachFile(files, json, [&](const std::string& file) -> std::string {
        const std::string path = resolveRecordingArgument(file);
        DgpsStationTable table;
        if (const std::string problem = readList(path, table); !problem.empty())
            return problem;
        DgpsBatchScan scan;
        scan.setRawIqSettings(raw);
        std::string error;
        if (!scan.setRecordingFile(path, &table, wholeKhzOnly, nullptr, error))
            return error;
        if (scan.numDemodObj() == 0)
            return file + ": no DGPS beacon channel (285 to 325 kHz) lies inside the recording's band";
        for (int s : DgpsDecoderBank::offRaster(scan.bandwidth(), scan.centerFreq(), table))
            std::fprintf(stderr, "%s: %.1f kHz %s (%s) is off the half-kHz channels and cannot be heard\n",
                         file.c_str(), table.station(s).kHz, table.station(s).City, table.station(s).Country);
        std::string readError;
        if (isatty(STDERR_FILENO)) {
            std::atomic<bool> done{false};
            std::thread worker([&] {
                readError = scan.run();
                done = true;
            });
            while (!done) {
                std::fprintf(stderr, "\r%d of %d seconds", scan.playBackSec(), scan.endSecond());
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            worker.join();
            std::fprintf(stderr, "\r%d of %d seconds\n", scan.playBackSec(), scan.endSecond());
        } else {
            readError = scan.run();
        }
        if (!readError.empty())
            return file + ": " + readError;
        if (json) {
            printJson(file, scan, table, static_cast<float>(lat), static_cast<float>(lon), allWords);
        } else {
            DgpsTableModel model;
            model.hideUnconfirmed = !allWords;
            // Several recordings: each table under its file's name.
            const std::string text = (files.size() > 1 ? "# " + file + "\n" : std::string()) +
                                     DgpsTableModel::copyText(model.sortTableEntries(table, static_cast<float>(lat),
                                                                                     static_cast<float>(lon)));
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
        std::fflush(stdout);
        return std::string();
    });
}
