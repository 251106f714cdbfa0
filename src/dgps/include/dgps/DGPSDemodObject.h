#pragma once

#include "dgps/DgpsChannelizer.h"
#include "common/ComplexSample.h"

#include <fftw3.h>

#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

class DgpsDecodeObserver;
class DgpsStationTable;

// Watches one DGPS beacon channel (a frequency and a baud rate of 100 or 200)
// for RTCM SC-104 messages and logs, in the station table, each first word
// that names a listed station of that channel, with the evidence behind it.
//
// The channel is taken out of the full band by a DgpsChannelizer, shared with
// the other decoders of a bank or owned by this object alone, at a few
// thousand samples per second. There the energy of the upper (mark) and lower
// (space) MSK tone over one bit is measured at every sample as the squared
// magnitude of the complex correlation with each tone, so the two tones stay
// apart whatever side of the band centre the channel lies on; the sign of the
// difference is the bit decision.
//
// Hunting, every place where the decisions spell the preamble 0x66 (after a
// 0) or its complement 0x99 (after a 1) is a candidate; its bits are taken at
// the sampling phase, within one bit, where the decisions over the word are
// surest, and checked: header and parity. A word whose parity fails is mended
// by turning up to three of its least certain bits, but is then only taken
// when the word after it holds as well. Each first word found starts a
// candidate frame: the second header word gives the message length, the
// following words are read where the length puts them, the sampling phase
// tracked word by word, and the next first word is expected right after the
// message. Hunting goes on while frames are only candidates (several are
// followed at once), so that a data word that looks like a first word cannot
// hide the real one behind it. A candidate whose next first word comes where
// its length said locks the frame: the other candidates, inside its message,
// were data, and hunting rests until sync is lost (a word failing parity).
//
// A candidate's first word is judged when its frame ends: logged when the
// message passed whole, or when a word failed parity (noise or a cut message:
// no evidence against it); dropped when a word passing parity but no first
// word stands where the length put the next first word (the "first word" was
// data of another message, read with a length that is none). First words of
// types 6 and 9 count on their own; other types once their second header word
// holds. A station counts as confirmed by a whole message passing parity with
// the next first word where its length puts it, or by two first words naming
// it a whole number of words apart.
//
// Input blocks may have any length, different from call to call; every buffer
// is sized when the channel is tuned, and processing allocates nothing.
class DGPSDemodObject {
public:
    DGPSDemodObject();
    ~DGPSDemodObject();
    DGPSDemodObject(const DGPSDemodObject&) = delete;
    DGPSDemodObject& operator=(const DGPSDemodObject&) = delete;

    // kHz: channel frequency (as listed, exactly compared with the list's);
    // baud: 100 or 200; sdrCenterFreq: Hz, the centre of the blocks' band;
    // sdrSampleRate: S/s of the blocks (1000 .. 100,000,000). Sets up a
    // channelizer of this object's own for ProcessData().
    void setCenterFreq(float kHz, int baud, double sdrCenterFreq, double sdrSampleRate);
    // The same on a channelizer shared with other decoders, fed by the caller,
    // which then calls ProcessSpectrum() after each of its transforms.
    void setCenterFreq(float kHz, int baud, double sdrCenterFreq, const DgpsChannelizer& shared);

    // Stations are matched against `table` (which must outlive the decoder);
    // only those listed on this channel's frequency and baud take part.
    void setStationTable(DgpsStationTable* table);
    void setObserver(DgpsDecodeObserver* observer) { m_Observer = observer; }
    // The decoder of the same channel at the other baud rate (may be null;
    // must outlive this one): while it follows a message, first words this
    // one has not confirmed are not counted.
    void setSibling(const DGPSDemodObject* other) { m_Sibling = other; }
    // The Unix time logged for the first words found from now on.
    void setDecodeTime(int32_t unixTime) { m_DecodeTime = unixTime; }

    // n (>= 0) samples of the whole band (tuned with the first form of
    // setCenterFreq). Returns 0.
    int ProcessData(const ComplexSample* block, int n);
    // The channel's share of the shared channelizer's current transform.
    void ProcessSpectrum(const DgpsChannelizer& channelizer);

    // The end of the input: candidates still being followed are judged as
    // if their next word had failed parity.
    void finish();

