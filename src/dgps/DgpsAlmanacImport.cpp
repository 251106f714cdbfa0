#include "dgps/DgpsAlmanacImport.h"

#include "common/GccRestrictWarning.h"
#include "common/TemporaryFile.h"
#include "common/UserFileText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace {

constexpr size_t kLongestEntity = 4; // "quot", "apos", "#039"

std::string decodeEntities(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        // Names are short: a ';' farther on ends no entity (and a field of
        // '&' alone must not be searched to its end once for each).
        const size_t end = text.substr(i, kLongestEntity + 2).find(';');
        if (end == std::string_view::npos) {
            out += text[i];
            continue;
        }
        const std::string_view name = text.substr(i + 1, end - 1);
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos" || name == "#039" || name == "#39")
            out += '\'';
        else {
            out += text[i];
            continue;
        }
        i += end;
    }
    return out;
}

std::string field(std::string_view record, std::string_view tag)
{
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
    const std::string open = "<" + std::string(tag) + ">";
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
    const size_t from = record.find(open);
    if (from == std::string_view::npos)
        return {};
    const size_t start = from + open.size();
    const size_t end = record.find("</" + std::string(tag) + ">", start);
    if (end == std::string_view::npos)
        return {};
    std::string value = decodeEntities(record.substr(start, end - start));
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!value.empty() && space(value.back()))
        value.pop_back();
    value.erase(value.begin(), std::find_if_not(value.begin(), value.end(), space));
    return value;
}

std::optional<double> number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A station ID: a whole number of 0 .. 1023 (ten bits in the messages).
std::optional<int> stationId(const std::string& text)
{
    const std::optional<double> value = number(text);
    if (!value || *value < 0.0 || *value > 1023.0 || *value != std::floor(*value))
        return std::nullopt;
    return static_cast<int>(*value);
}

// Letters with marks lose them; other characters outside ASCII are dropped.
std::string foldToAscii(const std::string& text)
{
    static const std::pair<const char*, const char*> kFolds[] = {
        {"à", "a"}, {"á", "a"}, {"â", "a"}, {"ã", "a"}, {"ä", "a"}, {"å", "a"}, {"ą", "a"}, {"ç", "c"}, {"ć", "c"},
        {"č", "c"}, {"è", "e"}, {"é", "e"}, {"ê", "e"}, {"ë", "e"}, {"ę", "e"}, {"ě", "e"}, {"ì", "i"}, {"í", "i"},
        {"î", "i"}, {"ï", "i"}, {"ł", "l"}, {"ñ", "n"}, {"ń", "n"}, {"ň", "n"}, {"ò", "o"}, {"ó", "o"}, {"ô", "o"},
        {"õ", "o"}, {"ö", "o"}, {"ø", "o"}, {"ř", "r"}, {"ś", "s"}, {"š", "s"}, {"ß", "ss"}, {"β", "ss"}, {"ù", "u"},
        {"ú", "u"}, {"û", "u"}, {"ü", "u"}, {"ů", "u"}, {"ý", "y"}, {"ž", "z"}, {"ź", "z"}, {"ż", "z"}, {"Á", "A"},
        {"Å", "A"}, {"Ä", "A"}, {"Č", "C"}, {"É", "E"}, {"Ł", "L"}, {"Ö", "O"}, {"Ø", "O"}, {"Š", "S"}, {"Ś", "S"},
        {"Ü", "U"}, {"Ž", "Z"}, {"Ż", "Z"}, {"’", "'"}, {"‘", "'"}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c != ';' && c >= 0x20)
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        bool folded = false;
        for (const auto& [from, to] : kFolds) {
            const size_t length = std::strlen(from);
            if (text.compare(i, length, from) == 0) {
                out += to;
                i += length;
                folded = true;
                break;
            }
        }
        if (!folded) {
            ++i;
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
                ++i;
        }
    }
    return out;
}

std::string coordinate(double degrees, char positive, char negative)
{
    const long seconds = std::lround(std::abs(degrees) * 3600.0);
    char text[32];
    std::snprintf(text, sizeof text, "%ld*%02ld'%02ld%c", seconds / 3600, seconds / 60 % 60, seconds % 60,
                  degrees < 0 ? negative : positive);
    return text;
}

std::string statusNote(const std::string& status)
{
    if (status == "Operational")
        return "active";
    if (status == "On trial")
        return "active (on trial)";
    if (status == "Planned")
        return "planned";
    if (status.empty())
        return "status not listed";
    return "historical (status: " + status + ")";
}

struct Station {
    double kHz;
    int baud;
    std::optional<int> transmitter;
    int reference;
    std::string site, country, status, updated;
    double lat, lon;
    std::string alsoListedAs;
};

} // namespace

