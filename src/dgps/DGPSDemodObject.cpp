#include "dgps/DGPSDemodObject.h"

#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/RtcmWord.h"
#include "common/SystemLog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Edge of the channel band-pass beyond its flat part of +-baud, Hz.
constexpr double kTransitionHz = 100.0;

// Least certain bits of a word tried both ways.
constexpr int kMended = 3;

// How far apart, at most, two first words confirming each other may be.
constexpr double kRepeatSeconds = 60.0;

// The word's data bits as sent: complemented when the previous word ended in 1.
uint32_t sentData(uint32_t raw30, uint32_t last2)
{
    return (raw30 >> 6) ^ ((last2 & 1) ? 0xFFFFFFu : 0u);
}

bool holds(uint32_t raw30, uint32_t last2)
{
    return RtcmWord::parity(sentData(raw30, last2), (last2 >> 1) & 1, last2 & 1) == (raw30 & 63);
}

} // namespace

DGPSDemodObject::DGPSDemodObject()
{
    SystemLog("**********DGPSDemodObject init");
}

DGPSDemodObject::~DGPSDemodObject()
{
    fftwf_free(m_Scratch);
    fftwf_free(m_ChannelOut);
}

void DGPSDemodObject::setCenterFreq(float kHz, int baud, double sdrCenterFreq, double sdrSampleRate)
{
    m_OwnChannelizer = std::make_unique<DgpsChannelizer>(sdrSampleRate);
    setCenterFreq(kHz, baud, sdrCenterFreq, *m_OwnChannelizer);
}

void DGPSDemodObject::setCenterFreq(float kHz, int baud, double sdrCenterFreq, const DgpsChannelizer& shared)
{
    m_RadioFreq = kHz;
    m_Baud = baud;
    m_CenterFreq = sdrCenterFreq;
    const double start = kHz - 0.6;
    SystemLog("tuned: %g  baud %g   center %g   startFreq %g   endFreq %g   nco %g   bw %g", kHz,
              static_cast<double>(baud), 600.0, start, kHz - (baud == 100 ? 0.45 : 0.3),
              start * 1000.0 - sdrCenterFreq, baud == 100 ? 150.0 : 300.0);
    tune(shared);
    setStationTable(m_Table);
}

void DGPSDemodObject::tune(const DgpsChannelizer& channelizer)
{
    const double offset = 1000.0 * m_RadioFreq - m_CenterFreq;
    // A signal above the centre lies at negative frequency in re + j*im.
    m_Channel = channelizer.channel(-offset, m_Baud - kTransitionHz / 2, kTransitionHz);
    m_Decimation = channelizer.decimation();
    const double rate = channelizer.outputRate();
    m_SamplesPerBit = rate / m_Baud;
    m_CorLen = std::max(1, static_cast<int>(std::lround(m_SamplesPerBit)));
    m_WordLength = static_cast<int64_t>(30.0 * m_SamplesPerBit);
    for (int k = 0; k < kBitOffsets; ++k)
        m_BitOffset[k] = static_cast<int64_t>(k * m_SamplesPerBit);
    const double mark = m_Channel.residualHz - m_Baud / 4.0;
    const double space = m_Channel.residualHz + m_Baud / 4.0;
    m_MarkStep = std::polar(1.0, -2.0 * std::numbers::pi * mark / rate);
    m_SpaceStep = std::polar(1.0, -2.0 * std::numbers::pi * space / rate);
    SystemLog("iQCenterFreq %f", m_CenterFreq);
    SystemLog("sampleRate %f", channelizer.sampleRate());
    SystemLog("radioFreq %f", m_RadioFreq);
    SystemLog("freqMark %f", offset);
    SystemLog("freqMark %f", offset + m_Baud / 4.0);
    SystemLog("freqSpace %f", offset);
    SystemLog("freqSpace %f", offset - m_Baud / 4.0);

    // A word's check reads from two bits before it to its last bit, and the
    // last decision needs one bit of samples beyond its start.
    const int64_t history = static_cast<int64_t>(std::ceil(63.0 * m_SamplesPerBit)) + m_CorLen + 8;
    // Room for as much again, so that the history moves down only now and then.
    m_Capacity = 2 * history + channelizer.samplesPerHop();
    m_MarkSum.assign(m_Capacity + 1, {});
    m_SpaceSum.assign(m_Capacity + 1, {});
    m_Decision.assign(m_Capacity, 0.0f);
    m_Fill = 0;
    m_Decided = 0;
    m_Base = 0;
    m_Next = static_cast<int64_t>(2.0 * m_SamplesPerBit);
    m_PhaseStep = std::max<int64_t>(1, static_cast<int64_t>(m_SamplesPerBit / 4.0));
    for (Frame& f : m_Frames)
        f = {};
    for (Recent& r : m_Recent)
        r = {};
    m_MarkPhase = m_SpacePhase = 1.0;
    fftwf_free(m_Scratch);
    fftwf_free(m_ChannelOut);
    m_Scratch = fftwf_alloc_complex(channelizer.channelSize());
    m_ChannelOut = fftwf_alloc_complex(channelizer.channelSize());
}