    float radioFreq() const { return m_RadioFreq; }
    int baud() const { return m_Baud; }
    int64_t wordsLogged() const { return m_WordsLogged; }

private:
    void tune(const DgpsChannelizer& channelizer);
    void processChannel(const fftwf_complex* in, int n);
    void compact();
    void examine();
    void hunt();
    struct Frame;
    void followWord(Frame& f);
    int64_t bestPhase(int64_t from, int64_t to, bool preambleOnly, float* sum = nullptr) const;
    int preambleAt(int64_t i) const;
    bool checkWord(int64_t i, int polarity);
    void startFrame(uint32_t first, int64_t i, int polarity);
    void endFrame(Frame& f, bool countFirstWord);
    void judge(Frame& f, bool countFirstWord);
    void lock(Frame& f, int64_t at);
    void logFirstWord(const Frame& f);
    void logMessage(const Frame& f);
    // 1: the word at `at` holds as read; 2: with one or two of its least
    // certain bits turned (raw then mended); 0: neither.
    int readWord(int64_t at, uint32_t last2, uint32_t& raw) const;
    bool secondWordHolds(int64_t i, uint32_t first, int polarity) const;
    template <class Accept>
    bool mend(const int64_t (&positions)[32], uint32_t bits, uint32_t fixed, int most, Accept&& accept) const;
    bool bit(int64_t at) const { return m_Decision[at] > 0.0f; }
    int64_t bitAt(int64_t i, int k) const { return i + m_BitOffset[k]; }

    float m_RadioFreq = 0.0f;
    int m_Baud = 100;
    double m_CenterFreq = 0.0;
    std::unique_ptr<DgpsChannelizer> m_OwnChannelizer;
    DgpsChannelizer::Channel m_Channel;
    int m_Decimation = 1;

    double m_SamplesPerBit = 0.0; // at the channel rate
    int m_CorLen = 1;
    int64_t m_WordLength = 0;
    // Where bit k of a word starts, from the start of its first bit: the
    // exact bit length, truncated once per bit.
    static constexpr int kBitOffsets = 61;
    int64_t m_BitOffset[kBitOffsets] = {};
    std::complex<double> m_MarkStep, m_SpaceStep, m_MarkPhase{1.0}, m_SpacePhase{1.0};

    // History at the channel rate: prefix sums of the tone-mixed samples and the
    // decisions; position 0 is channel sample m_Base.
    std::vector<std::complex<double>> m_MarkSum, m_SpaceSum;
    std::vector<float> m_Decision;
    int64_t m_Capacity = 0;
    int64_t m_Fill = 0;
    int64_t m_Decided = 0;
    int64_t m_Next = 0;
    int64_t m_Base = 0;
    fftwf_complex* m_Scratch = nullptr;
    fftwf_complex* m_ChannelOut = nullptr;

    DgpsStationTable* m_Table = nullptr;
    std::vector<int> m_Stations; // listed on this channel
    DgpsDecodeObserver* m_Observer = nullptr;
    int32_t m_DecodeTime = 0;
    int64_t m_WordsLogged = 0;

    // A message being followed.
    struct Frame {
        bool active = false;
        bool locked = false;  // came where a whole message before it ended
        int64_t next = 0;     // expected start of its next word
        int index = 0;        // of that word in the message; 0: a first word
        int words = 0;        // read after its first word
        int length = -1;      // data words, from the second header word
        bool pending = false; // its first word not yet logged nor dropped
        bool chained = false; // the first word came where a message of its ID ended
        uint32_t last2 = 0;   // D29*, D30* as received
        int id = -1;
        int type = 0;
        int polarity = 0;
        int64_t start = 0;    // of its first word, channel samples from the first
        int32_t time = 0;     // decode time when its first word came
    };
    static constexpr int kFrames = 8;
    Frame m_Frames[kFrames];
    bool locked() const;
    const DGPSDemodObject* m_Sibling = nullptr;
    int64_t m_PhaseStep = 1; // tracking range either side, samples

    // Recent first words (channel sample, ID) for confirming a later one.
    struct Recent {
        int64_t at = -1;
        int id = -1;
    };
    static constexpr int kRecent = 16;
    Recent m_Recent[kRecent];
    int m_RecentNext = 0;
};
