#include "demod/IqExtractJob.h"
#include "recording/RecordingObject.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace fs = std::filesystem;

namespace {

constexpr int32_t kRate = 48000;

// A plain 16-bit WAVE recording (centre 0 Hz) of a tone at +hz: I = cos, Q = sin.
std::vector<uint8_t> toneRecording(double hz, int seconds)
{
    fixtures::Bytes samples;
    for (int64_t k = 0; k < int64_t{kRate} * seconds; ++k) {
        const double phase = 2.0 * std::numbers::pi * hz * static_cast<double>(k) / kRate;
        samples.i16(static_cast<int16_t>(std::lround(8000.0 * std::cos(phase))));
        samples.i16(static_cast<int16_t>(std::lround(8000.0 * std::sin(phase))));
    }
    fixtures::WaveFormat f;
    f.sampleRate = kRate;
    return fixtures::riffFile({{"fmt ", fixtures::fmtPayload(f, 16)}}, samples.v).bytes;
}

// The frequency of a tone in I/Q pairs (I + jQ), from its mean phase step.
double toneHz(const std::vector<std::complex<double>>& z, double rate)
{
    std::complex<double> sum;
    for (size_t k = z.size() / 4; k + 1 < z.size(); ++k)
        sum += z[k + 1] * std::conj(z[k]);
    return std::arg(sum) * rate / (2.0 * std::numbers::pi);
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// The selection's band moves to 0 Hz at the pipeline rate: a tone 300 Hz
// above the middle of the band is at +300 Hz in the file, in every format;
// the SigMF pair opens as a recording at the selection's centre frequency.
TEST(IqExtractJob, TheSelectionIsTunedToZeroAtThePipelineRate)
{
    fixtures::TempDir dir;
    dir.write("tone.wav", toneRecording(10300.0, 3));
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(dir.path + "/tone.wav", lines);
    ASSERT_TRUE(recording.isValidRecordingFile());
    const Selection selection{1, 3, 9.0, 11.0, 0.0};
    const double rate = IqExtractJob::outputRateFor(kRate, 2000.0);
    ASSERT_EQ(rate, 6000.0);

    for (const auto format : {IqExtractJob::Format::Sigmf, IqExtractJob::Format::Cf32, IqExtractJob::Format::Ci16}) {
        SCOPED_TRACE(static_cast<int>(format));
        const std::string target = dir.path + (format == IqExtractJob::Format::Ci16 ? "/out.cs16" : "/out.cf32");
        IqExtractJob job(recording, selection, format, format == IqExtractJob::Format::Sigmf ? dir.path + "/out" : target);
        const IqExtractJob::Result result = job.run();
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.sampleRate, 6000.0);
        EXPECT_EQ(result.centerFreq, 10000.0);
        EXPECT_NEAR(static_cast<double>(result.samples), 2 * 6000.0, 8.0);

        RecordingObject extracted;
        RawIqSettings raw;
        raw.sampleRate = 6000;
        raw.centerFreq = 10000.0;
        extracted.setRawIqSettings(raw);
        extracted.setRecordingFile(format == IqExtractJob::Format::Sigmf ? dir.path + "/out.sigmf-meta" : target, lines);
        ASSERT_TRUE(extracted.isValidRecordingFile()) << lines.back();
        EXPECT_EQ(extracted.layoutName(), format == IqExtractJob::Format::Sigmf ? "SigMF" : "Raw I/Q");
        EXPECT_EQ(extracted.parameters().mSampleRate, 6000);
        EXPECT_EQ(extracted.parameters().mCenterFreq, 10000.0);
        EXPECT_EQ(extracted.sampleCount(), result.samples);
        std::vector<ComplexSample> block(static_cast<size_t>(result.samples));
        ASSERT_EQ(extracted.getData(block.data(), 0.0, result.samples), result.samples);
        std::vector<std::complex<double>> z;
        for (const ComplexSample& s : block)
            z.emplace_back(s.im, s.re);
        EXPECT_NEAR(toneHz(z, 6000.0), 300.0, 1.0);
        EXPECT_GT(std::abs(z.back()), 4000.0);
    }
    EXPECT_EQ(IqExtractJob::sigmfStem("a/b.sigmf-meta"), "a/b");
    EXPECT_EQ(IqExtractJob::sigmfStem("a/b.sigmf-data"), "a/b");
}

// A failure leaves neither file of the pair, and an old pair stays whole.
TEST(IqExtractJob, AFailedRunLeavesNothingAndKeepsWhatWasThere)
{
    fixtures::TempDir dir;
    dir.write("tone.wav", toneRecording(1000.0, 2));
    dir.write("old.sigmf-data", {1, 2, 3});
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(dir.path + "/tone.wav", lines);
    IqExtractJob cancelled(recording, Selection{0, 2, -1.0, 1.0, 0.0}, IqExtractJob::Format::Sigmf,
                           dir.path + "/old.sigmf-meta");
    cancelled.setProgress([&](int32_t) { cancelled.cancel(); });
    EXPECT_FALSE(cancelled.run().ok);
    EXPECT_EQ(readFile(dir.path + "/old.sigmf-data"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(fs::exists(dir.path + "/old.sigmf-meta"));

    IqExtractJob beyond(recording, Selection{5, 6, -1.0, 1.0, 0.0}, IqExtractJob::Format::Cf32, dir.path + "/x.cf32");
    const IqExtractJob::Result result = beyond.run();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("no samples"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}
