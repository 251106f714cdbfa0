#pragma once

#include "dgps/DGPSDemodObject.h"
#include "dgps/DgpsChannelizer.h"
#include "common/ComplexSample.h"

#include <cstdint>
#include <memory>
#include <vector>

class DgpsDecodeObserver;
class DgpsStationTable;

// The decoders of every beacon channel inside a recording's band, fed from one
// shared channelizer: two per channel, 100 then 200 baud, channels in rising
// frequency. The channels are the whole kHz from 285 to 325 strictly inside
// the band and, unless whole-kHz-only is asked for, every whole or half kHz
// on which the station list has a station strictly inside the band (half-kHz
// channels, and 284 kHz below the whole-kHz grid).
class DgpsDecoderBank {
public:
    // A band with no channel gives an empty bank. table: the stations the
    // decoders log to (must outlive the bank); observer may be null.
    void setDemodObjects(double bandwidth, double centerFreq, double sampleRate, DgpsStationTable* table,
                         bool wholeKhzOnly, DgpsDecodeObserver* observer = nullptr);

    // The channel frequencies (kHz) that setDemodObjects picks.
    static std::vector<float> channels(double bandwidth, double centerFreq, const DgpsStationTable* table,
                                       bool wholeKhzOnly);

    // Stations of the list strictly inside the band whose frequency is no
    // whole or half kHz: no decoder is made for them, so they cannot be heard.
    static std::vector<int> offRaster(double bandwidth, double centerFreq, const DgpsStationTable& table);

    // The Unix time logged for first words found from now on.
    void setDecodeTime(int32_t unixTime);

    // n (>= 0) samples of the band, any length from call to call.
    void ProcessData(const ComplexSample* block, int n);

    // The end of the input: every decoder judges the frames it still follows.
    void finish();

    int numDemodObj() const { return static_cast<int>(m_Decoders.size()); }
    const DGPSDemodObject& decoder(int k) const { return *m_Decoders[k]; }

private:
    std::unique_ptr<DgpsChannelizer> m_Channelizer;
    std::vector<std::unique_ptr<DGPSDemodObject>> m_Decoders;
};
