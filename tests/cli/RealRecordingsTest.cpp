// Recordings made by real receivers (the shared test data beside the source
// tree; skipped when it is absent): each through info, waterfall and a demod
// of the signal it is known to hold, the audio compared with a plain reference
// demodulator written here, which reads the file on its own.
#include "CliRun.h"
#include "PngSize.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kFolder = std::string(KORVEL_TEST_DATA) + "/real-recordings";

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// The reference reader: every "data" chunk of a 16-bit or 8-bit stereo WAV
// in order, I + jQ in full-scale units.
struct IqFile {
    double rate = 0.0;
    std::vector<std::complex<double>> z;
};
IqFile readIq(const std::string& path)
{
    const std::vector<uint8_t> b = fileBytes(path);
    IqFile f;
    int bits = 16;
    std::vector<uint8_t> data;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t length = le32(b, at + 4);
        const std::string id(b.begin() + at, b.begin() + at + 4);
        if (id == "fmt ") {
            f.rate = le32(b, at + 12);
            bits = b[at + 22];
        } else if (id == "data") {
            data.insert(data.end(), b.begin() + at + 8, b.begin() + std::min<size_t>(b.size(), at + 8 + length));
        }
        at += 8 + length + (length & 1);
    }
    if (bits == 8) {
        for (size_t i = 0; i + 1 < data.size(); i += 2)
            f.z.emplace_back((data[i] - 127.5) / 128.0, (data[i + 1] - 127.5) / 128.0);
    } else {
        for (size_t i = 0; i + 3 < data.size(); i += 4)
            f.z.emplace_back(int16_t(data[i] | data[i + 1] << 8) / 32768.0, int16_t(data[i + 2] | data[i + 3] << 8) / 32768.0);
    }
    return f;
}

// Mixes `hz` to 0, low-passes by averaging over 1/bandHz, and gives the mean
// magnitude of every window of `windowS` seconds from `fromS` to `toS`.
std::vector<double> referenceEnvelope(const IqFile& f, double hz, double bandHz, double fromS, double toS, double windowS)
{
    const size_t average = std::max<size_t>(1, static_cast<size_t>(f.rate / bandHz));
    const size_t first = static_cast<size_t>(fromS * f.rate);
    const size_t last = std::min(f.z.size(), static_cast<size_t>(toS * f.rate));
    std::vector<std::complex<double>> mixed(last - first);
    for (size_t k = first; k < last; ++k)
        mixed[k - first] = f.z[k] * std::polar(1.0, -2.0 * std::numbers::pi * hz * double(k) / f.rate);
    std::vector<double> magnitude(mixed.size());
    std::complex<double> sum;
    for (size_t k = 0; k < mixed.size(); ++k) {
        sum += mixed[k];
        if (k >= average)
            sum -= mixed[k - average];
        // Centred on the sample, as the pipeline's linear-phase filters are.
        if (k >= average / 2)
            magnitude[k - average / 2] = std::abs(sum) / double(average);
    }
    const size_t window = std::max<size_t>(1, static_cast<size_t>(windowS * f.rate));
    std::vector<double> out;
    for (size_t at = 0; at + window <= magnitude.size(); at += window) {
        double s = 0.0;
        for (size_t k = at; k < at + window; ++k)
            s += magnitude[k];
        out.push_back(s / double(window));
    }
    return out;
}

std::vector<double> audioEnvelope(const std::vector<int16_t>& audio, double windowS)
{
    const size_t window = std::max<size_t>(1, static_cast<size_t>(windowS * 44100.0));
    std::vector<double> out;
    for (size_t at = 0; at + window <= audio.size(); at += window) {
        double s = 0.0;
        for (size_t k = at; k < at + window; ++k)
            s += std::abs(double(audio[k]));
        out.push_back(s / double(window));
    }
    return out;
}

