#include "recording/RecordingObject.h"
#include "support/ReadFault.h"
#include "support/RecordingFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

const std::string kName = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";

// 20 s of 16-bit pairs at 1000 S/s: second s starts at byte 44 + 4000 s.
std::string writeTwentySeconds(const fixtures::TempDir& dir)
{
    fixtures::WaveFormat format;
    format.sampleRate = 1000;
    return dir.write(kName, fixtures::sdrSharp(format, 20000).bytes);
}

} // namespace

// A read that fails is an error with its reason and position, never the end
// of the data or silence; it stays until the file is opened again.
TEST(RecordingReadErrors, AFailedReadIsReportedWithItsPositionAndReason)
{
    struct Case {
        const char* kind;
        std::string error;
    };
    const Case cases[] = {
        {"eio", "read error at byte 40044: Input/output error"},
        {"short", "read error at byte 40044: the file has become shorter than when it was opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        fixtures::TempDir dir;
        const std::string path = writeTwentySeconds(dir);
        RecordingObject recording;
        std::vector<std::string> lines;
        recording.setRecordingFile(path, lines);
        ASSERT_TRUE(recording.isValidRecordingFile());
        std::vector<ComplexSample> block(1000);

        const ReadFault fault(kName, 44 + 10 * 4000, c.kind);
        EXPECT_EQ(recording.getData(block.data(), 9.0, 1000), 1000);
        EXPECT_EQ(recording.readError(), "");
        EXPECT_EQ(recording.getData(block.data(), 9.5, 1000), 500);
        EXPECT_EQ(recording.readError(), c.error);
        EXPECT_EQ(recording.getData(block.data(), 3.0, 1000), 1000);
        EXPECT_EQ(recording.readError(), c.error);
        const Result<int64_t> byIndex = recording.read(3000, 1000, block.data());
        ASSERT_FALSE(byIndex);
        EXPECT_EQ(byIndex.error().kind(), ErrorKind::Io);
        EXPECT_EQ(byIndex.error().message(), c.error);

        recording.setRecordingFile(path, lines);
        EXPECT_EQ(recording.readError(), "");
    }
}

// Zeros in place of an unreadable header would make another layout of it.
TEST(RecordingReadErrors, AHeaderThatCannotBeReadRefusesTheFile)
{
    fixtures::TempDir dir;
    const std::string path = writeTwentySeconds(dir);
    const ReadFault fault(kName, 0);
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(path, lines);
    EXPECT_FALSE(recording.isValidRecordingFile());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Can't read file: read error at byte 0: Input/output error");
    EXPECT_FALSE(RecordingObject::isRecordingFile(path));
}
