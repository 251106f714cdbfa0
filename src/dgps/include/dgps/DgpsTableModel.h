#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dgps/DgpsStationTable.h"


// The station table as a window shows it: one row per heard station,
// fourteen text cells ("Count", "ID", "refID1", "refID2", "kHz", "Baud",
// "City", "Country", "Lat", "Lon", "km", "deg", "Msgs", "Conf"), sorted by a
// chosen column, with the distance and bearing from the user's location and
// the evidence for the station (whole messages; a confidence of "high" with
// whole messages and repeated first words, "medium" with one of them, "low"
// for first words that nothing confirmed); and its copy text.
class DgpsTableModel {
public:
    static constexpr int kColumns = 14;
    struct Row {
        int station = 0;
        std::array<std::string, kColumns> cells;
    };

    static const char* identifier(int column);
    // Column number of a column identifier, -1 for an unknown one.
    static int columnOf(const std::string& identifier);

    // A click on a column header: sorts by it ascending, or reverses the
    // order when it is the column already sorted by. Unknown identifiers keep
    // the column (and still toggle the direction rule as a click does).
    void didClickTableColumn(const std::string& identifier);

    // Rows of every heard station (confirmed ones only when hideUnconfirmed),
    // in list order sorted by the current column.
    std::vector<Row> sortTableEntries(const DgpsStationTable& table, float myLat, float myLong) const;

    // Header line and one line per row, columns padded, each line ending in "\n".
    static std::string copyText(const std::vector<Row>& rows);

    // "2024-03-01 16:40:05 UTC": a decode time, ISO 8601 date and UTC time of day.
    static std::string timeText(int32_t unixTime);
    // The station as the first and last decode labels show it.
    static std::string stationLine(const DgpsStation& station, double km, double deg);
    static const char* confidence(const DgpsStationTable::Evidence& evidence);

    // Leaves out stations that only unconfirmed first words speak for.
    bool hideUnconfirmed = false;
    int sortColumn = 0;
    int lastSortColumn = 0;
    bool sortDescending = false;
};
