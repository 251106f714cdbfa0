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
    m_Frame = {};
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

void DGPSDemodObject::compact()
{
    // Keep from two bits before the next word or candidate on.
    const int64_t next = m_Frame.active ? std::min(m_Next, m_Frame.next - 2 * m_PhaseStep) : m_Next;
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
    m_Frame.next -= from;
    m_Frame.start -= from;
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
    const int64_t oneBit = m_BitOffset[1];
    for (;;) {
        if (m_Frame.active) {
            if (m_Frame.next + m_PhaseStep + m_BitOffset[29] >= m_Decided)
                return;
            followWord();
        } else {
            if (m_Next + oneBit + m_BitOffset[59] >= m_Decided)
                return;
            hunt();
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

int64_t DGPSDemodObject::bestPhase(int64_t from, int64_t to, bool preambleOnly) const
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
                m_Next = m_Frame.next;
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
    int weakest[kMended];
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
    const uint32_t word = first & 0x3FFFFFFF;
    const uint32_t raw = polarity ? word ^ 0x3FFFFFFF : word;
    m_Frame = {};
    m_Frame.active = true;
    m_Frame.next = i + m_WordLength;
    m_Frame.index = 1;
    m_Frame.last2 = raw & 3;
    m_Frame.id = static_cast<int>(RtcmWord::stationId(word));
    m_Frame.type = static_cast<int>(RtcmWord::messageType(word));
    m_Frame.polarity = polarity;
    m_Frame.start = i;
    if (m_Frame.type == 6 || m_Frame.type == 9)
        logFirstWord(i);
}

void DGPSDemodObject::followWord()
{
    const int64_t expected = m_Frame.next;
    const int64_t at = bestPhase(expected - m_PhaseStep, expected + m_PhaseStep, false);
    uint32_t raw = 0;
    for (int k = 0; k < 30; ++k)
        raw = raw << 1 | bit(at + m_BitOffset[k]);
    const bool valid = holds(raw, m_Frame.last2);
    const uint32_t data = sentData(raw, m_Frame.last2);
    if (m_Frame.index == 0) {
        if (!valid || (data >> 16) != RtcmWord::kPreamble) {
            // Lost: hunt again from just before where the word was due.
            m_Frame.active = false;
            m_Next = std::max<int64_t>(0, expected - 2 * m_PhaseStep);
            return;
        }
        // The message before passed whole, and this first word came where its
        // length said: that message counts.
        if (m_Frame.logged)
            logMessage();
        const int previousId = m_Frame.id;
        m_Frame.logged = false;
        m_Frame.length = -1;
        m_Frame.id = static_cast<int>(data & 0x3FF);
        m_Frame.type = static_cast<int>((data >> 10) & 63);
        m_Frame.polarity = static_cast<int>(m_Frame.last2 & 1);
        m_Frame.start = at;
        m_Frame.chained = m_Frame.id == previousId;
        if (m_Frame.type == 6 || m_Frame.type == 9)
            logFirstWord(at);
    } else if (m_Frame.index == 1) {
        if (!valid) {
            m_Frame.active = false;
            m_Next = expected + m_WordLength - 2 * m_PhaseStep;
            return;
        }
        m_Frame.length = static_cast<int>((data >> 3) & 31);
        if (!m_Frame.logged)
            logFirstWord(m_Frame.start);
    } else if (!valid) {
        // A message cut short by a new one, or a word lost to noise: hunt
        // from here, where the next first word may begin at any bit.
        m_Frame.active = false;
        m_Next = std::max<int64_t>(0, expected - 2 * m_PhaseStep);
        return;
    }
    m_Frame.last2 = raw & 3;
    // Half of the phase error found, so that noise does not walk the clock.
    m_Frame.next = expected + m_WordLength + (at - expected) / 2;
    m_Next = m_Frame.next;
    if (++m_Frame.index == m_Frame.length + 2 && m_Frame.length >= 0)
        m_Frame.index = 0;
}

void DGPSDemodObject::logFirstWord(int64_t i)
{
    m_Frame.logged = true;
    const int id = m_Frame.id;
    const int64_t at = m_Base + i;
    // Another first word of the same ID a whole number of words before this
    // one, not too long ago, confirms it.
    bool repeated = m_Frame.chained;
    const double wordSamples = 30.0 * m_SamplesPerBit;
    const double window = kRepeatSeconds * m_Baud * m_SamplesPerBit;
    for (const Recent& r : m_Recent) {
        if (r.id != id || r.at < 0 || at - r.at > window || at <= r.at)
            continue;
        const double words = static_cast<double>(at - r.at) / wordSamples;
        if (std::abs(words - std::round(words)) * wordSamples <= m_SamplesPerBit / 3.0)
            repeated = true;
    }
    m_Recent[m_RecentNext] = {at, id};
    m_RecentNext = (m_RecentNext + 1) % kRecent;

    for (int s : m_Stations) {
        const DgpsStation& st = m_Table->station(s);
        if (st.ref1 != id && st.ref2 != id)
            continue;
        m_Table->logTime(s, m_DecodeTime);
        if (repeated)
            m_Table->confirmRepeat(s);
        ++m_WordsLogged;
        if (m_Observer) {
            DgpsFirstWord w;
            w.kHz = m_RadioFreq;
            w.baud = m_Baud;
            w.station = s;
            w.stationId = id;
            w.messageType = m_Frame.type;
            w.polarity = m_Frame.polarity;
            w.inputSample = (m_Base + i) * m_Decimation;
            w.time = m_DecodeTime;
            m_Observer->firstWord(w);
        }
    }
}

void DGPSDemodObject::logMessage()
{
    for (int s : m_Stations) {
        const DgpsStation& st = m_Table->station(s);
        if (st.ref1 == m_Frame.id || st.ref2 == m_Frame.id)
            m_Table->logMessage(s);
    }
}