void DGPSDemodObject::setStationTable(DgpsStationTable* table)
{
    m_Table = table;
    m_Stations.clear();
    if (!table)
        return;
    for (int s = 0; s < table->numDgpsStations(); ++s) {
        const DgpsStation& st = table->station(s);
        if (st.kHz == m_RadioFreq && st.baud == static_cast<float>(m_Baud))
            m_Stations.push_back(s);
    }
}

int DGPSDemodObject::ProcessData(const ComplexSample* block, int n)
{
    if (m_OwnChannelizer)
        m_OwnChannelizer->ProcessData(n, block, [this] { ProcessSpectrum(*m_OwnChannelizer); });
    return 0;
}

void DGPSDemodObject::ProcessSpectrum(const DgpsChannelizer& channelizer)
{
    channelizer.extract(m_Channel, m_Scratch, m_ChannelOut);
    processChannel(m_ChannelOut, channelizer.samplesPerHop());
}

bool DGPSDemodObject::locked() const
{
    for (const Frame& f : m_Frames)
        if (f.active && f.locked)
            return true;
    return false;
}

void DGPSDemodObject::compact()
{
    // Keep from two bits before the next word or candidate on.
    int64_t next = locked() ? m_Decided : m_Next;
    for (const Frame& f : m_Frames)
        if (f.active)
            next = std::min(next, f.next - 2 * m_PhaseStep);
    const int64_t from = std::clamp<int64_t>(next - static_cast<int64_t>(2.0 * m_SamplesPerBit) - 1, 0, m_Decided);
    if (from == 0)
        return;
    const std::complex<double> markOrigin = m_MarkSum[from], spaceOrigin = m_SpaceSum[from];
    for (int64_t k = from; k <= m_Fill; ++k) {
        m_MarkSum[k - from] = m_MarkSum[k] - markOrigin;
        m_SpaceSum[k - from] = m_SpaceSum[k] - spaceOrigin;
    }
    std::memmove(m_Decision.data(), m_Decision.data() + from, sizeof(float) * (m_Decided - from));
    m_Fill -= from;
    m_Decided -= from;
    m_Next -= from;
    for (Frame& f : m_Frames)
        f.next -= from;
    m_Base += from;
}

