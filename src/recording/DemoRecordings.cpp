#include "recording/DemoRecordings.h"

#include "common/ByteFields.h"
#include "common/TemporaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

enum class Layout { SdrSharp, SpectraVue, Perseus, SdrSdrStudio1, SdrSdrStudio2, SdrRadio };

enum class Modulation { Am, Usb, Lsb, Cw, Nbfm, Wfm, Carrier };

// Audio programmes, in -1..1.
enum class Programme { Melody, Tone, TwoTone, Morse };

struct Signal {
    double offsetHz;     // from the recording's centre frequency
    double amplitude;    // carrier amplitude in 16-bit units
    Modulation modulation;
    Programme programme;
    double toneHz;       // for Tone; the lower tone for TwoTone
    double fadePeriod = 0.0;  // seconds of one slow fade cycle, 0 for a steady signal
    double startsAt = 0.0;    // seconds into the recording
};

struct Recording {
    std::string fileName;
    std::string description;
    Layout layout;
    int sampleRate;
    int bits;            // 16 or 24
    int seconds;
    double centerHz;
    std::vector<Signal> signals;
    DemoRecordings::SampleSource extra = {};
};

// 2026-12-05 16:39:35 UTC, the start of every demo recording.
constexpr int kYear = 2026, kMonth = 12, kDay = 5, kHour = 16, kMinute = 39, kSecond = 35;

int64_t startUnixTime()
{
    std::tm t{};
    t.tm_year = kYear - 1900;
    t.tm_mon = kMonth - 1;
    t.tm_mday = kDay;
    t.tm_hour = kHour;
    t.tm_min = kMinute;
    t.tm_sec = kSecond;
    return static_cast<int64_t>(timegm(&t));
}

std::vector<Recording> recordings()
{
    return {
        {"SDRSharp_20261205_163935Z_7100000Hz_IQ.wav",
         "40 m band, 192 kHz: CW at 7030.0 kHz, USB at 7074.0, a weak carrier at 7054.5 from 20 s, "
         "AM at 7120.0 (also SAM), LSB at 7150.0, narrow FM at 7180.0 kHz",
         Layout::SdrSharp, 192000, 16, 60, 7100000.0,
         {{-70000.0, 1500.0, Modulation::Cw, Programme::Morse, 0.0},
          {-26000.0, 1200.0, Modulation::Usb, Programme::TwoTone, 700.0},
          {20000.0, 2500.0, Modulation::Am, Programme::Melody, 0.0},
          {50000.0, 1200.0, Modulation::Lsb, Programme::TwoTone, 900.0},
          {80000.0, 1500.0, Modulation::Nbfm, Programme::Melody, 0.0},
          {-45500.0, 120.0, Modulation::Carrier, Programme::Tone, 0.0, 0.0, 20.0}}},
        {"mediumwave-999kHz-spectravue.wav",
         "Medium wave, 250 kHz (200 kHz shown): AM stations on the 9 kHz raster, with a tone each at 909.0, "
         "918.0, 954.0, 1026.0, 1062.0 and 1089.0 kHz and with music at 999.0 kHz; 909.0, 954.0 and 1062.0 "
         "fade slowly, 1062.0 comes on at 15 s",
         Layout::SpectraVue, 250000, 16, 60, 999000.0,
         {{-90000.0, 900.0, Modulation::Am, Programme::Tone, 400.0, 37.0},
          {-81000.0, 2500.0, Modulation::Am, Programme::Tone, 600.0},
          {-45000.0, 300.0, Modulation::Am, Programme::Tone, 800.0, 23.0},
          {0.0, 4000.0, Modulation::Am, Programme::Melody, 0.0},
          {27000.0, 1500.0, Modulation::Am, Programme::Tone, 1000.0},
          {63000.0, 150.0, Modulation::Am, Programme::Tone, 1200.0, 29.0, 15.0},
          {90000.0, 2000.0, Modulation::Am, Programme::Tone, 500.0}}},
        {"longwave-300kHz-perseus.wav",
         "Long wave, 125 kHz, 24-bit: keyed beacon carriers at 280.0 and 310.0 kHz (CWU/CWL), AM at 330.0 kHz",
         Layout::Perseus, 125000, 24, 60, 300000.0,
         {{-20000.0, 800.0, Modulation::Cw, Programme::Morse, 0.0},
          {10000.0, 400.0, Modulation::Cw, Programme::Morse, 0.0},
          {30000.0, 1500.0, Modulation::Am, Programme::Tone, 1020.0}}},
        {"fm-broadcast-100MHz-studio2.wav",
         "FM broadcast, 500 kHz: a wide FM station at 100.1 MHz with a 19 kHz pilot (WFM)",
         Layout::SdrSdrStudio2, 500000, 16, 10, 100000000.0,
         {{100000.0, 3000.0, Modulation::Wfm, Programme::Melody, 0.0}}},
        {"shortwave-5000kHz-sdrradio.wav",
         "Short wave, 48 kHz: AM time-signal style tones at 5000.0 kHz, a weak carrier at 5012.0 kHz",
         Layout::SdrRadio, 48000, 16, 120, 5000000.0,
         {{0.0, 3000.0, Modulation::Am, Programme::Tone, 1000.0},
          {12000.0, 200.0, Modulation::Carrier, Programme::Tone, 0.0, 45.0}}},
        {"20m-14200kHz-studio1.wav",
         "20 m band, 96 kHz, 24-bit: USB at 14180.0 kHz, LSB at 14225.0 kHz, CW at 14210.0 kHz",
         Layout::SdrSdrStudio1, 96000, 24, 60, 14200000.0,
         {{-20000.0, 1500.0, Modulation::Usb, Programme::Melody, 0.0},
          {25000.0, 1500.0, Modulation::Lsb, Programme::Melody, 0.0},
          {10000.0, 800.0, Modulation::Cw, Programme::Morse, 0.0}}},
    };
}

