#include "carrier/CarrierAnalysis.h"

#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// Three rows of two channels, every level different.
CarrierAnalysis smallAnalysis()
{
    CarrierAnalysis analysis({999, 1000}, 25.0, 1765000810, 3);
    for (int r = 0; r < 3; ++r) {
        float* row = analysis.appendRow();
        for (int i = 0; i < 2 * CarrierAnalysis::kLevels; ++i)
            row[i] = -200.0f + static_cast<float>(r) + static_cast<float>(i) * 0.01f;
    }
    return analysis;
}

std::vector<uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(CarrierAnalysis, FileHoldsTheDocumentedLayout)
{
    fixtures::TempDir dir;
    const std::string path = dir.path + "/output.bin";
    std::string error;
    ASSERT_TRUE(smallAnalysis().writeFile(path, error)) << error;
    const std::vector<uint8_t> bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 4020u + 3u * 2u * 8192u);
    fixtures::Bytes header;
    header.u32(2048).u32(3).u32(25).u32(2).u32(1765000810);
    header.u32(std::bit_cast<uint32_t>(999.0f)).u32(std::bit_cast<uint32_t>(1000.0f));
    EXPECT_TRUE(std::equal(header.v.begin(), header.v.end(), bytes.begin()));
    EXPECT_TRUE(std::all_of(bytes.begin() + 28, bytes.begin() + 4020, [](uint8_t b) { return b == 0; }));
    // Row 1, channel 0, level 0.
    fixtures::Bytes level;
    level.u32(std::bit_cast<uint32_t>(-199.0f));
    EXPECT_TRUE(std::equal(level.v.begin(), level.v.end(), bytes.begin() + 4020 + 2 * 8192));
}

TEST(CarrierAnalysis, SaveThenLoadGivesTheSameRows)
{
    fixtures::TempDir dir;
    const std::string path = dir.path + "/output.bin";
    const CarrierAnalysis saved = smallAnalysis();
    std::string error;
    ASSERT_TRUE(saved.writeFile(path, error)) << error;
    const std::optional<CarrierAnalysis> loaded = CarrierAnalysis::loadFile(path, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(loaded->dbBufCount(), 3);
    EXPECT_EQ(loaded->carrierFreqs(), saved.carrierFreqs());
    EXPECT_EQ(loaded->halfSpan(), 25.0);
    EXPECT_EQ(loaded->startingTime(), 1765000810);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 2; ++k)
            EXPECT_TRUE(std::equal(saved.levels(r, k), saved.levels(r, k) + CarrierAnalysis::kLevels, loaded->levels(r, k)));
}

TEST(CarrierAnalysis, FailedWriteIsReportedAndLeavesWhatWasThere)
{
    fixtures::TempDir dir;
    std::string error;
    EXPECT_FALSE(smallAnalysis().writeFile(dir.path + "/missing/output.bin", error));
    EXPECT_FALSE(error.empty());

    // A folder of the target's name cannot be replaced by the finished file.
    const std::string target = dir.path + "/output.bin";
    std::filesystem::create_directory(target);
    const std::string inside = dir.write("output.bin/kept", {1, 2, 3});
    error.clear();
    EXPECT_FALSE(smallAnalysis().writeFile(target, error));
    EXPECT_NE(error.find("cannot write the analysis file"), std::string::npos) << error;
    EXPECT_EQ(readAll(inside), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1) << "no temporary file is left";
}

TEST(CarrierAnalysis, RefusesCorruptFilesBeforeAllocating)
{
    fixtures::TempDir dir;
    const std::string good = dir.path + "/good.bin";
    std::string error;
    ASSERT_TRUE(smallAnalysis().writeFile(good, error));
    const std::vector<uint8_t> original = readAll(good);

    struct Case {
        const char* name;
        size_t offset; // where to patch a 32-bit field, or SIZE_MAX for none
        uint32_t value;
        long sizeChange; // bytes added (> 0) or cut (< 0) at the end
        const char* expected;
    };
    const uint32_t nan = std::bit_cast<uint32_t>(std::numeric_limits<float>::quiet_NaN());
    const Case cases[] = {
        {"empty", SIZE_MAX, 0, -static_cast<long>(original.size()), "shorter than its 4020-byte header"},
        {"short header", SIZE_MAX, 0, -static_cast<long>(original.size()) + 4019, "shorter than its 4020-byte header"},
        {"levels", 0, 1024, 0, "1024 levels per row"},
        {"negative rows", 4, 0xFFFFFFFFu, 0, "-1 rows"},
        {"too many rows", 4, 1001, 0, "1001 rows"},
        {"huge rows", 4, 0x7FFFFFFFu, 0, "rows"},
        {"no channels", 12, 0, 0, "0 channels"},
        {"too many channels", 12, 1001, 0, "1001 channels"},
        {"zero half span", 8, 0, 0, "half span of 0 Hz"},
        {"negative half span", 8, 0xFFFFFF9Cu, 0, "half span of -100 Hz"},
        {"rows not matching the size", 4, 4, 0, "bytes where its header needs"},
        {"one byte short", SIZE_MAX, 0, -1, "bytes where its header needs"},
        {"one byte more", SIZE_MAX, 0, 1, "bytes where its header needs"},
        {"frequency not a number", 24, nan, 0, "channel 1 has no frequency"},
        {"frequency zero", 20, 0, 0, "channel 0 has no frequency"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = original;
        if (c.offset != SIZE_MAX)
            fixtures::patchU32(bytes, c.offset, c.value);
        if (c.sizeChange < 0)
            bytes.resize(bytes.size() - static_cast<size_t>(-c.sizeChange));
        else
            bytes.insert(bytes.end(), static_cast<size_t>(c.sizeChange), 0);
        const std::string path = dir.write("bad.bin", bytes);
        error.clear();
        EXPECT_FALSE(CarrierAnalysis::loadFile(path, error)) << c.name;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.name << ": " << error;
    }
    EXPECT_FALSE(CarrierAnalysis::loadFile(dir.path + "/missing.bin", error));
    EXPECT_FALSE(CarrierAnalysis::loadFile(dir.path, error));
}
