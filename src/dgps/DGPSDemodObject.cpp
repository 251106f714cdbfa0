#include "dgps/DGPSDemodObject.h"

#include "dgps/DgpsDecodeObserver.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/RtcmWord.h"
#include "dsp/SystemLog.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Edge of the channel band-pass beyond its flat part of +-baud, Hz.
constexpr double kTransitionHz = 150.0;

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
    m_Channel = channelizer.channel(-offset, m_Baud, kTransitionHz);
    m_Decimation = channelizer.decimation();
    const double rate = channelizer.outputRate();
    m_SamplesPerBit = rate / m_Baud;
    m_CorLen = std::max(1, static_cast<int>(std::lround(m_SamplesPerBit)));
    m_WordLength = static_cast<int64_t>(30.0 * m_SamplesPerBit);
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
    const int64_t history = static_cast<int64_t>(std::ceil(32.0 * m_SamplesPerBit)) + m_CorLen + 8;
    m_Capacity = history + channelizer.samplesPerHop();
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
    for (int k = 0; k < n; ++k) {
        const std::complex<double> x(in[k][0], in[k][1]);
        m_MarkSum[m_Fill + 1] = m_MarkSum[m_Fill] + x * m_MarkPhase;
        m_SpaceSum[m_Fill + 1] = m_SpaceSum[m_Fill] + x * m_SpacePhase;
        m_MarkPhase *= m_MarkStep;
        m_SpacePhase *= m_SpaceStep;
        ++m_Fill;
    }
    m_MarkPhase /= std::abs(m_MarkPhase);
    m_SpacePhase /= std::abs(m_SpacePhase);
    for (; m_Decided + m_CorLen <= m_Fill; ++m_Decided) {
        const double mark = std::norm(m_MarkSum[m_Decided + m_CorLen] - m_MarkSum[m_Decided]);
        const double space = std::norm(m_SpaceSum[m_Decided + m_CorLen] - m_SpaceSum[m_Decided]);
        m_Decision[m_Decided] = static_cast<float>(mark - space);
    }
    examine();
}

void DGPSDemodObject::examine()
{
    const int64_t last = static_cast<int64_t>(29.0 * m_SamplesPerBit);
    while (m_Next + last < m_Decided) {
        int byte = 0;
        for (int k = 0; k < 8; ++k)
            byte = byte << 1 | bit(bitAt(m_Next, k));
        bool logged = false;
        if (byte == 0x66 || byte == 0x99)
            logged = checkWord(m_Next, byte == 0x99);
        m_Next += logged ? m_WordLength + 1 : 1;
    }
}

bool DGPSDemodObject::checkWord(int64_t i, int polarity)
{
    const int64_t before = i - static_cast<int64_t>(2.0 * m_SamplesPerBit);
    const int64_t positions[32] = {
        before, before + static_cast<int64_t>(m_SamplesPerBit),
        bitAt(i, 0), bitAt(i, 1), bitAt(i, 2), bitAt(i, 3), bitAt(i, 4), bitAt(i, 5), bitAt(i, 6), bitAt(i, 7),
        bitAt(i, 8), bitAt(i, 9), bitAt(i, 10), bitAt(i, 11), bitAt(i, 12), bitAt(i, 13), bitAt(i, 14),
        bitAt(i, 15), bitAt(i, 16), bitAt(i, 17), bitAt(i, 18), bitAt(i, 19), bitAt(i, 20), bitAt(i, 21),
        bitAt(i, 22), bitAt(i, 23), bitAt(i, 24), bitAt(i, 25), bitAt(i, 26), bitAt(i, 27), bitAt(i, 28),
        bitAt(i, 29)};
    // bits: D29*, D30*, then the word, first bit most significant.
    uint32_t bits = 0;
    for (int64_t p : positions)
        bits = bits << 1 | (bit(p) ^ polarity);
    const auto holds = [](uint32_t b) {
        return RtcmWord::parityHolds(b & 0x3FFFFFFF, (b >> 31) & 1, (b >> 30) & 1);
    };
    if (!holds(bits)) {
        // One wrong bit outside the preamble is mended: flip the least certain.
        int weakest = -1;
        float weakestMargin = 0.0f;
        for (int k = 0; k < 32; ++k) {
            if (k >= 2 && k < 10)
                continue;
            const float margin = std::abs(m_Decision[positions[k]]);
            if (weakest < 0 || margin < weakestMargin) {
                weakest = k;
                weakestMargin = margin;
            }
        }
        bits ^= 1u << (31 - weakest);
        if (!holds(bits))
            return false;
    }
    const uint32_t word = bits & 0x3FFFFFFF;
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