// Morse keying of the demo call at 20 words per minute, with 5 ms raised-cosine edges.
double morseKey(double t)
{
    static const char* pattern =
        // C Q   D E   K O R V E L, as dits (1), dahs (3) and gaps
        "-.-. --.-  -.. .  -.- --- .-. ...- . .-..       ";
    constexpr double dit = 0.06;
    static const std::vector<std::pair<double, double>> marks = [] {
        std::vector<std::pair<double, double>> m;
        double at = 0.0;
        for (const char* p = pattern; *p; ++p) {
            if (*p == '.' || *p == '-') {
                double len = (*p == '.' ? 1 : 3) * dit;
                m.emplace_back(at, at + len);
                at += len + dit;
            } else {
                at += 2 * dit;
            }
        }
        m.emplace_back(at, at);  // total length marker
        return m;
    }();
    const double period = marks.back().first;
    double u = std::fmod(t, period);
    constexpr double edge = 0.005;
    for (size_t i = 0; i + 1 < marks.size(); ++i) {
        auto [on, off] = marks[i];
        if (u < on || u >= off)
            continue;
        double fromOn = u - on, toOff = off - u;
        double e = std::min(fromOn, toOff);
        return e >= edge ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * e / edge);
    }
    return 0.0;
}

double melodyFrequency(double t)
{
    static const double notes[] = {523.25, 587.33, 659.25, 698.46, 783.99, 698.46, 659.25, 587.33};
    return notes[static_cast<int>(t / 0.4) % 8];
}

// One signal's generator state, advanced one sample at a time.
class SignalSynth {
public:
    SignalSynth(const Signal& s, int rate) : sig(s), fs(rate) {}