void DGPSDemodObject::processChannel(const fftwf_complex* in, int n)
{
    if (m_Fill + n > m_Capacity)
        compact();
    // Complex products written out: std::complex's own carry checks for
    // infinities that cost more than the arithmetic here.
    double mr = m_MarkPhase.real(), mi = m_MarkPhase.imag(), sr = m_SpacePhase.real(), si = m_SpacePhase.imag();
    const double mStepR = m_MarkStep.real(), mStepI = m_MarkStep.imag();
    const double sStepR = m_SpaceStep.real(), sStepI = m_SpaceStep.imag();
    double* mark = reinterpret_cast<double*>(m_MarkSum.data());
    double* space = reinterpret_cast<double*>(m_SpaceSum.data());
    for (int k = 0; k < n; ++k) {
        const double xr = in[k][0], xi = in[k][1];
        const int64_t at = 2 * m_Fill;
        mark[at + 2] = mark[at] + (xr * mr - xi * mi);
        mark[at + 3] = mark[at + 1] + (xr * mi + xi * mr);
        space[at + 2] = space[at] + (xr * sr - xi * si);
        space[at + 3] = space[at + 1] + (xr * si + xi * sr);
        const double nmr = mr * mStepR - mi * mStepI, nsr = sr * sStepR - si * sStepI;
        mi = mr * mStepI + mi * mStepR;
        si = sr * sStepI + si * sStepR;
        mr = nmr;
        sr = nsr;
        ++m_Fill;
    }
    const double mNorm = 1.0 / std::sqrt(mr * mr + mi * mi), sNorm = 1.0 / std::sqrt(sr * sr + si * si);
    m_MarkPhase = {mr * mNorm, mi * mNorm};
    m_SpacePhase = {sr * sNorm, si * sNorm};
    for (; m_Decided + m_CorLen <= m_Fill; ++m_Decided) {
        const int64_t a = 2 * m_Decided, b = 2 * (m_Decided + m_CorLen);
        const double markR = mark[b] - mark[a], markI = mark[b + 1] - mark[a + 1];
        const double spaceR = space[b] - space[a], spaceI = space[b + 1] - space[a + 1];
        m_Decision[m_Decided] = static_cast<float>((markR * markR + markI * markI) - (spaceR * spaceR + spaceI * spaceI));
    }
    examine();
}

void DGPSDemodObject::examine()
{
    // Frames and the hunt move on in the order of their places in the
    // stream, so that each sees the others as they stand there.
    const int64_t huntAhead = m_BitOffset[1] + 2 * m_PhaseStep + m_BitOffset[59];
    const int64_t wordAhead = m_PhaseStep + m_BitOffset[29];
    for (;;) {
        Frame* first = nullptr;
        for (Frame& f : m_Frames)
            if (f.active && (!first || f.next < first->next || (f.next == first->next && f.start < first->start)))
                first = &f;
        const bool hunting = !locked();
        if (hunting && (!first || m_Next < first->next)) {
            if (m_Next + huntAhead >= m_Decided)
                return;
            hunt();
        } else if (first) {
            if (first->next + wordAhead >= m_Decided)
                return;
            followWord(*first);
        } else {
            return;
        }
    }
}

int DGPSDemodObject::preambleAt(int64_t i) const
{
    // 0x66 and 0x99 both begin with two different bits.
    const bool first = bit(i);
    if (bit(i + m_BitOffset[1]) == first)
        return -1;
    int byte = first;
    for (int k = 1; k < 8; ++k)
        byte = byte << 1 | bit(i + m_BitOffset[k]);
    return byte == 0x66 ? 0 : byte == 0x99 ? 1 : -1;
}

int64_t DGPSDemodObject::bestPhase(int64_t from, int64_t to, bool preambleOnly, float* sum) const
{
    int64_t best = from;
    float bestSum = -1.0f;
    for (int64_t p = from; p <= to; ++p) {
        if (preambleOnly && preambleAt(p) < 0)
            continue;
        float sum = 0.0f;
        for (int k = 0; k < 30; ++k)
            sum += std::abs(m_Decision[p + m_BitOffset[k]]);
        if (sum > bestSum) {
            bestSum = sum;
            best = p;
        }
    }
    if (sum)
        *sum = bestSum;
    return best;
}