double correlation(std::vector<double> a, std::vector<double> b)
{
    const size_t n = std::min(a.size(), b.size());
    a.resize(n);
    b.resize(n);
    auto centre = [](std::vector<double>& v) {
        double mean = 0.0;
        for (double x : v)
            mean += x;
        mean /= double(v.size());
        for (double& x : v)
            x -= mean;
    };
    centre(a);
    centre(b);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = 0; i < n; ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

// Power of a tone of `hz` in x (at `rate`), by correlation with it.
template <typename T>
double tonePower(const std::vector<T>& x, double rate, double hz)
{
    std::complex<double> s;
    for (size_t k = 0; k < x.size(); ++k)
        s += std::complex<double>(x[k]) * std::polar(1.0, -2.0 * std::numbers::pi * hz * double(k) / rate);
    return std::norm(s);
}

// Mean power near `hz` over the whole of x: blocks of about 50 ms each
// analysed at that one frequency.
template <typename T>
double bandPower(const std::vector<T>& x, double rate, double hz)
{
    const size_t block = static_cast<size_t>(0.05 * rate);
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
    double sum = 0.0;
    for (size_t at = 0; at + block <= x.size(); at += block) {
        std::complex<double> s, turn = 1.0;
        for (size_t k = at; k < at + block; ++k, turn *= step)
            s += std::complex<double>(x[k]) * turn;
        sum += std::norm(s);
    }
    return sum + 1e-30;
}

std::vector<int16_t> wavAudio(const std::string& path)
{
    const std::vector<uint8_t> b = fileBytes(path);
    std::vector<int16_t> audio;
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        audio.push_back(int16_t(b[i] | b[i + 1] << 8));
    return audio;
}

// The JSON value of `key` as it stands ("1379551314", "\"SDRSharp\"", "null").
std::string jsonValue(const std::string& json, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos)
        return "(missing)";
    const size_t from = at + key.size() + 4;
    return json.substr(from, json.find_first_of(",\n", from) - from);
}

struct Demod {
    const char* mode;
    double lowKHz, highKHz;
    double startS, endS;
};

// How the audio is checked: the envelope of a band against the reference,
// or tones that must stand out.
struct EnvelopeCheck {
    double hz, bandHz, windowS, minCorrelation;
    double fromS = -1.0; // compared from here (default: the selection's start)
};

// For voice, whose envelope the AGC evens out: the audio's spectrum from
// 300 Hz to 2.7 kHz against the recording's from `carrierHz` up (the upper
// sideband), and not against its mirror.
struct SidebandCheck {
    double carrierHz;
};

struct RealFile {
    std::string name;
    // info --json: layout, sample rate, centre, bits, seconds, start_unix
    const char* layout;
    int sampleRate;
    const char* centerFreq;
    int bits;
    int seconds;
    const char* startUnix;
    Demod demod;
    std::optional<EnvelopeCheck> envelope;
    std::vector<double> toneHz; // audio tones that stand out (DRM pilots)
    std::optional<SidebandCheck> sideband = {};
};