bool DgpsAlmanacImport::convert(std::string_view xml, Result& result, std::string& error)
{
    result = {};
    std::vector<Station> stations;
    // Site, frequency, rate, transmitter and reference ID -> index in `stations`.
    std::map<std::tuple<std::string, double, int, int, int>, size_t> seen;
    int records = 0;
    constexpr std::string_view kOpen = "<DGNSSStation>", kClose = "</DGNSSStation>";
    // Records do not overlap: the next is looked for after this one's end, so
    // that opening tags without ends cannot make every record run to the same
    // far end (each byte is read for one record only).
    for (size_t at = xml.find(kOpen); at != std::string_view::npos; at = xml.find(kOpen, at)) {
        const size_t end = xml.find(kClose, at);
        if (end == std::string_view::npos)
            break;
        ++records;
        const std::string_view record = xml.substr(at, end - at);
        at = end + kClose.size();
        const auto kHz = number(field(record, "signalFrequency"));
        const auto baud = number(field(record, "bitRate"));
        const auto reference = stationId(field(record, "referenceStationID"));
        double lon = 0, lat = 0;
        const std::string position = field(record, "WKTpos");
        const bool placed = std::sscanf(position.c_str(), "POINT (%lf %lf)", &lon, &lat) == 2 &&
                            std::abs(lat) <= 90.0 && std::abs(lon) <= 180.0;
        if (!kHz || *kHz < 283.5 || *kHz > 325.0 || !baud || (*baud != 100 && *baud != 200) || !reference || !placed) {
            ++result.skipped;
            continue;
        }
        Station s;
        s.kHz = *kHz;
        s.baud = static_cast<int>(*baud);
        s.transmitter = stationId(field(record, "transmittingStationID"));
        s.reference = *reference;
        s.site = foldToAscii(field(record, "stationName"));
        s.country = foldToAscii(field(record, "country"));
        s.status = field(record, "status");
        s.updated = field(record, "dateOfLastUpdate");
        s.lat = lat;
        s.lon = lon;
        const auto [known, fresh] =
            seen.emplace(std::make_tuple(s.site, s.kHz, s.baud, s.transmitter.value_or(-1), s.reference),
                         stations.size());
        if (fresh) {
            stations.push_back(s);
            continue;
        }
        Station* same = &stations[known->second];
        ++result.merged;
        if (s.status == "Operational" && same->status != "Operational") {
            s.alsoListedAs = statusNote(same->status);
            *same = s;
        } else {
            same->alsoListedAs = statusNote(s.status);
        }
    }
    if (records == 0) {
        error = "no <DGNSSStation> records: not a DGNSS station almanac";
        return false;
    }
    std::stable_sort(stations.begin(), stations.end(), [](const Station& a, const Station& b) {
        if (a.kHz != b.kHz)
            return a.kHz < b.kHz;
        if (a.country != b.country)
            return a.country < b.country;
        return a.site < b.site;
    });
    std::string text = "# DGPS station list imported from the IALA DGNSS station almanac\n";
    for (const Station& s : stations) {
        std::string note = statusNote(s.status) + ", IALA almanac update " + s.updated;
        if (!s.transmitter)
            note += ", transmitter ID not listed";
        if (!s.alsoListedAs.empty())
            note += ", also listed as " + s.alsoListedAs;
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "%.1f;%d;%03d;%03d;%03d;", s.kHz, s.baud, s.transmitter.value_or(0),
                      s.reference, s.reference);
        text += numbers + s.site + ';' + foldToAscii(note) + ';' + s.country + ';' + coordinate(s.lat, 'N', 'S') +
                ';' + coordinate(s.lon, 'E', 'W') + '\n';
    }
    result.listText = std::move(text);
    result.stations = static_cast<int>(stations.size());
    return true;
}

bool DgpsAlmanacImport::importFile(const std::string& xmlPath, const std::string& listPath, Result& result,
                                   std::string& error)
{
    std::string xml;
    if (!UserFileText::read(xmlPath, kMaxAlmanacBytes, xml, error)) {
        error = "cannot read " + xmlPath + ": " + error;
        return false;
    }
    if (!convert(xml, result, error)) {
        error = xmlPath + ": " + error;
        return false;
    }
    const std::filesystem::path target(listPath);
    std::error_code ec;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    TemporaryFile out;
    if (!out.open(listPath, error))
        return false;
    out.write(result.listText.data(), result.listText.size());
    if (const int failure = out.commit(); failure != 0) {
        error = "cannot write " + listPath + ": " + std::strerror(failure);
        return false;
    }
    return true;
}
