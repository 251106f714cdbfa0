#include "support/QuietLog.h"

#include "dgps/DgpsBatchScan.h"
#include "dgps/DgpsDemoRecording.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsTableModel.h"
#include "dgps/MskModulator.h"
#include "dgps/RtcmWord.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

class DgpsBatchScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("korvel-dgps-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    QuietLog quiet;
    fs::path folder;
};

TEST_F(DgpsBatchScanTest, DemoRecordingShowsEveryDemoStation)
{
    std::string error;
    ASSERT_TRUE(DgpsDemoRecording::write(folder.string(), error)) << error;
    DgpsStationTable table;
    ASSERT_TRUE(table.readDGPSStationList((folder / DgpsDemoRecording::kStationListName).string(), error)) << error;
    ASSERT_EQ(table.numDgpsStations(), 4);

    DgpsBatchScan scan;
    ASSERT_TRUE(scan.setRecordingFile((folder / DgpsDemoRecording::entry().fileName).string(), &table, false, nullptr, error))
        << error;
    // 285 .. 325 whole kHz and the list's 303.5, two rates each.
    EXPECT_EQ(scan.numDemodObj(), 84);
    scan.run();
    EXPECT_EQ(scan.playBackSec(), 30);
    for (int s = 0; s < table.numDgpsStations(); ++s) {
        SCOPED_TRACE(table.station(s).City);
        const std::vector<int32_t> times = table.times(s);
        // A message every 0.6 to 2.1 s, for 30 s.
        EXPECT_GT(times.size(), 10u);
        for (int32_t t : times) {
            EXPECT_EQ((t - scan.dgpsStartTimestamp()) % 5, 0);
            EXPECT_GE(t - scan.dgpsStartTimestamp(), 5);
            EXPECT_LE(t - scan.dgpsStartTimestamp(), 30);
        }
    }
}

// The scan reads the recording it opened when set up: it opens it once, so a
// file removed in between is still read whole.
TEST_F(DgpsBatchScanTest, RunReadsTheRecordingOpenedWhenSetUp)
{
    std::string error;
    ASSERT_TRUE(DgpsDemoRecording::write(folder.string(), error)) << error;
    DgpsStationTable table;
    ASSERT_TRUE(table.readDGPSStationList((folder / DgpsDemoRecording::kStationListName).string(), error)) << error;
    const fs::path recording = folder / DgpsDemoRecording::entry().fileName;
    DgpsBatchScan scan;
    ASSERT_TRUE(scan.setRecordingFile(recording.string(), &table, false, nullptr, error)) << error;
    fs::remove(recording);
    EXPECT_EQ(scan.run(), "");
    EXPECT_EQ(scan.playBackSec(), 30);
    for (int s = 0; s < table.numDgpsStations(); ++s)
        EXPECT_GT(table.times(s).size(), 10u) << table.station(s).City;
}

