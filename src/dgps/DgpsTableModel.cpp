#include "dgps/DgpsTableModel.h"

#include "dgps/DgpsStationTable.h"
#include "common/UtcCalendar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kIdentifiers[DgpsTableModel::kColumns] = {
    "Count", "ID", "refID1", "refID2", "kHz", "Baud", "City", "Country", "Lat", "Lon", "km", "deg", "Msgs", "Conf"};

std::string format(const char* pattern, auto... values)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string line(const std::array<std::string, DgpsTableModel::kColumns>& c)
{
    char text[512];
    std::snprintf(text, sizeof text, "%8s %4s %4s %4s %4s %4s %30s %20s %8s %8s %6s %3s %6s %6s \n", c[0].c_str(),
                  c[1].c_str(), c[2].c_str(), c[3].c_str(), c[4].c_str(), c[5].c_str(), c[6].c_str(), c[7].c_str(),
                  c[8].c_str(), c[9].c_str(), c[10].c_str(), c[11].c_str(), c[12].c_str(), c[13].c_str());
    return text;
}

} // namespace

const char* DgpsTableModel::identifier(int column)
{
    return column >= 0 && column < kColumns ? kIdentifiers[column] : "";
}

int DgpsTableModel::columnOf(const std::string& identifier)
{
    for (int c = 0; c < kColumns; ++c)
        if (identifier == kIdentifiers[c])
            return c;
    return -1;
}

void DgpsTableModel::didClickTableColumn(const std::string& identifier)
{
    const int column = columnOf(identifier);
    if (column >= 0)
        sortColumn = column;
    sortDescending = !sortDescending && sortColumn == lastSortColumn;
    lastSortColumn = sortColumn;
}

std::vector<DgpsTableModel::Row> DgpsTableModel::sortTableEntries(const DgpsStationTable& table, float myLat,
                                                                  float myLong) const
{
    struct Entry {
        int station;
        size_t count;
        double km, deg;
        DgpsStationTable::Evidence evidence;
    };
    std::vector<Entry> entries;
    for (int s : table.heardStations()) {
        Entry e{s, table.count(s), 0, 0, table.evidence(s)};
        if (hideUnconfirmed && !e.evidence.confirmed())
            continue;
        const DgpsStation& st = table.station(s);
        DgpsStationTable::stationDistanceBearing(myLat, myLong, st.Lat, st.Lon, e.km, e.deg);
        entries.push_back(e);
    }
    const auto key = [&](const Entry& e) -> double {
        const DgpsStation& s = table.station(e.station);
        switch (sortColumn) {
        case 0: return static_cast<double>(e.count);
        case 1: return s.ID;
        case 2: return s.ref1;
        case 3: return s.ref2;
        case 4: return s.kHz;
        case 5: return s.baud;
        case 8: return s.Lat;
        case 9: return s.Lon;
        case 10: return e.km;
        case 11: return e.deg;
        case 12: return static_cast<double>(e.evidence.messages);
        case 13: return (e.evidence.messages > 0) + static_cast<double>(e.evidence.repeated);
        default: return 0.0;
        }
    };
    const bool descending = sortDescending;
    const int column = sortColumn;
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (column == 6 || column == 7) {
            const DgpsStation& sa = table.station(a.station);
            const DgpsStation& sb = table.station(b.station);
            const int order = column == 6 ? std::strcmp(sa.City, sb.City) : std::strcmp(sa.Country, sb.Country);
            return descending ? order > 0 : order < 0;
        }
        return descending ? key(a) > key(b) : key(a) < key(b);
    });

    std::vector<Row> rows;
    for (const Entry& e : entries) {
        const DgpsStation& s = table.station(e.station);
        Row row;
        row.station = e.station;
        row.cells = {format("%d", static_cast<int>(e.count)),
                     format("%d", s.ID),
                     format("%d", s.ref1),
                     format("%d", s.ref2),
                     format("%6.1f", s.kHz),
                     format("%d", static_cast<int>(s.baud)),
                     s.City,
                     s.Country,
                     format("%-5.2f", s.Lat),
                     format("%-6.2f", s.Lon),
                     e.km < 0 ? std::string() : format("%d", static_cast<int>(e.km)),
                     e.km < 0 ? std::string() : format("%d", static_cast<int>(e.deg)),
                     format("%llu", static_cast<unsigned long long>(e.evidence.messages)),
                     confidence(e.evidence)};
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string DgpsTableModel::copyText(const std::vector<Row>& rows)
{
    std::string text = line(
        {"Count", "ID", "ref1", "ref2", "kHz", "Baud", "City", "Country", "Lat", "Lon", "km", "Deg", "Msgs", "Conf"});
    for (const Row& r : rows)
        text += line(r.cells);
    return text;
}

std::string DgpsTableModel::timeText(int32_t unixTime)
{
    const UtcCalendar::Fields t = UtcCalendar::fromUnix(unixTime);
    return format("%04d-%02d-%02d %02d:%02d:%02d UTC", static_cast<int>(t.year), t.month, t.day, t.hour, t.minute,
                  t.second);
}

std::string DgpsTableModel::stationLine(const DgpsStation& s, double km, double deg)
{
    return format("%-5d %-6d %-6d %-5.1f kHz %-6.1f %30s %20s     %10g %10g   %10g km   %10g deg", s.ID, s.ref1,
                  s.ref2, s.kHz, s.baud, s.City, s.Country, s.Lat, s.Lon, km, deg);
}

const char* DgpsTableModel::confidence(const DgpsStationTable::Evidence& evidence)
{
    if (evidence.messages > 0 && evidence.repeated)
        return "high";
    return evidence.confirmed() ? "medium" : "low";
}
