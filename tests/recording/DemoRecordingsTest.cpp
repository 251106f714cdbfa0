#include "recording/DemoRecordings.h"
#include "recording/RecordingObject.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kFrame = 4096;

// In-place radix-2 transform of kFrame points.
void transform(std::vector<std::complex<double>>& x)
{
    const size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1.0;
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                const std::complex<double> u = x[i + k], v = x[i + k + len / 2] * w;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
            }
        }
    }
}

// Power per bin over one second (Hann-windowed frames averaged), bin 0 at the
// lowest frequency, with the samples taken as I + jQ.
std::vector<double> powerSpectrum(RecordingObject& r, int second)
{
    std::vector<ComplexSample> block(static_cast<size_t>(r.parameters().mSampleRate));
    const int64_t got = r.getData(block.data(), second, r.parameters().mSampleRate);
    std::vector<double> power(kFrame, 0.0);
    std::vector<std::complex<double>> x(kFrame);
    for (int64_t start = 0; start + kFrame <= got; start += kFrame) {
        for (int k = 0; k < kFrame; ++k) {
            const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * k / kFrame);
            x[k] = w * std::complex<double>(block[start + k].im, block[start + k].re);
        }
        transform(x);
        for (int k = 0; k < kFrame; ++k)
            power[(k + kFrame / 2) % kFrame] += std::norm(x[k]);
    }
    return power;
}

bool describes(const std::string& description, double kHz)
{
    char text[32];
    std::snprintf(text, sizeof text, kHz < 30000.0 ? "%.1f" : "%.1f MHz", kHz < 30000.0 ? kHz : kHz / 1000.0);
    return description.find(text) != std::string::npos;
}

} // namespace

// Each description names every signal of its recording, and each signal lies
// inside the band the waterfall shows and is there to be heard.
TEST(DemoRecordings, EachDescriptionNamesWhatTheRecordingHoldsInsideTheBandShown)
{
    fixtures::TempDir dir;
    std::string error;
    ASSERT_TRUE(DemoRecordings::writeAll(dir.path, error)) << error;
    for (const DemoRecordings::Entry& entry : DemoRecordings::catalogue()) {
        SCOPED_TRACE(entry.fileName);
        RecordingObject r;
        std::vector<std::string> lines;
        r.setRecordingFile(dir.path + "/" + entry.fileName, lines);
        ASSERT_TRUE(r.isValidRecordingFile());
        const double shownLowKHz = (r.parameters().mCenterFreq - r.parameters().mBandwidth / 2.0) / 1000.0;
        const double shownHighKHz = (r.parameters().mCenterFreq + r.parameters().mBandwidth / 2.0) / 1000.0;
        const double binKHz = r.parameters().mSampleRate / 1000.0 / kFrame;
        const double lowestKHz = r.parameters().mCenterFreq / 1000.0 - kFrame / 2 * binKHz;
        // Late signals have begun by then.
        const std::vector<double> power = powerSpectrum(r, std::min(30, r.parameters().mNumSeconds - 1));
        std::vector<double> sorted = power;
        std::nth_element(sorted.begin(), sorted.begin() + kFrame / 2, sorted.end());
        const double noise = sorted[kFrame / 2];

        ASSERT_FALSE(entry.signals.empty());
        for (const DemoRecordings::Signal& s : entry.signals) {
            SCOPED_TRACE(s.kHz);
            EXPECT_TRUE(describes(entry.description, s.kHz)) << entry.description;
            EXPECT_GE(s.lowKHz, shownLowKHz);
            EXPECT_LE(s.highKHz, shownHighKHz);
            const int first = static_cast<int>(std::floor((s.lowKHz - lowestKHz) / binKHz));
            const int last = static_cast<int>(std::ceil((s.highKHz - lowestKHz) / binKHz));
            ASSERT_GE(first, 0);
            ASSERT_LT(last, kFrame);
            double heard = 0.0;
            for (int k = first; k <= last; ++k)
                heard += power[k];
            EXPECT_GT(heard / (last - first + 1), 10.0 * noise);
        }
    }
}
