#include "DemodTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace demodtest;

} // namespace

// A second is read in pieces, so memory follows the piece rather than the
// rate a header claims; the audio is the same as from the whole second in one
// block, and the pieces tile the second exactly, ending on the demodulator's
// blocks so that it gathers none.
TEST(DemodSecondFeeder, ReadsASecondInPiecesThatTileItAndGiveTheSameAudio)
{
    constexpr int32_t rate = 200000;
    constexpr int32_t seconds = 2;
    const Signal signal = amStation(10000, 4000, 1000, 0.5);
    const DemodSecondFeeder::SampleSource whole = source(signal, rate, seconds);

    DemodulatorObject byPieces;
    DemodulatorObject inOneBlock;
    for (DemodulatorObject* demod : {&byPieces, &inOneBlock}) {
        DemodSetup setup = DemodSetup::fromFields(selection(0, seconds, 7105, 7115), kDemodAM,
                                                  recordingAt(rate, seconds));
        ASSERT_TRUE(setup.configure(*demod));
    }

    std::vector<std::pair<int64_t, int64_t>> reads;
    DemodSecondFeeder feeder(
        [&](ComplexSample* block, int64_t first, int64_t samples) {
            reads.emplace_back(first, samples);
            return whole(block, first, samples);
        },
        rate);
    std::vector<ComplexSample> second(rate);
    std::vector<int16_t> fromPieces(static_cast<size_t>(byPieces.maxOutputSamples(rate)));
    std::vector<int16_t> fromOneBlock(fromPieces.size());
    for (int32_t s = 0; s < seconds; ++s) {
        reads.clear();
        const int n = feeder.feedSecond(byPieces, s, fromPieces.data());
        int64_t next = int64_t(s) * rate;
        for (const auto& [first, count] : reads) {
            EXPECT_EQ(first, next);
            EXPECT_LE(count, 65536);
            next += count;
            // Pieces end where the demodulator's blocks do, but for the second's last.
            if (next < int64_t(s + 1) * rate) {
                EXPECT_EQ(next % byPieces.getInBufLimit(), 0) << next;
            }
        }
        EXPECT_EQ(next, int64_t(s + 1) * rate);

        whole(second.data(), int64_t(s) * rate, rate);
        inOneBlock.setPlayBackSec(s + 1);
        const int m = inOneBlock.ProcessData(second.data(), rate, fromOneBlock.data());
        ASSERT_EQ(n, m);
        EXPECT_TRUE(std::equal(fromPieces.begin(), fromPieces.begin() + n, fromOneBlock.begin()));
    }
}