void DGPSDemodObject::hunt()
{
    if (preambleAt(m_Next) < 0) {
        ++m_Next;
        return;
    }
    // Take the word where its bits are surest, not where the preamble first
    // shows: bits read half a bit early or late mend into wrong words far
    // more often. Phases within a quarter bit of the best are tried next.
    const int64_t oneBit = m_BitOffset[1];
    const int64_t best = bestPhase(m_Next, m_Next + oneBit, true);
    for (int64_t d = 0; d <= 2 * m_PhaseStep; ++d) {
        for (const int64_t at : {best + d, best - d}) {
            if ((d == 0 && at != best) || at < m_Next)
                continue;
            const int polarity = preambleAt(at);
            if (polarity >= 0 && checkWord(at, polarity)) {
                // Hunting goes on right after the phases tried: the word may
                // be data, hiding a real first word that begins inside it.
                m_Next = best + 2 * m_PhaseStep + 1;
                return;
            }
            if (d == 0)
                break;
        }
    }
    m_Next += m_PhaseStep + 1;
}

template <class Accept>
bool DGPSDemodObject::mend(const int64_t (&positions)[32], uint32_t bits, uint32_t fixed, int most,
                           Accept&& accept) const
{
    // The weakest bits are kept in an array of kMended: no caller may ask for more.
    most = std::clamp(most, 0, kMended);
    int weakest[kMended] = {};
    int found = 0;
    for (int k = 0; k < 32; ++k) {
        if (fixed >> (31 - k) & 1)
            continue;
        const float margin = std::abs(m_Decision[positions[k]]);
        int at = found;
        while (at > 0 && std::abs(m_Decision[positions[weakest[at - 1]]]) > margin) {
            if (at < most)
                weakest[at] = weakest[at - 1];
            --at;
        }
        if (at < most) {
            weakest[at] = k;
            found = std::min(found + 1, most);
        }
    }
    for (int pattern = 0; pattern < (1 << found); ++pattern) {
        uint32_t trial = bits;
        for (int b = 0; b < found; ++b)
            if (pattern >> b & 1)
                trial ^= 1u << (31 - weakest[b]);
        if (RtcmWord::parityHolds(trial & 0x3FFFFFFF, (trial >> 31) & 1, (trial >> 30) & 1) && accept(trial, pattern))
            return true;
    }
    return false;
}

bool DGPSDemodObject::checkWord(int64_t i, int polarity)
{
    // D29*, D30*, then the word; first bit most significant.
    int64_t positions[32];
    positions[0] = i - static_cast<int64_t>(2.0 * m_SamplesPerBit);
    positions[1] = positions[0] + static_cast<int64_t>(m_SamplesPerBit);
    for (int k = 0; k < 30; ++k)
        positions[2 + k] = bitAt(i, k);
    uint32_t bits = 0;
    for (int64_t p : positions)
        bits = bits << 1 | (bit(p) ^ polarity);
    // Turned by the polarity, D30* must be 0: a 0x66 after a 1 is data sent
    // complemented, not a preamble. A word that passes as received is taken.
    // One that passes only with some of its least certain bits turned must be
    // followed by a second word that passes too (turning at most two of its
    // bits): without that, noise would pass for a word several times as often.
    constexpr uint32_t preamble = 0xFFu << 22;
    return mend(positions, bits, preamble, kMended, [&](uint32_t first, int turned) {
        if ((first >> 30) & 1)
            return false;
        if (turned != 0 && !secondWordHolds(i, first, polarity))
            return false;
        startFrame(first, i, polarity);
        return true;
    });
}

int DGPSDemodObject::readWord(int64_t at, uint32_t last2, uint32_t& raw) const
{
    int weakest[2] = {-1, -1};
    raw = 0;
    for (int k = 0; k < 30; ++k) {
        const float d = m_Decision[at + m_BitOffset[k]];
        raw = raw << 1 | (d > 0.0f);
        if (weakest[0] < 0 || std::abs(d) < std::abs(m_Decision[at + m_BitOffset[weakest[0]]])) {
            weakest[1] = weakest[0];
            weakest[0] = k;
        } else if (weakest[1] < 0 || std::abs(d) < std::abs(m_Decision[at + m_BitOffset[weakest[1]]])) {
            weakest[1] = k;
        }
    }
    // As read, then with its one or two least certain bits turned.
    for (const uint32_t turn : {0u, 1u << (29 - weakest[0]), 1u << (29 - weakest[1]),
                                1u << (29 - weakest[0]) | 1u << (29 - weakest[1])}) {
        if (holds(raw ^ turn, last2)) {
            raw ^= turn;
            return turn ? 2 : 1;
        }
    }
    return 0;
}

