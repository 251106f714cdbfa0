#include "recording/RecordingObject.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using fixtures::Encoding;

namespace {

// A sparse file of `size` bytes: `header` at the start, the fixture signal's
// first `frames` samples written `atByte`, holes (zeros) everywhere else.
std::string writeSparse(const fixtures::TempDir& dir, const std::vector<uint8_t>& header, uint64_t size,
                        uint64_t atByte, const std::vector<uint8_t>& samples)
{
    const std::string path = dir.path + "/large.wav";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    EXPECT_EQ(::pwrite(fd, header.data(), header.size(), 0), static_cast<ssize_t>(header.size()));
    EXPECT_EQ(::pwrite(fd, samples.data(), samples.size(), static_cast<off_t>(atByte)),
              static_cast<ssize_t>(samples.size()));
    ::close(fd);
    return path;
}

} // namespace

// Recordings beyond 2 and 4 GiB: 64-bit positions, seconds never negative,
// and where the 32-bit lengths cannot hold the size, seconds from the file's end.
TEST(LargeRecordings, PositionsAndSecondsBeyondTwoAndFourGiB)
{
    struct Case {
        const char* what;
        std::string name;
        uint64_t size;
        bool lengthsUnknown; // 0xFFFFFFFF rather than the wrapped true length
        int32_t seconds;
    };
    constexpr uint32_t rate = 2000000;
    const std::vector<Case> cases = {
        // (3e9 - 8) / 2e6 / 4: the signed division of the layout would make this negative.
        {"SdrRadio of 3.0 GB", "radio.wav", 3000000000, false, 374},
        {"SDRSharp of 5 GiB with wrapped lengths", "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", 5ull << 30, false,
         static_cast<int32_t>(((5ull << 30) - 44) / 4 / rate)},
        {"SDRSharp of 5 GiB with lengths 0xFFFFFFFF", "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", 5ull << 30, true,
         static_cast<int32_t>(((5ull << 30) - 44) / 4 / rate)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::WaveFormat f;
        f.sampleRate = rate;
        fixtures::Recording head =
            c.name == "radio.wav" ? fixtures::sdrRadio(f, 0, fixtures::sdrRadioText(16, rate, 1, 1))
                                  : fixtures::sdrSharp(f, 0);
        const uint64_t dataBytes = c.size - head.dataOffset;
        fixtures::patchU32(head.bytes, 4, c.lengthsUnknown ? 0xFFFFFFFF : static_cast<uint32_t>(c.size - 8));
        fixtures::patchU32(head.bytes, head.dataOffset - 4,
                           c.lengthsUnknown ? 0xFFFFFFFF : static_cast<uint32_t>(dataBytes));

        fixtures::TempDir dir;
        const uint64_t lastSecond = static_cast<uint64_t>(c.seconds) - 1;
        const uint64_t sampleByte = head.dataOffset + lastSecond * rate * 4;
        const std::string path = writeSparse(dir, head.bytes, c.size, sampleByte, fixtures::iqPayload(f, 1000));

        RecordingObject r;
        std::vector<std::string> lines;
        r.setRecordingFile(path, lines);
        ASSERT_TRUE(r.isValidRecordingFile());
        EXPECT_EQ(r.parameters().mNumSeconds, c.seconds);

        std::vector<ComplexSample> block(1200, ComplexSample{9.0, 9.0});
        ASSERT_EQ(r.getData(block.data(), static_cast<double>(lastSecond), 1200), 1200);
        for (int k = 0; k < 1000; ++k) {
            const ComplexSample want = fixtures::expectedSample(Encoding::Int16, k);
            ASSERT_EQ(block[k].im, want.im) << k;
            ASSERT_EQ(block[k].re, want.re) << k;
        }
        EXPECT_EQ(block[1000].im, 0.0); // a hole
        // The very last samples of the file are within reach.
        const uint64_t frames = dataBytes / 4;
        std::vector<ComplexSample> tail(rate);
        EXPECT_EQ(r.getData(tail.data(), static_cast<double>(frames / rate), rate),
                  static_cast<int64_t>(frames % rate));
    }
}
