#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The result of a carrier analysis: for every analysed second (a row) and
// every channel, kLevels levels in dB across [f - halfSpan, f + halfSpan] Hz
// around the channel frequency f. Rows are kept in one block sized when the
// analysis is set up, so adding a row allocates nothing.
//
// The analysis file, all little-endian: a kHeaderBytes header (int32 kLevels,
// int32 rows, int32 halfSpan in Hz, int32 channels, int32 start time in Unix
// seconds, then one float32 per channel, its frequency in kHz; zeros up to
// the end of the header), then the rows in order, each channel in order, its
// kLevels float32 levels. A row after a recording's end holds NaN levels:
// no measurement, which pictures draw as the weakest level.
class CarrierAnalysis {
public:
    static constexpr int kLevels = 2048;
    static constexpr int kHeaderBytes = 4020;
    static constexpr int kMaxRows = 1000;
    // As many channel frequencies as the header has room for.
    static constexpr int kMaxChannels = (kHeaderBytes - 20) / 4;
    static constexpr size_t kBytesPerChannelRow = kLevels * sizeof(float);

    CarrierAnalysis() = default;
    // channelsKHz: the channels (1 to kMaxChannels); halfSpan in Hz (> 0);
    // startingTime: Unix seconds of the first row; rowCapacity: rows that can
    // be added (at most kMaxRows).
    CarrierAnalysis(std::vector<int> channelsKHz, double halfSpan, int32_t startingTime, int rowCapacity);

    // Room for the next row's numCarrierFreq() x kLevels levels, counted as
    // held; nullptr once the capacity is used up.
    float* appendRow();

    int dbBufCount() const { return rows_; }
    int numCarrierFreq() const { return static_cast<int>(carrierFreqs_.size()); }
    const std::vector<int>& carrierFreqs() const { return carrierFreqs_; } // kHz
    double halfSpan() const { return halfSpan_; }
    int32_t startingTime() const { return startingTime_; }
    bool empty() const { return carrierFreqs_.empty(); }

    // The kLevels levels of `row` (< dbBufCount()) for `channel` (< numCarrierFreq()).
    const float* levels(int row, int channel) const
    {
        return levelData_.data() + (static_cast<size_t>(row) * carrierFreqs_.size() + channel) * kLevels;
    }

    // Bytes of the analysis file for `rows` rows of `channels` channels.
    static uint64_t fileSize(uint64_t rows, uint64_t channels)
    {
        return kHeaderBytes + rows * channels * kBytesPerChannelRow;
    }

    // Writes the analysis file through a temporary file, so that a failure
    // leaves any old file of that name as it was. false with `error` set.
    bool writeFile(const std::string& path, std::string& error) const;

    // Reads an analysis file. Its header is checked against the file's size
    // before anything is allocated: a short, corrupt or hostile file gives
    // no analysis and `error` says why.
    static std::optional<CarrierAnalysis> loadFile(const std::string& path, std::string& error);

private:
    std::vector<int> carrierFreqs_;
    double halfSpan_ = 100.0;
    int32_t startingTime_ = 0;
    int rows_ = 0;
    int rowCapacity_ = 0;
    std::vector<float> levelData_;
};