const std::vector<RealFile>& realFiles()
{
    static const std::vector<RealFile> files = {
        // The strongest CW carrier at +5601.6 Hz: CWU around it gives its keying.
        {"SDRSharp_20130919_004154Z_14053kHz_IQ.wav", "SDRSharp", 48000, "14053000", 16, 12, "1379551314",
         {"CWU", 14058.4, 14058.8, 0, 12}, EnvelopeCheck{5601.6, 400.0, 0.01, 0.85}, {}},
        // Two USB voices; the upper one from +1.9 kHz.
        {"SDRSharp_20130920_024052Z_14190kHz_IQ.wav", "SDRSharp", 48000, "14190000", 16, 12, "1379644852",
         {"USB", 14191.9, 14194.9, 0, 12}, {}, {}, SidebandCheck{1900.0}},
        // DCF77 on the centre with its second marks.
        {"20171127T104156Z_77500_HB9RYZ_iq.wav", "KiwiSDR WAV", 12001, "77500", 16, 29, "1511779316",
         {"CWU", 77.45, 77.55, 0, 29}, EnvelopeCheck{0.0, 100.0, 0.01, 0.9}, {}},
        {"20200813T065220Z_77500_pa0rdt_iq.wav", "KiwiSDR WAV", 12001, "77500", 16, 29, "1597301540",
         {"CWU", 77.45, 77.55, 0, 29}, EnvelopeCheck{0.0, 100.0, 0.01, 0.9}, {}},
        {"converted/20171127T104156Z_77500_HB9RYZ_iq_joined.wav", "KiwiSDR WAV", 12001, "77500", 16, 29, "1511779316",
         {"CWU", 77.45, 77.55, 0, 29}, EnvelopeCheck{0.0, 100.0, 0.01, 0.9}, {}},
        {"converted/20200813T065220Z_77500_pa0rdt_iq_joined.wav", "KiwiSDR WAV", 12001, "77500", 16, 29, "1597301540",
         {"CWU", 77.45, 77.55, 0, 29}, EnvelopeCheck{0.0, 100.0, 0.01, 0.9}, {}},
        // An HFDL burst centred +1440 Hz (no centre frequency in the file).
        {"HFDL_test_12k_cf13270_df13270.wav", "WAV", 12000, "0", 16, 4, "null",
         {"USB", 0.3, 2.6, 0, 4}, EnvelopeCheck{1450.0, 2300.0, 0.01, 0.8}, {}},
        // DRM with its frequency pilots at +750, +2250 and +3000 Hz.
        {"converted/Delhi.828.1.12k.iq.wav", "WAV", 12001, "0", 16, 60, "null",
         {"USB", 0.0, 4.0, 10, 20}, {}, {750.0, 2250.0, 3000.0}},
        // OOK bursts at -107.4 kHz from 0.29 s (compared where they are: before
        // them the AGC lifts the noise).
        {"converted/g001_433.92M_250k_u8.wav", "WAV", 250000, "0", 8, 1, "null",
         {"USB", -110.0, -105.0, 0, 1}, EnvelopeCheck{-107500.0, 5000.0, 0.002, 0.8, 0.3}, {}},
        // The same two captures as their tools wrote them: .au (big-endian) and
        // raw cu8 (whose samples the recording tests compare with the copy's).
        {"Delhi.828.1.12k.iq.au", "AU", 12001, "828000", 16, 60, "null",
         {"USB", 828.0, 832.0, 10, 20}, {}, {750.0, 2250.0, 3000.0}},
        {"g001_433.92M_250k.cu8", "Raw I/Q", 250000, "433920000", 8, 1, "null",
         {"USB", 433810.0, 433815.0, 0, 1}, {}, {}},
        // Mode S replies, 0.178 s: one line, and the bursts in step (the AGC
        // lifts the noise between them).
        {"converted/modes1_2Msps_u8.wav", "WAV", 2000000, "0", 8, 0, "null",
         {"AM", -50.0, 50.0, 0, 1}, EnvelopeCheck{0.0, 100000.0, 0.001, 0.3}, {}},
    };
    return files;
}

class RealRecordings : public testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kFolder))
            GTEST_SKIP() << "real recordings not found beside the source tree (" << kFolder << ")";
    }
    fixtures::TempDir out;
};

} // namespace

TEST_F(RealRecordings, InfoGivesEachFilesParameters)
{
    for (const RealFile& f : realFiles()) {
        SCOPED_TRACE(f.name);
        const CliResult r = runCli({"info", kFolder + "/" + f.name, "--json"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(jsonValue(r.out, "layout"), "\"" + std::string(f.layout) + "\"");
        EXPECT_EQ(jsonValue(r.out, "sample_rate"), std::to_string(f.sampleRate));
        EXPECT_EQ(jsonValue(r.out, "center_freq"), f.centerFreq);
        EXPECT_EQ(jsonValue(r.out, "bits_per_sample"), std::to_string(f.bits));
        EXPECT_EQ(jsonValue(r.out, "seconds"), std::to_string(f.seconds));
        EXPECT_EQ(jsonValue(r.out, "start_unix"), f.startUnix);
        if (std::string(f.startUnix) == "null") {
            EXPECT_EQ(jsonValue(r.out, "start_utc"), "null");
        }
    }
}

TEST_F(RealRecordings, FilesThatAreNoRecordingAreRefusedSayingWhatTheyAre)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"modes1.bin", "not a WAV file (no RIFF/WAVE"},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        for (const char* command : {"info", "waterfall"}) {
            std::vector<std::string> args = {command, kFolder + "/" + name};
            if (std::string(command) == "waterfall")
                args.insert(args.end(), {"-o", out.path + "/x.png"});
            const CliResult r = runCli(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        }
    }
}