    void add(double t, double& i, double& q)
    {
        if (t < sig.startsAt)
            return;
        double a = sig.amplitude;
        if (sig.fadePeriod > 0.0)
            a *= 0.55 + 0.45 * std::cos(kTwoPi * t / sig.fadePeriod);
        double audio = 0.0;
        double audioFreq = sig.programme == Programme::Melody ? melodyFrequency(t) : sig.toneHz;
        audioPhase = std::fmod(audioPhase + kTwoPi * audioFreq / fs, kTwoPi);
        switch (sig.programme) {
        case Programme::Melody:
        case Programme::Tone:
            audio = std::sin(audioPhase);
            break;
        case Programme::TwoTone:
            audio = 0.0;
            break;
        case Programme::Morse:
            audio = morseKey(t);
            break;
        }

        double phase = carrierPhase;
        double freq = sig.offsetHz;
        switch (sig.modulation) {
        case Modulation::Am:
            a *= 1.0 + 0.6 * audio;
            break;
        case Modulation::Carrier:
            break;
        case Modulation::Cw:
            a *= audio;
            break;
        case Modulation::Nbfm:
            freq += 2500.0 * audio;
            break;
        case Modulation::Wfm:
            freq += 75000.0 * (0.9 * audio + 0.1 * std::sin(kTwoPi * 19000.0 * t));
            break;
        case Modulation::Usb:
        case Modulation::Lsb: {
            // Single sideband: the audio tones sit above (USB) or below (LSB) the suppressed carrier.
            double sign = sig.modulation == Modulation::Usb ? 1.0 : -1.0;
            double f1 = sig.programme == Programme::TwoTone ? sig.toneHz : audioFreq;
            double f2 = sig.programme == Programme::TwoTone ? sig.toneHz * 2.5 : audioFreq * 1.5;
            tonePhase1 = std::fmod(tonePhase1 + kTwoPi * f1 / fs, kTwoPi);
            tonePhase2 = std::fmod(tonePhase2 + kTwoPi * f2 / fs, kTwoPi);
            double p1 = phase + sign * tonePhase1, p2 = phase + sign * tonePhase2;
            i += 0.5 * a * (std::cos(p1) + std::cos(p2));
            q += 0.5 * a * (std::sin(p1) + std::sin(p2));
            carrierPhase = std::fmod(carrierPhase + kTwoPi * freq / fs, kTwoPi);
            return;
        }
        }
        i += a * std::cos(phase);
        q += a * std::sin(phase);
        carrierPhase = std::fmod(carrierPhase + kTwoPi * freq / fs, kTwoPi);
    }

private:
    Signal sig;
    double fs;
    double carrierPhase = 0.0;
    double audioPhase = 0.0;
    double tonePhase1 = 0.0;
    double tonePhase2 = 0.0;
};

// Gaussian noise from a fixed seed, so every demo folder is the same.
class Noise {
public:
    double next()
    {
        if (haveSpare) {
            haveSpare = false;
            return spare;
        }
        double u1, u2;
        do {
            u1 = uniform();
        } while (u1 <= 1e-300);
        u2 = uniform();
        double r = std::sqrt(-2.0 * std::log(u1));
        spare = r * std::sin(kTwoPi * u2);
        haveSpare = true;
        return r * std::cos(kTwoPi * u2);
    }

private:
    double uniform()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return (state >> 11) * (1.0 / 9007199254740992.0);
    }
    uint64_t state = 0x9E3779B97F4A7C15ull;
    double spare = 0.0;
    bool haveSpare = false;
};

class ByteWriter {
public:
    explicit ByteWriter(size_t size) : bytes(size, 0) {}
    void text(size_t at, const char* s) { std::memcpy(&bytes[at], s, std::strlen(s)); }
    void u16(size_t at, uint32_t v) { ByteFields::putU16(&bytes[at], static_cast<uint16_t>(v)); }
    void u32(size_t at, uint32_t v) { ByteFields::putU32(&bytes[at], v); }
    std::vector<uint8_t> bytes;
};