// The last block of a 7-second recording holds two seconds of it and zeros:
// words of the first block are not decoded a second time from stale samples.
TEST_F(DgpsBatchScanTest, LastBlockBeyondTheEndIsSilent)
{
    constexpr int rate = 48000;
    std::vector<uint8_t> bits;
    int d29 = 0, d30 = 0;
    for (int m = 0; m < 20; ++m) {
        for (uint32_t data : {RtcmWord::kPreamble << 16 | 6u << 10 | 77u, static_cast<uint32_t>(m) << 11}) {
            const uint32_t word = RtcmWord::encode(data, d29, d30);
            for (int k = 29; k >= 0; --k)
                bits.push_back((word >> k) & 1);
            d29 = (word >> 1) & 1;
            d30 = word & 1;
        }
    }
    // 15 null frames, 900 bits at 200 Bd: 4.5 s, all inside the first block.
    const MskModulator sent(2000.0, 200.0, rate, 200.0, std::vector<uint8_t>(bits.begin(), bits.begin() + 900), 0);
    const DemoRecordings::Entry entry{"SDRSharp_20261205_163935Z_300000Hz_IQ.wav", "", {}};
    std::string error;
    ASSERT_TRUE(DemoRecordings::writeExtra(folder.string(), entry, rate, 7, 300000.0,
                                           [&](int64_t n, double& i, double& q) {
                                               ComplexSample s;
                                               sent.add(n, 1, &s);
                                               i += s.im;
                                               q += s.re;
                                           },
                                           error))
        << error;
    DgpsStationTable table;
    table.readStationText("302.0;200;1;77;77;Here;x;Y;1*0'0N;1*0'0E\n");
    DgpsBatchScan scan;
    ASSERT_TRUE(scan.setRecordingFile((folder / entry.fileName).string(), &table, true, nullptr, error)) << error;
    scan.run();
    EXPECT_EQ(scan.playBackSec(), 7);
    const std::vector<int32_t> times = table.times(0);
    // The first frame has no two bits before it to check its parity with.
    EXPECT_EQ(times.size(), 14u);
    for (int32_t t : times)
        EXPECT_EQ(t - scan.dgpsStartTimestamp(), 5);
}

TEST_F(DgpsBatchScanTest, StopEndsAfterTheBlockInHandAndRewindStartsAgain)
{
    std::string error;
    ASSERT_TRUE(DgpsDemoRecording::write(folder.string(), error)) << error;
    DgpsStationTable table;
    table.readStationText(DgpsDemoRecording::stationList());
    DgpsBatchScan scan;
    ASSERT_TRUE(scan.setRecordingFile((folder / DgpsDemoRecording::entry().fileName).string(), &table, false, nullptr, error));
    scan.stop();
    scan.run();
    EXPECT_EQ(scan.playBackSec(), 0);

    scan.rewind();
    std::thread worker([&] { scan.run(); });
    while (scan.playBackSec() == 0)
        std::this_thread::yield();
    scan.stop();
    worker.join();
    EXPECT_LT(scan.playBackSec(), 30);
    EXPECT_EQ(scan.playBackSec() % 5, 0);
    const size_t firstRun = table.count(0);

    scan.rewind();
    scan.run();
    EXPECT_EQ(scan.playBackSec(), 30);
    EXPECT_GT(table.count(0), firstRun);
}

// A window's timer reads the table while the scan logs to it.
TEST_F(DgpsBatchScanTest, TableIsReadWhileTheScanWrites)
{
    std::string error;
    ASSERT_TRUE(DgpsDemoRecording::write(folder.string(), error)) << error;
    DgpsStationTable table;
    table.readStationText(DgpsDemoRecording::stationList());
    DgpsBatchScan scan;
    ASSERT_TRUE(scan.setRecordingFile((folder / DgpsDemoRecording::entry().fileName).string(), &table, false, nullptr, error));
    std::thread worker([&] { scan.run(); });
    DgpsTableModel model;
    size_t lastCount = 0;
    while (scan.playBackSec() < scan.endSecond()) {
        const std::vector<DgpsTableModel::Row> rows = model.sortTableEntries(table, 54.0f, 10.0f);
        size_t count = 0;
        for (const DgpsTableModel::Row& r : rows)
            count += table.times(r.station).size();
        EXPECT_GE(count, lastCount) << "time lists only grow";
        lastCount = count;
    }
    worker.join();
    EXPECT_EQ(model.sortTableEntries(table, 54.0f, 10.0f).size(), 4u);
}

TEST_F(DgpsBatchScanTest, RefusesWhatIsNoRecording)
{
    std::string error;
    DgpsStationTable table;
    DgpsBatchScan scan;
    EXPECT_FALSE(scan.setRecordingFile((folder / "missing.wav").string(), &table, false, nullptr, error));
    EXPECT_NE(error.find("missing.wav"), std::string::npos);
}

} // namespace
