#include "support/QuietLog.h"

#include "dgps/DgpsDemoRecording.h"
#include "dgps/DgpsSession.h"
#include "dgps/DgpsStationListFiles.h"
#include "dgps/DgpsStationListStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A folder of its own with the demo recording and its list, and a data
// folder (XDG_DATA_HOME) that holds no list until a test writes one.
class DgpsSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("korvel-dgps-session-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder / "demo");
        fs::create_directories(folder / "data");
        const char* old = std::getenv("XDG_DATA_HOME");
        oldDataHome = old ? old : "";
        hadDataHome = old != nullptr;
        ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        std::string error;
        ASSERT_TRUE(DgpsDemoRecording::write((folder / "demo").string(), error)) << error;
    }
    void TearDown() override
    {
        if (hadDataHome)
            ::setenv("XDG_DATA_HOME", oldDataHome.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(folder);
    }

    std::string demoRecording() const { return (folder / "demo" / DgpsDemoRecording::entry().fileName).string(); }

    static bool waitForScan(const DgpsSession& session)
    {
        for (int k = 0; k < 3000 && session.isScanning(); ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !session.isScanning();
    }

    QuietLog quiet;
    fs::path folder;
    std::string oldDataHome;
    bool hadDataHome = false;
};

TEST_F(DgpsSessionTest, WhichListIsTaken)
{
    const std::string user = DgpsStationListFiles::userListPath();
    const std::string beside = (folder / "demo" / DgpsStationListFiles::kFileName).string();
    const std::string chosen = (folder / "chosen.txt").string();
    struct Case {
        const char* what;
        std::string given;
        bool userListExists;
        std::string expected;
    };
    const Case cases[] = {
        {"the chosen list first", chosen, true, chosen},
        {"then the user's", "", true, user},
        {"the one beside the recording last", "", false, beside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.userListExists) {
            fs::create_directories(fs::path(user).parent_path());
            writeFile(user, DgpsDemoRecording::stationList());
        } else {
            fs::remove(user);
        }
        EXPECT_EQ(DgpsStationListFiles::locate(c.given, demoRecording()), c.expected);
    }
    EXPECT_EQ(DgpsStationListFiles::locate("", (folder / "data" / "x.wav").string()), "");
}

// Two windows of one process share the store: the file is read once, and
// each lists every station once.
TEST_F(DgpsSessionTest, ListIsReadOncePerProcess)
{
    const fs::path list = folder / "list.txt";
    writeFile(list, DgpsDemoRecording::stationList());
    DgpsStationListStore store;
    DgpsSession first(store), second(store);
    std::string error;
    ASSERT_TRUE(first.useStationList(list.string(), false, error)) << error;
    writeFile(list, "298.0;100;1;2;2;Changed;x;Y;1*0'0N;1*0'0E\n");
    ASSERT_TRUE(second.useStationList(list.string(), false, error)) << error;
    ASSERT_TRUE(second.useStationList(list.string(), false, error)) << error;
    EXPECT_EQ(first.numDgpsStations(), 4);
    EXPECT_EQ(second.numDgpsStations(), 4);
    // Asked to read it afresh (the user chose it again), it does.
    ASSERT_TRUE(second.useStationList(list.string(), true, error)) << error;
    EXPECT_EQ(second.numDgpsStations(), 1);

    EXPECT_FALSE(second.useStationList((folder / "missing.txt").string(), false, error));
    EXPECT_NE(second.stationListProblem().find("missing.txt"), std::string::npos);
    EXPECT_EQ(second.numDgpsStations(), 0);
    EXPECT_FALSE(second.useStationList(folder.string(), false, error)) << "a folder is no list";
}

TEST_F(DgpsSessionTest, ScanStopRescanClearAndAnotherLoad)
{
    DgpsStationListStore store;
    DgpsSession session(store);
    std::string error;
    ASSERT_TRUE(session.useStationList("", false, error));
    EXPECT_EQ(session.stationListPath(), "");
    // The demo's list is beside it and the user has none: it is taken.
    ASSERT_TRUE(session.loadRecording(demoRecording(), error)) << error;
    EXPECT_EQ(session.stationListPath(), (folder / "demo" / DgpsStationListFiles::kFileName).string());
    ASSERT_TRUE(waitForScan(session));
    EXPECT_EQ(session.playBackSec(), 30);
    ASSERT_EQ(session.rows(0, 0).size(), 4u);
    const size_t once = session.table().count(0);

    // A second load while the scan runs ends it first and starts again at 0.
    ASSERT_TRUE(session.loadRecording(demoRecording(), error));
    ASSERT_TRUE(session.loadRecording(demoRecording(), error));
    session.stop();
    ASSERT_TRUE(waitForScan(session));
    EXPECT_LT(session.playBackSec(), 30);
    EXPECT_EQ(session.playBackSec() % 5, 0);

    session.clear();
    EXPECT_TRUE(session.rows(0, 0).empty());
    ASSERT_TRUE(session.rescan());
    ASSERT_TRUE(waitForScan(session));
    EXPECT_EQ(session.table().count(0), once);

    // A file that is no recording is refused; the loaded one stays.
    writeFile(folder / "notes.wav", "not samples");
    EXPECT_FALSE(session.loadRecording((folder / "notes.wav").string(), error));
    EXPECT_NE(error.find("notes.wav"), std::string::npos);
    EXPECT_EQ(session.recordingPath(), demoRecording());
    EXPECT_TRUE(session.rescan());
}

TEST_F(DgpsSessionTest, LiveInputNeedsStationsAndChannels)
{
    DgpsStationListStore store;
    DgpsSession session(store);
    std::string error;
    EXPECT_FALSE(session.startReceivingUDP(0, false, 250000, 300000, error));
    EXPECT_EQ(error, "no DGPS station list");

    const fs::path list = folder / "list.txt";
    writeFile(list, DgpsDemoRecording::stationList());
    ASSERT_TRUE(session.useStationList(list.string(), false, error));
    EXPECT_FALSE(session.startReceivingUDP(0, false, 250000, 7100000, error));
    EXPECT_NE(error.find("no beacon channel"), std::string::npos) << error;

    ASSERT_TRUE(session.startReceivingUDP(0, false, 250000, 300000, error)) << error;
    EXPECT_TRUE(session.liveStatus().receiving);
    EXPECT_GT(session.liveStatus().port, 0);
    EXPECT_EQ(session.liveStatus().decoders, 84);
    // With a recording loaded, its rate and centre are taken.
    ASSERT_TRUE(session.loadRecording(demoRecording(), error));
    ASSERT_TRUE(session.startReceivingUDP(0, true, 48000, 7100000, error)) << error;
    EXPECT_EQ(session.liveStatus().sampleRate, 125000.0);
    EXPECT_EQ(session.liveStatus().centerFreq, 300000.0);
    session.stopReceivingUDP();
    EXPECT_FALSE(session.liveStatus().receiving);
}

} // namespace
