#include "carrier/CarrierSession.h"

#include "carrier/CarrierTestRecordings.h"
#include "support/QuietLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace carriertest;

namespace {

std::optional<CarrierSession::Outcome> waitForOutcome(CarrierSession& session)
{
    for (int i = 0; i < 3000; ++i) {
        if (auto outcome = session.takeOutcome())
            return outcome;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

class CarrierSessionTest : public ::testing::Test {
protected:
    QuietLog quiet;
    fixtures::TempDir dir;
    CarrierSession session;
    std::vector<std::string> notes;
    std::string error;
};

} // namespace

TEST_F(CarrierSessionTest, AnalysisRunsOnItsThreadAndWritesItsFile)
{
    const std::string a = dir.write("a.wav", recording(1.0, kStart, {{3.0, 0.0}}).bytes);
    const std::string twin = dir.write("b.wav", recording(1.0, kStart, {}).bytes);
    const std::string out = dir.path + "/output.bin";
    ASSERT_TRUE(session.startAnalysis({a, twin}, kFftSize, 100.0, out, notes, error)) << error;
    // The twin left out, and the rows after a.wav's one second.
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_FALSE(session.startAnalysis({a}, kFftSize, 100.0, out, notes, error));
    const auto outcome = waitForOutcome(session);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->cancelled);
    EXPECT_EQ(outcome->error, "");
    EXPECT_EQ(outcome->writtenPath, out);
    EXPECT_EQ(outcome->notes, notes);
    EXPECT_EQ(session.analysis().dbBufCount(), 237);
    EXPECT_FALSE(session.progress().running);
    EXPECT_EQ(std::filesystem::file_size(out), CarrierAnalysis::fileSize(237, 2));
    EXPECT_FALSE(session.takeOutcome());
}

TEST_F(CarrierSessionTest, CancelledAnalysisWritesNothingAndKeepsTheShownOne)
{
    const std::string a = dir.write("a.wav", recording(1.0, kStart, {}).bytes);
    const std::string first = dir.path + "/first.bin";
    ASSERT_TRUE(session.startAnalysis({a}, kFftSize, 100.0, first, notes, error));
    ASSERT_TRUE(waitForOutcome(session));

    const std::string out = dir.path + "/cancelled.bin";
    // A large transform keeps the run busy long enough to be cancelled.
    ASSERT_TRUE(session.startAnalysis({a}, 4194304, 50.0, out, notes, error));
    session.cancel();
    const auto outcome = waitForOutcome(session);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->cancelled);
    EXPECT_EQ(outcome->writtenPath, "");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(session.analysis().dbBufCount(), 237);
    EXPECT_EQ(session.analysis().halfSpan(), 100.0);
}

TEST_F(CarrierSessionTest, RefusedLoadKeepsTheShownAnalysis)
{
    const std::string a = dir.write("a.wav", recording(1.0, kStart, {}).bytes);
    const std::string saved = dir.path + "/saved.bin";
    ASSERT_TRUE(session.startAnalysis({a}, kFftSize, 25.0, saved, notes, error));
    ASSERT_TRUE(waitForOutcome(session));
    const std::string bad = dir.write("bad.bin", std::vector<uint8_t>(5000, 0));
    EXPECT_FALSE(session.loadAnalysis(bad, error));
    EXPECT_NE(error.find("not a carrier analysis file"), std::string::npos);
    EXPECT_EQ(session.analysis().dbBufCount(), 237);
    ASSERT_TRUE(session.loadAnalysis(saved, error)) << error;
    EXPECT_EQ(session.analysis().halfSpan(), 25.0);
}
