#include "dgps/DgpsDecoderBank.h"

#include "dgps/DgpsStationTable.h"
#include "common/SystemLog.h"

#include <algorithm>
#include <cmath>

std::vector<float> DgpsDecoderBank::channels(double bandwidth, double centerFreq, const DgpsStationTable* table,
                                             bool wholeKhzOnly)
{
    // Clamped before conversion: a centre from a file name can be any number.
    const auto kHz = [](double hz) {
        return std::isfinite(hz) ? static_cast<int>(std::clamp(hz * 0.001, -1e9, 1e9)) : 0;
    };
    const int bandKHz = kHz(bandwidth);
    const int centreKHz = kHz(centerFreq);
    SystemLog("getBandwidth %d   getCenterFreq %d", bandKHz, centreKHz);
    const float lower = static_cast<float>(centreKHz - bandKHz / 2);
    const float upper = static_cast<float>(bandKHz / 2 + centreKHz);
    std::vector<float> list;
    for (int f = 285; f <= 325; ++f)
        if (lower < f && f < upper)
            list.push_back(static_cast<float>(f));
    if (!wholeKhzOnly && table) {
        for (const DgpsStation& s : table->stations()) {
            const bool onRaster = s.kHz * 2.0f == std::floor(s.kHz * 2.0f);
            if (onRaster && lower < s.kHz && s.kHz < upper && std::find(list.begin(), list.end(), s.kHz) == list.end())
                list.push_back(s.kHz);
        }
    }
    std::sort(list.begin(), list.end());
    return list;
}

void DgpsDecoderBank::setDemodObjects(double bandwidth, double centerFreq, double sampleRate,
                                      DgpsStationTable* table, bool wholeKhzOnly, DgpsDecodeObserver* observer)
{
    m_Decoders.clear();
    m_Channelizer.reset();
    const std::vector<float> list = channels(bandwidth, centerFreq, table, wholeKhzOnly);
    if (list.empty() || sampleRate <= 0)
        return;
    m_Channelizer = std::make_unique<DgpsChannelizer>(sampleRate);
    for (float f : list) {
        for (int baud : {100, 200}) {
            auto d = std::make_unique<DGPSDemodObject>();
            d->setStationTable(table);
            d->setCenterFreq(f, baud, centerFreq, *m_Channelizer);
            d->setObserver(observer);
            m_Decoders.push_back(std::move(d));
        }
        DGPSDemodObject& slow = *m_Decoders[m_Decoders.size() - 2];
        DGPSDemodObject& fast = *m_Decoders.back();
        slow.setSibling(&fast);
        fast.setSibling(&slow);
    }
}

void DgpsDecoderBank::setDecodeTime(int32_t unixTime)
{
    for (auto& d : m_Decoders)
        d->setDecodeTime(unixTime);
}

void DgpsDecoderBank::ProcessData(const ComplexSample* block, int n)
{
    if (!m_Channelizer)
        return;
    m_Channelizer->ProcessData(n, block, [this] {
        for (auto& d : m_Decoders)
            d->ProcessSpectrum(*m_Channelizer);
    });
}

void DgpsDecoderBank::finish()
{
    for (auto& d : m_Decoders)
        d->finish();
}

std::vector<int> DgpsDecoderBank::offRaster(double bandwidth, double centerFreq, const DgpsStationTable& table)
{
    // The band as channels() takes it.
    const double lower = std::trunc(centerFreq * 0.001) - std::trunc(std::trunc(bandwidth * 0.001) / 2);
    const double upper = std::trunc(centerFreq * 0.001) + std::trunc(std::trunc(bandwidth * 0.001) / 2);
    std::vector<int> stations;
    for (int s = 0; s < table.numDgpsStations(); ++s) {
        const float kHz = table.station(s).kHz;
        if (lower < kHz && kHz < upper && kHz * 2.0f != std::floor(kHz * 2.0f))
            stations.push_back(s);
    }
    return stations;
}
