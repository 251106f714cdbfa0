#include "cli/DgpsCommand.h"

#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "dgps/DgpsAlmanacImport.h"
#include "dgps/DgpsBatchScan.h"
#include "dgps/DgpsStationListFiles.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsTableModel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

const char* const kUsage =
    "usage: korvel-cli dgps FILE [--stations LIST.TXT] [--lat DEG --lon DEG] [--json] [--whole-khz-only]\n"
    "       korvel-cli dgps --import-almanac ALMANAC.xml";

bool parseNumber(const std::string& text, double low, double high, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value) && value >= low && value <= high;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
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

void printJson(const DgpsBatchScan& scan, const DgpsStationTable& table, float lat, float lon)
{
    std::string out = "{\n  \"seconds\": " + std::to_string(scan.playBackSec()) +
                      ",\n  \"decoders\": " + std::to_string(scan.numDemodObj()) + ",\n  \"stations\": [";
    bool first = true;
    for (int s : table.heardStations()) {
        const DgpsStation& st = table.station(s);
        double km = 0, deg = 0;
        DgpsStationTable::stationDistanceBearing(lat, lon, st.Lat, st.Lon, km, deg);
        std::string times;
        for (int32_t t : table.times(s))
            times += (times.empty() ? "" : ", ") + std::to_string(t);
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"index\": " + std::to_string(s) + ", \"id\": " + std::to_string(st.ID) +
               ", \"ref1\": " + std::to_string(st.ref1) + ", \"ref2\": " + std::to_string(st.ref2) +
               ", \"khz\": " + fixed(st.kHz, 1) + ", \"baud\": " + std::to_string(static_cast<int>(st.baud)) +
               ", \"city\": " + jsonString(st.City) + ", \"country\": " + jsonString(st.Country) +
               ", \"lat\": " + fixed(st.Lat, 5) + ", \"lon\": " + fixed(st.Lon, 5) + ", \"km\": " + fixed(km, 3) +
               ", \"deg\": " + fixed(deg, 2) + ", \"count\": " + std::to_string(table.count(s)) + ", \"times\": [" +
               times + "]}";
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

} // namespace

int runDgpsCommand(const std::vector<std::string>& args)
{
    static const std::vector<std::string> valued = {"--stations", "--lat", "--lon", "--import-almanac"};
    std::map<std::string, std::string> options;
    bool json = false, wholeKhzOnly = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (std::find(valued.begin(), valued.end(), arg) != valued.end()) {
            if (i + 1 >= args.size())
                return cliFail(arg + " needs a value\n" + kUsage);
            options[arg] = args[++i];
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--whole-khz-only") {
            wholeKhzOnly = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("dgps: unknown option \"" + arg + "\"\n" + kUsage);
        } else {
            files.push_back(arg);
        }
    }
    if (options.count("--import-almanac")) {
        if (!files.empty() || options.size() != 1)
            return cliFail("--import-almanac takes only the almanac file\n" + std::string(kUsage));
        return importAlmanac(options["--import-almanac"]);
    }
    if (files.size() != 1)
        return cliFail(std::string("dgps needs exactly one FILE\n") + kUsage);
    double lat = 0, lon = 0;
    if (options.count("--lat") != options.count("--lon"))
        return cliFail("--lat and --lon go together");
    if (options.count("--lat") && (!parseNumber(options["--lat"], -90, 90, lat) ||
                                   !parseNumber(options["--lon"], -180, 180, lon)))
        return cliFail("--lat needs degrees from -90 to 90 and --lon from -180 to 180 (north and east positive)");

    const std::string listPath = DgpsStationListFiles::locate(options["--stations"]);
    if (listPath.empty())
        return cliFail("no DGPS station list: import the IALA DGNSS station almanac (an XML file) with "
                       "\"korvel-cli dgps --import-almanac ALMANAC.xml\", which writes " +
                       DgpsStationListFiles::userListPath() + ", or give one with --stations LIST.TXT");
    DgpsStationTable table;
    std::string error;
    if (!table.readDGPSStationList(listPath, error))
        return cliFail(error);
    if (table.numDgpsStations() == 0)
        return cliFail(listPath + ": no stations (lines of ten fields separated by ';')");

    DgpsBatchScan scan;
    if (!scan.setRecordingFile(resolveRecordingArgument(files[0]), &table, wholeKhzOnly, nullptr, error))
        return cliFail(error);
    if (isatty(STDERR_FILENO)) {
        std::thread worker([&scan] { scan.run(); });
        while (scan.playBackSec() < scan.endSecond()) {
            std::fprintf(stderr, "\r%d of %d seconds", scan.playBackSec(), scan.endSecond());
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        worker.join();
        std::fprintf(stderr, "\r%d of %d seconds\n", scan.playBackSec(), scan.endSecond());
    } else {
        scan.run();
    }
    if (json) {
        printJson(scan, table, static_cast<float>(lat), static_cast<float>(lon));
    } else {
        const DgpsTableModel model;
        const std::string text =
            DgpsTableModel::copyText(model.sortTableEntries(table, static_cast<float>(lat), static_cast<float>(lon)));
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    return 0;
}
