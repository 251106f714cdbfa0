// Feeds arbitrary bytes to the two readers of user-given DGPS files: the
// station list and the IALA almanac import, whose output is read back as a
// list; then fills the station table's rows from what was read.
#include "dgps/DgpsAlmanacImport.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsTableModel.h"
#include "common/SystemLog.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace {

// A list of two stations and an almanac of two records, one of them kept.
void writeSeeds(const std::string& folder)
{
    std::ofstream(folder + "/list") << "287.5;100;042;007;008;Here;note;Land;51*30'12N;0*30'00W\n"
                                       "300.0;200;1;2;3;There;x;Land;0*0'0S;1*2'3E\n";
    std::ofstream(folder + "/almanac")
        << "<DGNSSStationAlmanac><DGNSSStation><country>L&amp;M</country><stationName>Ra&#039;s</stationName>"
           "<transmittingStationID>143</transmittingStationID><referenceStationID>486</referenceStationID>"
           "<WKTpos>POINT (52.9333 -24.1)</WKTpos><signalFrequency>314.00</signalFrequency><bitRate>200</bitRate>"
           "<status>Operational</status><dateOfLastUpdate>11/2014</dateOfLastUpdate></DGNSSStation>"
           "<DGNSSStation><signalFrequency>392.0</signalFrequency></DGNSSStation></DGNSSStationAlmanac>\n";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetSystemLogEnabled(false);
    if (const char* seeds = std::getenv("KORVEL_WRITE_SEEDS"))
        writeSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DgpsStationTable table;
    table.readStationText(text);
    for (int s = 0; s < table.numDgpsStations(); ++s)
        table.logTime(s, 0);
    DgpsTableModel model;
    model.didClickTableColumn("City");
    DgpsTableModel::copyText(model.sortTableEntries(table, 50.0f, 8.0f));

    DgpsAlmanacImport::Result result;
    std::string error;
    if (DgpsAlmanacImport::convert(text, result, error))
        table.readStationText(result.listText);
    return 0;
}
