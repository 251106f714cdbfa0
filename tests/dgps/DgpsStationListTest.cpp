#include "DgpsTestSignals.h"
#include "support/QuietLog.h"

#include "dgps/DgpsAlmanacImport.h"
#include "dgps/DgpsStationListStore.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsTableModel.h"

#include <gtest/gtest.h>

#include "support/RecordingFixtures.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace dgpstest;

namespace {

// The almanac's import gives the same stations as the list made from it by
// hand: frequencies, rates, IDs and positions, line for line once sorted.
TEST(DgpsAlmanacImport, GivesTheStationsOfTheHandMadeList)
{
    QuietLog quiet;
    const auto xml = readFile(dataPath("dgnss_24.xml"));
    const auto listBytes = readFile(dataPath("DGPSSTATIONLIST.TXT"));
    if (!xml || !listBytes)
        GTEST_SKIP() << "almanac test data not found beside the source tree";
    DgpsAlmanacImport::Result result;
    std::string error;
    ASSERT_TRUE(DgpsAlmanacImport::convert(std::string(xml->begin(), xml->end()), result, error)) << error;
    EXPECT_EQ(result.merged, 2);
    EXPECT_EQ(result.skipped, 371 - 348 - 2);

    DgpsStationTable imported, expected;
    imported.readStationText(result.listText);
    expected.readStationText(std::string(listBytes->begin(), listBytes->end()));
    ASSERT_EQ(imported.numDgpsStations(), 348);
    ASSERT_EQ(expected.numDgpsStations(), 348);
    const auto key = [](const DgpsStation& s) {
        return std::tuple(s.kHz, s.baud, s.ID, s.ref1, s.ref2, std::lround(s.Lat * 3600.0), std::lround(s.Lon * 3600.0));
    };
    std::vector<decltype(key(DgpsStation{}))> a, b;
    for (const DgpsStation& s : imported.stations())
        a.push_back(key(s));
    for (const DgpsStation& s : expected.stations())
        b.push_back(key(s));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    for (size_t k = 0; k < a.size(); ++k)
        EXPECT_EQ(a[k], b[k]) << "station " << k;
}

TEST(DgpsAlmanacImport, RefusesTextThatIsNoAlmanac)
{
    DgpsAlmanacImport::Result result;
    std::string error;
    EXPECT_FALSE(DgpsAlmanacImport::convert("<html><body>not found</body></html>", result, error));
    EXPECT_NE(error.find("almanac"), std::string::npos);
}

// One almanac record; `fields` replace or add to a station that is taken.
std::string almanacRecord(std::map<std::string, std::string> fields)
{
    std::map<std::string, std::string> all = {{"country", "Land"},           {"stationName", "Site"},
                                              {"transmittingStationID", "143"}, {"referenceStationID", "486"},
                                              {"WKTpos", "POINT (5.5 50.25)"}, {"signalFrequency", "300.0"},
                                              {"bitRate", "100"},              {"status", "Operational"},
                                              {"dateOfLastUpdate", "11/2014"}};
    for (auto& [tag, value] : fields)
        all[tag] = value;
    std::string record = "<DGNSSStation>";
    for (const auto& [tag, value] : all)
        record += "<" + tag + ">" + value + "</" + tag + ">";
    return record + "</DGNSSStation>";
}

// Hostile records: each is skipped whole or read back as written, never
// spilling into its neighbours or turning into another number.
TEST(DgpsAlmanacImport, HostileRecordsAreSkippedOrKeptWhole)
{
    QuietLog quiet;
    const std::string longName(600, 'n'), longCountry(60, 'c');
    struct Case {
        const char* what;
        std::map<std::string, std::string> fields;
        bool taken;
        std::string inList; // a text the list line holds when taken
    };
    const Case cases[] = {
        {"name of 600 characters", {{"stationName", longName}}, true, ";" + longName + ";"},
        {"country of 60 characters", {{"country", longCountry}}, true, ";" + longCountry + ";"},
        {"latitude 9333", {{"WKTpos", "POINT (5.5 9333)"}}, false, ""},
        {"longitude -200", {{"WKTpos", "POINT (-200 50)"}}, false, ""},
        {"latitude nan", {{"WKTpos", "POINT (5.5 nan)"}}, false, ""},
        {"reference 1e300", {{"referenceStationID", "1e300"}}, false, ""},
        {"reference nan", {{"referenceStationID", "nan"}}, false, ""},
        {"reference -1", {{"referenceStationID", "-1"}}, false, ""},
        {"reference 1024", {{"referenceStationID", "1024"}}, false, ""},
        {"reference 12.5", {{"referenceStationID", "12.5"}}, false, ""},
        {"frequency inf", {{"signalFrequency", "inf"}}, false, ""},
        {"transmitter 1e300", {{"transmittingStationID", "1e300"}}, true, "300.0;100;000;486;486;"},
        {"transmitter -5", {{"transmittingStationID", "-5"}}, true, "transmitter ID not listed"},
        {"name of 100000 '&' without ';'", {{"stationName", std::string(100000, '&') + "&amp;&quot"}}, true,
         ";" + std::string(100001, '&') + "&quot;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string xml = "<DGNSSStationAlmanac>" + almanacRecord({{"stationName", "Before"}}) +
                                almanacRecord(c.fields) +
                                almanacRecord({{"stationName", "After"}, {"signalFrequency", "301.0"}}) +
                                "</DGNSSStationAlmanac>";
        DgpsAlmanacImport::Result result;
        std::string error;
        ASSERT_TRUE(DgpsAlmanacImport::convert(xml, result, error)) << error;
        EXPECT_EQ(result.stations, c.taken ? 3 : 2);
        EXPECT_EQ(result.skipped, c.taken ? 0 : 1);
        DgpsStationTable table;
        table.readStationText(result.listText);
        EXPECT_EQ(table.numDgpsStations(), result.stations);
        if (c.taken) {
            EXPECT_NE(result.listText.find(c.inList), std::string::npos) << result.listText;
        }
    }
}

// Opening tags that never end make one record with the record that does,
// not 20,000 records that each run on to its end.
TEST(DgpsAlmanacImport, UnendedRecordsDoNotOverlap)
{
    std::string xml = "<DGNSSStationAlmanac>";
    for (int k = 0; k < 20000; ++k)
        xml += "<DGNSSStation><stationName>Unended</stationName>";
    xml += almanacRecord({}) + almanacRecord({{"stationName", "After"}}) + "</DGNSSStationAlmanac>";
    DgpsAlmanacImport::Result result;
    std::string error;
    ASSERT_TRUE(DgpsAlmanacImport::convert(xml, result, error)) << error;
    EXPECT_EQ(result.stations, 2);
    EXPECT_EQ(result.merged, 0);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_NE(result.listText.find(";Unended;"), std::string::npos) << result.listText.substr(0, 400);
}

// Many records repeating few sites: merged in one pass.
TEST(DgpsAlmanacImport, RepeatedRecordsMerge)
{
    std::string xml = "<DGNSSStationAlmanac>";
    for (int k = 0; k < 20000; ++k)
        xml += almanacRecord({{"stationName", "Site" + std::to_string(k % 100)},
                              {"status", k < 100 ? "Operational" : "Withdrawn"}});
    xml += "</DGNSSStationAlmanac>";
    DgpsAlmanacImport::Result result;
    std::string error;
    ASSERT_TRUE(DgpsAlmanacImport::convert(xml, result, error)) << error;
    EXPECT_EQ(result.stations, 100);
    EXPECT_EQ(result.merged, 19900);
    EXPECT_EQ(std::count(result.listText.begin(), result.listText.end(), '\n'), 101);
}

// The list goes through a fresh temporary name: a link planted where a fixed
// temporary name would be is left alone, and so is its target.
TEST(DgpsAlmanacImport, ImportFileFollowsNoPlantedLink)
{
    QuietLog quiet;
    fixtures::TempDir dir;
    const std::string xml = "<DGNSSStationAlmanac>" + almanacRecord({}) + "</DGNSSStationAlmanac>";
    const std::string xmlPath = dir.write("almanac.xml", std::vector<uint8_t>(xml.begin(), xml.end()));
    const std::string victim = dir.write("victim", {'k', 'e', 'e', 'p'});
    const std::string list = dir.path + "/DGPSSTATIONLIST.TXT";
    ASSERT_EQ(::symlink(victim.c_str(), (dir.path + "/.DGPSSTATIONLIST.TXT.part").c_str()), 0);
    DgpsAlmanacImport::Result result;
    std::string error;
    ASSERT_TRUE(DgpsAlmanacImport::importFile(xmlPath, list, result, error)) << error;
    EXPECT_EQ(*readFile(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    DgpsStationTable table;
    ASSERT_TRUE(table.readDGPSStationList(list, error)) << error;
    EXPECT_EQ(table.numDgpsStations(), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 4);
}

// Neither reader waits on a pipe or reads a device without end.
TEST(DgpsStationTable, ReadersRefuseWhatIsNoFile)
{
    fixtures::TempDir dir;
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        DgpsStationTable table;
        std::string error;
        EXPECT_FALSE(table.readDGPSStationList(path, error));
        EXPECT_NE(error.find("not a file"), std::string::npos) << error;
        DgpsStationListStore store;
        std::string text;
        error.clear();
        EXPECT_FALSE(store.text(path, false, text, error));
        EXPECT_NE(error.find("not a file"), std::string::npos) << error;
        DgpsAlmanacImport::Result result;
        error.clear();
        EXPECT_FALSE(DgpsAlmanacImport::importFile(path, dir.path + "/list", result, error));
        EXPECT_NE(error.find("not a file"), std::string::npos) << error;
    }
}

TEST(DgpsStationTable, ReadsOnlyLinesOfTenFields)
{
    QuietLog quiet;
    DgpsStationTable table;
    table.readStationText("# comment\n"
                          "\n"
                          "300.0;100;1;2;3;Nine;x;Land;1*0'0N\n"
                          "300.0;100;1;2;3;Eleven;x;Land;1*0'0N;1*0'0E;extra\n"
                          ";;;;;Empty;;;;\n"
                          "287.5;200; 042;7x;8;Ten;note;Land;51*30'12N;0*30'00W\r\n"
                          "nan;1e300;1e300;-1e300;nan;Huge;x;Land;1e300*0'0N;nan*0'0E\n");
    ASSERT_EQ(table.numDgpsStations(), 3);
    const DgpsStation& huge = table.station(2);
    EXPECT_EQ(huge.Lat, -999.0f);
    EXPECT_EQ(DgpsStationTable::parseCoordinate("0*0'" + std::string(47, '1') + "E"), -999.0f);
    EXPECT_EQ(std::tuple(huge.kHz, huge.baud, huge.ID, huge.ref1, huge.ref2), std::tuple(0.0f, 0.0f, 0, 0, 0));
    EXPECT_EQ(table.station(0).kHz, 0.0f);
    EXPECT_STREQ(table.station(0).City, "Empty");
    EXPECT_EQ(table.station(0).Lat, -999.0f);
    const DgpsStation& s = table.station(1);
    EXPECT_EQ(s.kHz, 287.5f);
    EXPECT_EQ(s.baud, 200.0f);
    EXPECT_EQ(s.ID, 42);
    EXPECT_EQ(s.ref1, 7);
    EXPECT_EQ(s.ref2, 8);
    EXPECT_STREQ(s.Country, "Land");
    EXPECT_FLOAT_EQ(s.Lat, 51.503333f);
    EXPECT_FLOAT_EQ(s.Lon, -0.5f);
}

TEST(DgpsStationTable, CoordinatesDistanceAndBearing)
{
    EXPECT_FLOAT_EQ(DgpsStationTable::parseCoordinate("0*30'00W"), -0.5f);
    EXPECT_FLOAT_EQ(DgpsStationTable::parseCoordinate("12*15'36S"), -12.26f);
    EXPECT_EQ(DgpsStationTable::parseCoordinate("51*30N"), -999.0f);
    EXPECT_EQ(DgpsStationTable::parseCoordinate("51*30'1'2N"), -999.0f);

    struct Case {
        double lat1, lon1, lat2, lon2, km, deg;
    };
    // Published WGS-84 geodesic lengths: a degree of the equator (a pi / 180),
    // the first degree of the meridian, the quarter meridian and a quarter of
    // the equator; then a point to itself and due west.
    for (const Case& c : {Case{0, 0, 0, 1, 111.319, 90}, Case{0, 0, 1, 0, 110.574, 0}, Case{0, 0, 90, 0, 10001.966, 0},
                          Case{0, 0, 0, 90, 10018.754, 90}, Case{50, 8, 50, 8, 0, -1}, Case{0, 0, 0, -1, 111.319, 270},
                          Case{-999, -999, 50, 8, -1, -1}}) {
        double km = 0, deg = 0;
        DgpsStationTable::stationDistanceBearing(c.lat1, c.lon1, c.lat2, c.lon2, km, deg);
        EXPECT_NEAR(km, c.km, 0.002);
        if (c.deg >= 0) {
            EXPECT_NEAR(deg, c.deg, 1e-3);
        }
    }
}

TEST(DgpsStationTable, TimesAreKeptPerStationAndCleared)
{
    QuietLog quiet;
    DgpsStationTable table;
    table.readStationText("300.0;100;1;2;2;A;x;L;1*0'0N;1*0'0E\n301.0;100;1;3;3;B;x;L;1*0'0N;1*0'0E\n");
    table.logTime(1, 1700000000);
    table.logTime(1, 1700000000);
    EXPECT_EQ(table.heardStations(), std::vector<int>{1});
    EXPECT_EQ(table.times(1), (std::vector<int32_t>{1700000000, 1700000000}));
    table.clear();
    EXPECT_TRUE(table.heardStations().empty());
}

class DgpsTableModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        table.readStationText("300.0;100;11;21;22;Zeta;x;North;52*0'0N;0*0'0E\n"
                              "301.0;200;12;23;23;Alpha;x;South;51*0'0N;0*0'0E\n"
                              "302.0;100;13;24;24;Never;x;West;50*0'0N;0*0'0E\n"
                              "303.0;100;14;25;25;Mid;x;East;53*0'0N;0*0'0E\n");
        for (int s : {0, 1, 3})
            table.logTime(s, 1700000000);
        table.logTime(3, 1700000005);
    }
    std::vector<int> order(float lat = 50.0f, float lon = 0.0f)
    {
        std::vector<int> stations;
        for (const DgpsTableModel::Row& r : model.sortTableEntries(table, lat, lon))
            stations.push_back(r.station);
        return stations;
    }
    QuietLog quiet;
    DgpsStationTable table;
    DgpsTableModel model;
};

TEST_F(DgpsTableModelTest, SortsByKmTwiceThenCity)
{
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 3})) << "unheard stations are left out";
    model.didClickTableColumn("km");
    EXPECT_EQ(order(), (std::vector<int>{1, 0, 3}));
    model.didClickTableColumn("km");
    EXPECT_EQ(order(), (std::vector<int>{3, 0, 1}));
    model.didClickTableColumn("City");
    EXPECT_EQ(order(), (std::vector<int>{1, 3, 0}));
    model.didClickTableColumn("nonsense");
    EXPECT_EQ(order(), (std::vector<int>{0, 3, 1})) << "an unknown column keeps the column";
}