// A raw capture whose name says nothing opens with what the command line
// says of it, in every command that opens a recording.
TEST_F(RealRecordings, ARawFileOpensWithTheRateFormatAndCentreGiven)
{
    const std::string file = kFolder + "/modes1.bin";
    const std::vector<std::string> described = {"--rate", "2M", "--format", "cu8", "--center", "1090M"};
    std::vector<std::string> info = {"info", file, "--json"};
    info.insert(info.end(), described.begin(), described.end());
    const CliResult r = runCli(info);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(jsonValue(r.out, "layout"), "\"Raw I/Q\"");
    EXPECT_EQ(jsonValue(r.out, "sample_rate"), "2000000");
    EXPECT_EQ(jsonValue(r.out, "center_freq"), "1090000000");

    std::vector<std::string> demod = {"demod", file, "--mode", "AM", "--start", "0", "--end", "1",
                                      "--lo", "1089950", "--hi", "1090050", "-o", out.path + "/m.wav"};
    demod.insert(demod.end(), described.begin(), described.end());
    const CliResult d = runCli(demod);
    EXPECT_EQ(d.status, 0) << d.err;

    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"info", file, "--rate", "2M", "--format", "cu9"}, "--format cu9: not a sample format"},
        {{"info", file, "--rate", "fast", "--format", "cu8"}, "--rate fast: not a sample rate"},
        {{"waterfall", file, "-o", out.path + "/w.png", "--rate", "2M", "--format", "cu8", "--center"},
         "--center needs a value"},
    };
    for (const auto& [args, message] : wrong) {
        const CliResult bad = runCli(args);
        EXPECT_EQ(bad.status, 2);
        EXPECT_NE(bad.err.find(message), std::string::npos) << bad.err;
    }
}