bool DGPSDemodObject::secondWordHolds(int64_t i, uint32_t first, int polarity) const
{
    int64_t positions[32];
    for (int k = 0; k < 32; ++k)
        positions[k] = bitAt(i, 28 + k);
    // The two last bits of the first word as received, mended where turned.
    const uint32_t d29 = ((first >> 1) & 1) ^ polarity;
    const uint32_t d30 = (first & 1) ^ polarity;
    uint32_t bits = d29 << 31 | d30 << 30;
    for (int k = 2; k < 32; ++k)
        bits |= static_cast<uint32_t>(bit(positions[k])) << (31 - k);
    if (d30)
        bits = ~bits;
    return mend(positions, bits, 3u << 30, 2, [](uint32_t, int) { return true; });
}

void DGPSDemodObject::startFrame(uint32_t first, int64_t i, int polarity)
{
    const int64_t start = m_Base + i;
    // Found already, by the hunt or by a frame that expected it there.
    for (const Frame& f : m_Frames) {
        if (!f.active)
            continue;
        if (std::abs(f.start - start) <= 2 * m_PhaseStep || (f.index == 0 && std::abs(f.next - i) <= 2 * m_PhaseStep))
            return;
    }
    Frame* slot = nullptr;
    for (Frame& f : m_Frames)
        if (!f.active && !slot)
            slot = &f;
    if (!slot) {
        // All taken: the candidate with the fewest words behind it goes (the
        // newest of those), its first word judged as if its frame had been cut.
        slot = &m_Frames[0];
        for (Frame& f : m_Frames)
            if (f.words < slot->words || (f.words == slot->words && f.start > slot->start))
                slot = &f;
        endFrame(*slot, true);
    }
    const uint32_t word = first & 0x3FFFFFFF;
    const uint32_t raw = polarity ? word ^ 0x3FFFFFFF : word;
    Frame& f = *slot;
    f = {};
    f.active = true;
    f.next = i + m_WordLength;
    f.index = 1;
    f.pending = true;
    f.last2 = raw & 3;
    f.id = static_cast<int>(RtcmWord::stationId(word));
    f.type = static_cast<int>(RtcmWord::messageType(word));
    f.polarity = polarity;
    f.start = start;
    f.time = m_DecodeTime;
}

void DGPSDemodObject::judge(Frame& f, bool countFirstWord)
{
    if (!f.pending)
        return;
    f.pending = false;
    // Types other than 6 and 9 only from a whole message, or in a locked
    // frame once their second header word held: a data word taken for a
    // first word has a second header word that holds as often as not.
    if (countFirstWord && (f.type == 6 || f.type == 9 || (f.length >= 0 && (f.locked || f.index == 0))))
        logFirstWord(f);
}

void DGPSDemodObject::endFrame(Frame& f, bool countFirstWord)
{
    // While the other rate's decoder of this channel follows a message, a
    // strong signal is there at that rate, and what this one hears of it is
    // bits read across its words.
    judge(f, countFirstWord && (f.locked || !m_Sibling || !m_Sibling->locked()));
    f.active = false;
    if (f.locked) {
        // Hunt again from just before where the word was due.
        f.locked = false;
        m_Next = std::max<int64_t>(0, f.next - 2 * m_PhaseStep);
    }
}

void DGPSDemodObject::lock(Frame& f, int64_t at)
{
    // Every other frame lies inside the whole message that just ended (its
    // first word was data) or found this same first word later than f.
    for (Frame& g : m_Frames) {
        if (&g == &f || !g.active)
            continue;
        g.pending = false;
        g.active = false;
    }
    f.locked = true;
    m_Next = at;
}

void DGPSDemodObject::finish()
{
    for (Frame& f : m_Frames)
        if (f.active)
            endFrame(f, true);
}

