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
    const int64_t history = static_cast<int64_t>(std::ceil(62.0 * m_SamplesPerBit)) + m_CorLen + 8;
    // Room for as much again, so that the history moves down only now and then.
    m_Capacity = 2 * history + channelizer.samplesPerHop();
    m_MarkSum.assign(m_Capacity + 1, {});
    m_SpaceSum.assign(m_Capacity + 1, {});
    m_Decision.assign(m_Capacity, 0.0f);
    m_Fill = 0;
    m_Decided = 0;
    m_Base = 0;
    m_Next = static_cast<int64_t>(2.0 * m_SamplesPerBit);
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
    // Keep from two bits before the next candidate on.
    const int64_t from = std::clamp<int64_t>(m_Next - static_cast<int64_t>(2.0 * m_SamplesPerBit) - 1, 0, m_Decided);
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
    const int64_t last = m_BitOffset[59];
    while (m_Next + last < m_Decided) {
        // 0x66 and 0x99 both begin with two different bits.
        const bool first = bit(m_Next);
        bool logged = false;
        if (bit(m_Next + m_BitOffset[1]) != first) {
            int byte = first;
            for (int k = 1; k < 8; ++k)
                byte = byte << 1 | bit(m_Next + m_BitOffset[k]);
            if (byte == 0x66 || byte == 0x99)
                logged = checkWord(m_Next, byte == 0x99);
        }
        m_Next += logged ? m_WordLength + 1 : 1;
    }
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
    // A word that passes as received is taken. One that passes only with
    // some of its least certain bits
    // turned must be followed by a second word that passes too (turning at
    // most two of its bits): without that, noise would pass for a word
    // several times as often.
    constexpr uint32_t preamble = 0xFFu << 22;
    return mend(positions, bits, preamble, kMended, [&](uint32_t first, int turned) {
        if (turned != 0 && !secondWordHolds(i, first, polarity))
            return false;
        return logWord(first & 0x3FFFFFFF, i, polarity);
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

bool DGPSDemodObject::logWord(uint32_t word, int64_t i, int polarity)
{
    const uint32_t type = RtcmWord::messageType(word);
    if (type != 6 && type != 9)
        return false;
    const int id = static_cast<int>(RtcmWord::stationId(word));
    bool matched = false;
    for (int s : m_Stations) {
        const DgpsStation& st = m_Table->station(s);
        if (st.ref1 != id && st.ref2 != id)
            continue;
        matched = true;
        m_Table->logTime(s, m_DecodeTime);
        ++m_WordsLogged;
        if (m_Observer) {
            DgpsFirstWord w;
            w.kHz = m_RadioFreq;
            w.baud = m_Baud;
            w.station = s;
            w.stationId = id;
            w.messageType = static_cast<int>(type);
            w.polarity = polarity;
            w.inputSample = (m_Base + i) * m_Decimation;
            w.time = m_DecodeTime;
            m_Observer->firstWord(w);
        }
    }
    return matched;
}
