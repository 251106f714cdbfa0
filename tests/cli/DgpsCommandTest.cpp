#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include "dgps/DgpsDemoRecording.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

// The child sees HOME and XDG_DATA_HOME in a temporary folder, so no user's
// station list takes part.
class DgpsCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            previous.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", home.path.c_str(), 1);
        setenv("XDG_DATA_HOME", (home.path + "/data").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : previous) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    std::string demo()
    {
        std::string error;
        EXPECT_TRUE(DgpsDemoRecording::write(demoFolder.path, error)) << error;
        return demoFolder.path + "/" + DgpsDemoRecording::entry().fileName;
    }

    fixtures::TempDir home, demoFolder;
    std::vector<std::pair<std::string, std::optional<std::string>>> previous;
};

TEST_F(DgpsCommand, DemoRecordingAsTableAndJson)
{
    const std::string recording = demo();
    const std::string list = demoFolder.path + "/DGPSSTATIONLIST.TXT";
    const CliResult table = runCli({"dgps", recording, "--stations", list, "--lat", "54", "--lon", "10"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.err, "") << "no progress when stderr is no terminal";
    EXPECT_EQ(table.out.rfind("   Count   ID ref1 ref2  kHz Baud", 0), 0u);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 5);
    EXPECT_NE(table.out.find("Demo Point             Demoland    54.00   10.00       0 "), std::string::npos);

    const CliResult json = runCli({"dgps", recording, "--stations", list, "--json", "--whole-khz-only"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"seconds\": 30,"), std::string::npos);
    EXPECT_NE(json.out.find("\"decoders\": 82,"), std::string::npos);
    // Without the half-kHz channel its station is not heard.
    EXPECT_EQ(json.out.find("303.5"), std::string::npos);
    EXPECT_NE(json.out.find("{\"index\": 0, \"id\": 801, \"ref1\": 601, \"ref2\": 601, \"khz\": 298.0, \"baud\": 100, "
                            "\"city\": \"Demo Point\", \"country\": \"Demoland\", \"lat\": 54.00000, \"lon\": 10.00000, "
                            "\"km\": "),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"times\": [1796488780, "), std::string::npos);
}

TEST_F(DgpsCommand, ImportedAlmanacBecomesTheUsersList)
{
    std::ifstream almanac(std::string(KORVEL_TEST_DATA) + "/dgnss_24.xml");
    if (!almanac)
        GTEST_SKIP() << "almanac test data not found beside the source tree";
    const CliResult imported = runCli({"dgps", "--import-almanac", std::string(KORVEL_TEST_DATA) + "/dgnss_24.xml"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("348 stations written to " + home.path + "/data/Korvel/DGPSSTATIONLIST.TXT"),
              std::string::npos)
        << imported.out;
    // The real list has no station of the made-up demo: scanned, none heard.
    const CliResult scanned = runCli({"dgps", demo(), "--json"});
    ASSERT_EQ(scanned.status, 0) << scanned.err;
    // 41 whole-kHz channels and the list's 34 half-kHz ones (283.5 to 324.5).
    EXPECT_NE(scanned.out.find("\"decoders\": 150,"), std::string::npos) << scanned.out;
    EXPECT_NE(scanned.out.find("\"stations\": []"), std::string::npos);
}

TEST_F(DgpsCommand, BadInputGetsOneLineAndStatusTwo)
{
    const std::string recording = demo();
    const std::string list = demoFolder.path + "/DGPSSTATIONLIST.TXT";
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    for (const Case& c : std::vector<Case>{
             {{"dgps", recording}, "--import-almanac"},
             {{"dgps", recording, "--stations", demoFolder.path + "/none.txt"}, "none.txt"},
             {{"dgps", demoFolder.path + "/missing.wav", "--stations", list}, "missing.wav"},
             {{"dgps", recording, "--stations", list, "--lat", "95", "--lon", "0"}, "--lat"},
             {{"dgps", recording, "--stations", list, "--lat", "50"}, "--lat and --lon"},
             {{"dgps", recording, "--stations", list, "--fast"}, "--fast"},
             {{"dgps", "--import-almanac", list}, "almanac"},
             {{"dgps"}, "exactly one FILE"},
         }) {
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_EQ(r.err.rfind("korvel-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