void DGPSDemodObject::followWord(Frame& f)
{
    const int64_t expected = f.next;
    float certainty = 0.0f;
    const int64_t at = bestPhase(expected - m_PhaseStep, expected + m_PhaseStep, false, &certainty);
    uint32_t raw = 0;
    const int read = readWord(at, f.last2, raw);
    const bool valid = read > 0;
    const uint32_t data = sentData(raw, f.last2);
    if (f.index == 0) {
        if (!valid || (data >> 16) != RtcmWord::kPreamble) {
            // A word that holds where the next first word should be, read
            // from a signal (not the silence after a recording), shows the
            // length was none: the frame began at a data word.
            endFrame(f, read != 1 || certainty <= 0.0f);
            return;
        }
        // The message before passed whole, and this first word came where its
        // length said: its first word and the message count.
        judge(f, true);
        logMessage(f);
        lock(f, at);
        const int previousId = f.id;
        f.length = -1;
        f.id = static_cast<int>(data & 0x3FF);
        f.type = static_cast<int>((data >> 10) & 63);
        f.polarity = static_cast<int>(f.last2 & 1);
        f.start = m_Base + at;
        f.time = m_DecodeTime;
        f.chained = f.id == previousId;
        f.pending = true;
        if (f.type == 6 || f.type == 9)
            judge(f, true);
    } else if (f.index == 1) {
        // Not mended: a length read wrong would put the next first word
        // where it is not, and hide the real one as data.
        if (read != 1) {
            // A candidate's first word whose second word does not hold even
            // mended is most often bits read across two words.
            const bool wasLocked = f.locked;
            endFrame(f, true);
            if (wasLocked)
                m_Next = expected + m_WordLength - 2 * m_PhaseStep;
            return;
        }
        f.length = static_cast<int>((data >> 3) & 31);
        if (f.locked)
            judge(f, true);
    } else if (!valid) {
        // A message cut short by a new one, or a word lost to noise: hunt
        // from here, where the next first word may begin at any bit.
        endFrame(f, true);
        return;
    }
    f.last2 = raw & 3;
    ++f.words;
    // Half of the phase error found, so that noise does not walk the clock.
    f.next = expected + m_WordLength + (at - expected) / 2;
    if (f.locked)
        m_Next = f.next;
    if (++f.index == f.length + 2 && f.length >= 0)
        f.index = 0;
}

void DGPSDemodObject::logFirstWord(const Frame& f)
{
    const int id = f.id;
    const int64_t at = f.start;
    // Another first word of the same ID a whole number of words before this
    // one, not too long ago, confirms it.
    bool repeated = f.chained;
    const double wordSamples = 30.0 * m_SamplesPerBit;
    const double window = kRepeatSeconds * m_Baud * m_SamplesPerBit;
    for (const Recent& r : m_Recent) {
        if (r.id != id || r.at < 0 || std::abs(at - r.at) > window || at == r.at)
            continue;
        const double words = static_cast<double>(std::abs(at - r.at)) / wordSamples;
        if (std::abs(words - std::round(words)) * wordSamples <= m_SamplesPerBit / 3.0)
            repeated = true;
    }
    m_Recent[m_RecentNext] = {at, id};
    m_RecentNext = (m_RecentNext + 1) % kRecent;

    for (int s : m_Stations) {
        const DgpsStation& st = m_Table->station(s);
        if (st.ref1 != id && st.ref2 != id)
            continue;
        m_Table->logTime(s, f.time);
        if (repeated)
            m_Table->confirmRepeat(s);
        ++m_WordsLogged;
        if (m_Observer) {
            DgpsFirstWord w;
            w.kHz = m_RadioFreq;
            w.baud = m_Baud;
            w.station = s;
            w.stationId = id;
            w.messageType = f.type;
            w.polarity = f.polarity;
            w.inputSample = at * m_Decimation;
            w.time = f.time;
            m_Observer->firstWord(w);
        }
    }
}

void DGPSDemodObject::logMessage(const Frame& f)
{
    for (int s : m_Stations) {
        const DgpsStation& st = m_Table->station(s);
        if (st.ref1 == f.id || st.ref2 == f.id)
            m_Table->logMessage(s);
    }
}
