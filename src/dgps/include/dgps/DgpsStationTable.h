#pragma once

#include "dgps/DgpsStation.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The beacon stations of one station list and, per station, the times (Unix
// seconds, UTC) at which a first word of it was decoded. Owned by whoever runs
// a scan. The stations are fixed once read; the time lists are appended to by
// a decoding thread while another thread reads them, so every access to them
// goes through this object's lock.
class DgpsStationTable {
public:
    static constexpr int kCapacity = 1000;
    // A list is a few hundred kilobytes; anything far larger is no list.
    static constexpr uint64_t kMaxListBytes = 16u << 20;

    // Reads a station list file (one station a line, ten fields separated by
    // ';'; other lines are skipped) into an empty table. False with `error`
    // set when the file cannot be read, is no regular file or is larger than
    // kMaxListBytes.
    bool readDGPSStationList(const std::string& path, std::string& error);
    // The same from text already in memory.
    void readStationText(std::string_view text);

    int numDgpsStations() const { return static_cast<int>(m_Stations.size()); }
    const DgpsStation& station(int index) const { return m_Stations[index]; }
    const std::vector<DgpsStation>& stations() const { return m_Stations; }

    // "51*30'12N" -> 51.50333; "S" or "W" anywhere negates; a text that is
    // not degrees '*' minutes '\'' seconds, or beyond 180 degrees, gives -999.
    static float parseCoordinate(std::string_view text);

    // Distance (km, to the metre) along the geodesic on the WGS-84 ellipsoid
    // from one point to another, and the bearing (degrees, 0 up to 360) at
    // which it leaves the first; both -1 when a position is unreadable (-999)
    // or out of range.
    static void stationDistanceBearing(double lat1, double lon1, double lat2, double lon2, double& km,
                                       double& bearing);

    // What speaks for a station having been heard rather than made up by
    // noise: its first words (one time each), its whole messages (every word
    // passing parity), and whether a first word was confirmed by another one
    // in the same frame timing or by a whole message.
    struct Evidence {
        size_t firstWords = 0;
        uint64_t messages = 0;
        bool repeated = false;
        bool confirmed() const { return messages > 0 || repeated; }
    };

    void logTime(int index, int32_t unixTime);
    void logMessage(int index);
    void confirmRepeat(int index);
    std::vector<int32_t> times(int index) const;
    size_t count(int index) const;
    Evidence evidence(int index) const;
    // Indexes, in list order, of the stations with at least one time.
    std::vector<int> heardStations() const;
    // Empties every station's time list and evidence.
    void clear();

private:
    std::vector<DgpsStation> m_Stations;
    mutable std::mutex m_LogLock;
    std::vector<std::vector<int32_t>> dgpsStationLogs;
    std::vector<Evidence> evidence_;
};