// The OOK bursts of the raw capture, extracted for other tools: a SigMF pair
// at the selection's centre that opens again as a recording.
TEST_F(RealRecordings, ExtractWritesTheSelectionAsSigmf)
{
    const CliResult r = runCli({"extract", kFolder + "/g001_433.92M_250k.cu8", "--start", "0", "--end", "1", "--lo",
                                "433800", "--hi", "433825", "-o", out.path + "/ook"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out.path + "/ook.sigmf-data\n" + out.path + "/ook.sigmf-meta\n");
    const CliResult info = runCli({"info", out.path + "/ook.sigmf-meta", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(jsonValue(info.out, "layout"), "\"SigMF\"");
    EXPECT_EQ(jsonValue(info.out, "sample_rate"), "125000");
    EXPECT_EQ(jsonValue(info.out, "center_freq"), "433812500");
    const CliResult bad = runCli({"extract", kFolder + "/g001_433.92M_250k.cu8", "--start", "0", "--end", "1", "--lo",
                                  "433800", "--hi", "433825", "-o", out.path + "/x", "--as", "wav"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--as wav: sigmf, cf32 or ci16"), std::string::npos) << bad.err;
}

TEST_F(RealRecordings, WaterfallsDrawEveryLineWithMeasuredLevels)
{
    for (const RealFile& f : realFiles()) {
        SCOPED_TRACE(f.name);
        const std::string png = out.path + "/w.png";
        const CliResult r = runCli({"waterfall", kFolder + "/" + f.name, "-o", png, "--auto-levels"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("waterfall: levels "), std::string::npos) << r.err;
        const PngSize size = pngSize(png);
        EXPECT_EQ(size.width, 1024u);
        EXPECT_EQ(size.height, static_cast<uint32_t>(std::max(f.seconds, 1)));
    }
}

TEST_F(RealRecordings, DemodulatedAudioMatchesAPlainReference)
{
    for (const RealFile& f : realFiles()) {
        SCOPED_TRACE(f.name);
        const std::string wav = out.path + "/a.wav";
        const auto number = [](double v) {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", v);
            return std::string(text);
        };
        const CliResult r = runCli({"demod", kFolder + "/" + f.name, "--mode", f.demod.mode, "--start",
                                    number(f.demod.startS), "--end", number(f.demod.endS), "--lo",
                                    number(f.demod.lowKHz), "--hi", number(f.demod.highKHz), "-o", wav});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<int16_t> audio = wavAudio(wav);
        const IqFile iq = readIq(kFolder + "/" + f.name);
        // A selection to the last whole second also holds the part second the
        // recording ends with; one past its end stops there.
        // (A raw file, which readIq does not take, is all samples.)
        const double recordedS = iq.rate > 0.0 ? static_cast<double>(iq.z.size()) / iq.rate
                                               : static_cast<double>(fs::file_size(kFolder + "/" + f.name)) /
                                                     (f.bits / 4) / f.sampleRate;
        const double endS = f.demod.endS == std::floor(recordedS) || f.demod.endS > recordedS ? recordedS : f.demod.endS;
        EXPECT_NEAR(static_cast<double>(audio.size()), std::round((endS - f.demod.startS) * 44100.0), 1.0);
        if (f.envelope) {
            const EnvelopeCheck& e = *f.envelope;
            const double from = std::max(e.fromS, f.demod.startS);
            const std::vector<double> reference = referenceEnvelope(iq, e.hz, e.bandHz, from, f.demod.endS, e.windowS);
            const std::vector<double> heard = audioEnvelope(
                std::vector<int16_t>(audio.begin() + std::lround((from - f.demod.startS) * 44100.0), audio.end()),
                e.windowS);
            // In step: best matched at no shift, and well.
            auto shifted = [&](int lag) {
                std::vector<double> a, b;
                for (size_t i = 20; i + 20 < std::min(reference.size(), heard.size()); ++i) {
                    a.push_back(reference[i]);
                    b.push_back(heard[i + lag]);
                }
                return correlation(a, b);
            };
            const double inStep = shifted(0);
            EXPECT_GT(inStep, e.minCorrelation);
            for (int lag : {-10, -3, 3, 10})
                EXPECT_GT(inStep, shifted(lag)) << "shifted by " << lag << " windows";
        }
        for (double hz : f.toneHz) {
            // The pilot stands out of the audio as it does of the I/Q.
            const double audioRatio = tonePower(audio, 44100.0, hz) /
                                      (0.5 * (tonePower(audio, 44100.0, hz - 7.0) + tonePower(audio, 44100.0, hz + 7.0)));
            EXPECT_GT(audioRatio, 10.0) << hz << " Hz";
        }
        if (f.sideband) {
            const double offset = f.sideband->carrierHz;
            std::vector<double> heard, right, mirrored;
            for (double hz = 300.0; hz <= 2700.0; hz += 100.0) {
                heard.push_back(std::log(bandPower(audio, 44100.0, hz)));
                right.push_back(std::log(bandPower(iq.z, iq.rate, offset + hz)));
                mirrored.push_back(std::log(bandPower(iq.z, iq.rate, offset + 3000.0 - hz)));
            }
            EXPECT_GT(correlation(heard, right), 0.8);
            EXPECT_GT(correlation(heard, right), correlation(heard, mirrored) + 0.3);
        }
    }
}

// The chunks of a KiwiSDR file read as the same samples as their joined copy.
TEST_F(RealRecordings, AKiwiFileDemodulatesAsItsJoinedCopy)
{
    for (const char* name : {"20171127T104156Z_77500_HB9RYZ_iq", "20200813T065220Z_77500_pa0rdt_iq"}) {
        SCOPED_TRACE(name);
        std::vector<std::vector<int16_t>> audio;
        for (const std::string& path : {kFolder + "/" + name + ".wav", kFolder + "/converted/" + name + "_joined.wav"}) {
            const std::string wav = out.path + "/k.wav";
            const CliResult r = runCli({"demod", path, "--mode", "AM", "--start", "3", "--end", "9", "--lo", "76",
                                        "--hi", "79", "-o", wav});
            ASSERT_EQ(r.status, 0) << r.err;
            audio.push_back(wavAudio(wav));
        }
        EXPECT_EQ(audio[0], audio[1]);
    }
}