void writeWaveFormat(ByteWriter& h, const Recording& r, uint32_t fmtLength)
{
    const uint32_t bytesPerValue = r.bits / 8;
    h.text(0, "RIFF");
    h.text(8, "WAVEfmt ");
    h.u32(16, fmtLength);
    h.u16(20, 1);
    h.u16(22, 2);
    h.u32(24, r.sampleRate);
    h.u32(28, r.sampleRate * 2 * bytesPerValue);
    h.u16(32, 2 * bytesPerValue);
    h.u16(34, r.bits);
}

void writeSystemTime(ByteWriter& h, size_t at, int64_t unixTime)
{
    std::time_t tt = static_cast<std::time_t>(unixTime);
    std::tm t{};
    gmtime_r(&tt, &t);
    const int fields[8] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_wday, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0};
    for (int k = 0; k < 8; ++k)
        h.u16(at + 2 * k, static_cast<uint32_t>(fields[k]));
}

// The bytes in front of the samples, with the RIFF and data lengths filled in.
std::vector<uint8_t> header(const Recording& r, uint64_t dataBytes)
{
    const int64_t start = startUnixTime();
    const int64_t stop = start + r.seconds;
    const uint32_t center = static_cast<uint32_t>(r.centerHz);
    switch (r.layout) {
    case Layout::SdrSharp: {
        ByteWriter h(44);
        writeWaveFormat(h, r, 16);
        h.text(36, "data");
        h.u32(40, static_cast<uint32_t>(dataBytes));
        return h.bytes;
    }
    case Layout::SpectraVue: {
        ByteWriter h(122);
        writeWaveFormat(h, r, 16);
        h.text(36, "auxi");
        h.u32(40, 70);
        writeSystemTime(h, 46, start);
        writeSystemTime(h, 62, stop);
        h.u32(78, center);
        h.u32(90, static_cast<uint32_t>(r.sampleRate * 0.8));
        h.text(114, "data");
        h.u32(118, static_cast<uint32_t>(dataBytes));
        return h.bytes;
    }
    case Layout::Perseus: {
        ByteWriter h(86);
        writeWaveFormat(h, r, 16);
        h.text(36, "rcvr");
        h.u32(40, 34);
        h.u32(44, center);
        h.u32(48, 0);  // rate index 0: 125000 samples per second
        h.u32(52, static_cast<uint32_t>(start));
        h.text(78, "data");
        h.u32(82, static_cast<uint32_t>(dataBytes));
        return h.bytes;
    }
    case Layout::SdrSdrStudio1: {
        ByteWriter h(90);
        writeWaveFormat(h, r, 16);
        h.text(36, "auxi");
        h.u32(40, 38);
        h.u32(44, center);
        h.u32(52, static_cast<uint32_t>(start));
        h.text(82, "data");
        h.u32(86, static_cast<uint32_t>(dataBytes));
        return h.bytes;
    }
    case Layout::SdrSdrStudio2: {
        ByteWriter h(216);
        writeWaveFormat(h, r, 16);
        h.text(36, "rcvr");
        h.u32(40, 164);
        writeSystemTime(h, 44, start);
        writeSystemTime(h, 60, stop);
        h.u32(76, center);
        h.text(208, "data");
        h.u32(212, static_cast<uint32_t>(dataBytes));
        return h.bytes;
    }
    case Layout::SdrRadio: {
        char text[400];
        std::snprintf(text, sizeof text,
                      "<Korvel demo> BitsPerSample=\"%d\" BytesPerSecond=\"%d\" RadioCenterFreq=\"%u\" "
                      "SampleRate=\"%d\" UTCSeconds=\"%lld\"",
                      r.bits, r.sampleRate * 2 * (r.bits / 8), center, r.sampleRate, static_cast<long long>(start));
        const size_t textLength = std::strlen(text);
        const uint32_t auxiLength = static_cast<uint32_t>(6 + 2 * (textLength + 1));
        ByteWriter h(46 + auxiLength + 8);
        writeWaveFormat(h, r, 18);
        h.text(38, "auxi");
        h.u32(42, auxiLength);
        for (size_t k = 0; k < textLength; ++k)
            h.u16(52 + 2 * k, static_cast<uint8_t>(text[k]));
        h.text(46 + auxiLength, "data");
        h.u32(50 + auxiLength, static_cast<uint32_t>(dataBytes));
        return h.bytes;
    }
    }
    return {};
}

