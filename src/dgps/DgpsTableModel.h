#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class DgpsStationTable;
struct DgpsStation;

// The station table as a window shows it: one row per heard station, twelve
// text cells ("Count", "ID", "refID1", "refID2", "kHz", "Baud", "City",
// "Country", "Lat", "Lon", "km", "deg"), sorted by a chosen column, with the
// distance and bearing from the user's location; and its copy text.
class DgpsTableModel {
public:
    struct Row {
        int station = 0;
        std::array<std::string, 12> cells;
    };

    // Column number of a column identifier, -1 for an unknown one.
    static int columnOf(const std::string& identifier);

    // A click on a column header: sorts by it ascending, or reverses the
    // order when it is the column already sorted by. Unknown identifiers keep
    // the column (and still toggle the direction rule as a click does).
    void didClickTableColumn(const std::string& identifier);

    // Rows of every heard station, in list order sorted by the current column.
    std::vector<Row> sortTableEntries(const DgpsStationTable& table, float myLat, float myLong) const;

    // Header line and one line per row, columns padded, each line ending in "\n".
    static std::string copyText(const std::vector<Row>& rows);

    // "2024-03-01 16:40:05 UTC": a decode time, ISO 8601 date and UTC time of day.
    static std::string timeText(int32_t unixTime);
    // The station as the first and last decode labels show it.
    static std::string stationLine(const DgpsStation& station, double km, double deg);

    int sortColumn = 0;
    int lastSortColumn = 0;
    bool sortDescending = false;
};