TEST_F(DgpsTableModelTest, CellsAndCopyText)
{
    const std::vector<DgpsTableModel::Row> rows = model.sortTableEntries(table, 50.0f, 0.0f);
    ASSERT_EQ(rows.size(), 3u);
    const auto& c = rows[2].cells;
    EXPECT_EQ(c[0], "2");
    EXPECT_EQ(c[1], "14");
    EXPECT_EQ(c[4], " 303.0");
    EXPECT_EQ(c[5], "100");
    EXPECT_EQ(c[8], "53.00");
    EXPECT_EQ(c[9], "0.00  ");
    EXPECT_EQ(c[10], "333");
    EXPECT_EQ(c[11], "0");
    const std::string text = DgpsTableModel::copyText(rows);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "   Count   ID ref1 ref2  kHz Baud                           City              Country      Lat      Lon     km Deg   Msgs   Conf \n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_NE(text.find("     Mid                 East    53.00   0.00      333   0      0    low \n"), std::string::npos);
}

// The evidence columns, and hiding what only unconfirmed first words speak for.
TEST_F(DgpsTableModelTest, EvidenceAndHidingUnconfirmed)
{
    table.logMessage(0);
    table.confirmRepeat(0);
    table.confirmRepeat(3);
    model.hideUnconfirmed = true;
    const std::vector<DgpsTableModel::Row> rows = model.sortTableEntries(table, 50.0f, 0.0f);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].station, 0);
    EXPECT_EQ(rows[0].cells[12], "1");
    EXPECT_EQ(rows[0].cells[13], "high");
    EXPECT_EQ(rows[1].cells[13], "medium");
    model.hideUnconfirmed = false;
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 3}));
    model.didClickTableColumn("Conf");
    model.didClickTableColumn("Conf");
    EXPECT_EQ(order(), (std::vector<int>{0, 3, 1}));
    table.clear();
    EXPECT_FALSE(table.evidence(0).confirmed());
}

} // namespace