bool writeRecording(const Recording& r, const std::filesystem::path& folder, std::string& error)
{
    const uint64_t bytesPerSample = 2 * (r.bits / 8);
    const uint64_t total = static_cast<uint64_t>(r.sampleRate) * r.seconds;
    const uint64_t dataBytes = total * bytesPerSample;
    const std::vector<uint8_t> head = header(r, dataBytes);
    const size_t headerSize = head.size();
    std::vector<uint8_t> bytes(headerSize + dataBytes);
    std::copy(head.begin(), head.end(), bytes.begin());
    ByteFields::putU32(&bytes[4], static_cast<uint32_t>(bytes.size() - 8));

    std::vector<SignalSynth> synths;
    for (const Signal& s : r.signals)
        synths.emplace_back(s, r.sampleRate);
    Noise noise;
    const double noiseLevel = 4.0;
    const double scale = r.bits == 24 ? 256.0 : 1.0;
    const int64_t limit = r.bits == 24 ? 8388607 : 32767;
    uint8_t* out = bytes.data() + headerSize;
    for (uint64_t n = 0; n < total; ++n) {
        const double t = static_cast<double>(n) / r.sampleRate;
        double i = noiseLevel * noise.next(), q = noiseLevel * noise.next();
        for (SignalSynth& s : synths)
            s.add(t, i, q);
        if (r.extra)
            r.extra(static_cast<int64_t>(n), i, q);
        for (double v : {i, q}) {
            int64_t x = std::clamp<int64_t>(std::llround(v * scale), -limit, limit);
            for (int k = 0; k < r.bits / 8; ++k)
                *out++ = static_cast<uint8_t>(static_cast<uint64_t>(x) >> (8 * k));
        }
    }

    const std::string target = (folder / r.fileName).string();
    TemporaryFile file;
    if (!file.open(target, error))
        return false;
    file.write(bytes.data(), bytes.size());
    if (const int failure = file.commit()) {
        error = "cannot write \"" + target + "\": " + std::strerror(failure);
        return false;
    }
    return true;
}

// The spectrum a signal occupies around its frequency, kHz.
std::pair<double, double> occupiedKHz(const Signal& s)
{
    switch (s.modulation) {
    case Modulation::Am: return {-1.5, 1.5};
    case Modulation::Usb: return {0.0, 3.0};
    case Modulation::Lsb: return {-3.0, 0.0};
    case Modulation::Cw: return {-0.2, 0.2};
    case Modulation::Nbfm: return {-3.5, 3.5};
    case Modulation::Wfm: return {-95.0, 95.0};
    case Modulation::Carrier: return {-0.05, 0.05};
    }
    return {0.0, 0.0};
}

} // namespace

std::vector<DemoRecordings::Entry> DemoRecordings::catalogue()
{
    std::vector<Entry> list;
    for (const Recording& r : recordings()) {
        Entry entry{r.fileName, r.description, {}};
        for (const auto& s : r.signals) {
            const double kHz = (r.centerHz + s.offsetHz) / 1000.0;
            const auto [below, above] = occupiedKHz(s);
            entry.signals.push_back({kHz, kHz + below, kHz + above});
        }
        list.push_back(std::move(entry));
    }
    return list;
}

bool DemoRecordings::writeAll(const std::string& folder, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    for (const Recording& r : recordings())
        if (!writeRecording(r, folder, error))
            return false;
    return true;
}

bool DemoRecordings::writeExtra(const std::string& folder, const Entry& entry, int sampleRate, int seconds,
                                double centerHz, const SampleSource& source, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    const Recording r{entry.fileName, entry.description, Layout::SdrSharp, sampleRate, 16, seconds, centerHz, {}, source};
    return writeRecording(r, folder, error);
}
