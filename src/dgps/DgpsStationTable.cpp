#include "dgps/DgpsStationTable.h"

#include "common/SystemLog.h"
#include "common/UserFileText.h"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <sstream>

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

// The number at the start of a field (leading spaces skipped, the rest
// ignored); 0 when there is none or it is not finite.
double leadingNumber(std::string_view field)
{
    const std::string text(field);
    const double value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

// A whole-number field (IDs, the rate): 0 when it does not fit an int32_t.
int32_t leadingInteger(std::string_view field)
{
    const double value = std::trunc(leadingNumber(field));
    return value >= INT32_MIN && value <= INT32_MAX ? static_cast<int32_t>(value) : 0;
}

void copyText(char (&to)[50], std::string_view from)
{
    const size_t n = std::min<size_t>(from.size(), sizeof to - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

} // namespace

float DgpsStationTable::parseCoordinate(std::string_view text)
{
    const std::vector<std::string_view> degrees = split(text, '*');
    if (degrees.size() != 2)
        return -999.0f;
    const std::vector<std::string_view> minutes = split(degrees[1], '\'');
    if (minutes.size() != 2)
        return -999.0f;
    double value = leadingNumber(degrees[0]) + leadingNumber(minutes[0]) / 60.0 + leadingNumber(minutes[1]) / 3600.0;
    if (text.find('S') != std::string_view::npos || text.find('W') != std::string_view::npos)
        value = -value;
    // Off the globe (a field of fifty digits) is no coordinate either.
    if (!(std::abs(value) <= 180.0))
        return -999.0f;
    return static_cast<float>(value);
}

void DgpsStationTable::readStationText(std::string_view text)
{
    SystemLog("***************** ***************** NewReadDGPSStationList ");
    m_Stations.clear();
    size_t from = 0;
    while (from < text.size() && m_Stations.size() < kCapacity) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> fields = split(line, ';');
        if (fields.size() != 10)
            continue;
        DgpsStation s;
        s.kHz = static_cast<float>(leadingNumber(fields[0]));
        s.baud = static_cast<float>(leadingInteger(fields[1]));
        s.ID = leadingInteger(fields[2]);
        s.ref1 = leadingInteger(fields[3]);
        s.ref2 = leadingInteger(fields[4]);
        copyText(s.City, fields[5]);
        copyText(s.Country, fields[7]);
        s.Lat = parseCoordinate(fields[8]);
        s.Lon = parseCoordinate(fields[9]);
        SystemLog("%d %f %d %d %d %s %s %g %g", static_cast<int>(m_Stations.size()), s.kHz, s.ID, s.ref1, s.ref2,
                  s.City, s.Country, s.Lat, s.Lon);
        m_Stations.push_back(s);
    }
    int at100 = 0;
    for (const DgpsStation& s : m_Stations)
        at100 += s.baud == 100.0f;
    SystemLog("numDgpsStations %d   100 baud: %d    200 baud: %d", numDgpsStations(), at100,
              numDgpsStations() - at100);
    const std::lock_guard lock(m_LogLock);
    dgpsStationLogs.assign(m_Stations.size(), {});
    evidence_.assign(m_Stations.size(), {});
}

bool DgpsStationTable::readDGPSStationList(const std::string& path, std::string& error)
{
    std::string text;
    if (!UserFileText::read(path, kMaxListBytes, text, error)) {
        SystemLog("***************** ***************** NewReadDGPSStationList Failed");
        error = "cannot read station list " + path + ": " + error;
        return false;
    }
    readStationText(text);
    return true;
}

void DgpsStationTable::stationDistanceBearing(double lat1, double lon1, double lat2, double lon2, double& km,
                                              double& bearing)
{
    const auto valid = [](double lat, double lon) { return std::abs(lat) <= 90.0 && std::abs(lon) <= 360.0; };
    if (!valid(lat1, lon1) || !valid(lat2, lon2)) {
        km = bearing = -1.0;
        return;
    }
    double metres = 0.0, azimuth1 = 0.0, azimuth2 = 0.0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, metres, azimuth1, azimuth2);
    km = std::round(metres) * 0.001;
    bearing = azimuth1 < 0.0 ? azimuth1 + 360.0 : azimuth1;
}

void DgpsStationTable::logTime(int index, int32_t unixTime)
{
    const std::lock_guard lock(m_LogLock);
    if (index >= 0 && index < static_cast<int>(dgpsStationLogs.size()))
        dgpsStationLogs[index].push_back(unixTime);
}

void DgpsStationTable::logMessage(int index)
{
    const std::lock_guard lock(m_LogLock);
    if (index >= 0 && index < static_cast<int>(evidence_.size()))
        ++evidence_[index].messages;
}

void DgpsStationTable::confirmRepeat(int index)
{
    const std::lock_guard lock(m_LogLock);
    if (index >= 0 && index < static_cast<int>(evidence_.size()))
        evidence_[index].repeated = true;
}

DgpsStationTable::Evidence DgpsStationTable::evidence(int index) const
{
    const std::lock_guard lock(m_LogLock);
    Evidence e = evidence_.at(index);
    e.firstWords = dgpsStationLogs.at(index).size();
    return e;
}

std::vector<int32_t> DgpsStationTable::times(int index) const
{
    const std::lock_guard lock(m_LogLock);
    return dgpsStationLogs.at(index);
}

size_t DgpsStationTable::count(int index) const
{
    const std::lock_guard lock(m_LogLock);
    return dgpsStationLogs.at(index).size();
}

std::vector<int> DgpsStationTable::heardStations() const
{
    const std::lock_guard lock(m_LogLock);
    std::vector<int> heard;
    for (size_t i = 0; i < dgpsStationLogs.size(); ++i)
        if (!dgpsStationLogs[i].empty())
            heard.push_back(static_cast<int>(i));
    return heard;
}

void DgpsStationTable::clear()
{
    const std::lock_guard lock(m_LogLock);
    for (auto& log : dgpsStationLogs)
        log.clear();
    std::fill(evidence_.begin(), evidence_.end(), Evidence{});
}
