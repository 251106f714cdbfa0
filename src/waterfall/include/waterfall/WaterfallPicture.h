#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

// A waterfall at the display transform's resolution, kept as levels so that
// zoom, pan, a new dB range or colour re-map it without reading the recording
// again. Each row holds one level per stored column in hundredths of a dB;
// a column is one transform bin, or the strongest of 2, 4, ... neighbouring
// bins when rows x bins would pass the memory budget. Columns run from the
// lowest frequency of the transform to the highest.
//
// Rows are written by one thread and read by others: a reader reads only
// rows below rowsDone(), which the writer raises after a row is complete.
class WaterfallPicture {
public:
    static constexpr int64_t kMemoryBudget = 128 * 1024 * 1024;
    // Stored for a column of no level yet (reads as the transform's floor).
    static constexpr int16_t kFloor = -22000;

    // rows >= 0; fftSize: the display transform's size (a power of two);
    // sampleRate: Hz (> 0). Allocates rows x columns() levels, at most budgetBytes.
    WaterfallPicture(int rows, int fftSize, double sampleRate, int64_t budgetBytes = kMemoryBudget);

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    int binsPerColumn() const { return binsPerColumn_; }
    int fftSize() const { return fftSize_; }
    double sampleRate() const { return sampleRate_; }
    int64_t memoryBytes() const { return static_cast<int64_t>(levels_.size() * sizeof(int16_t)); }

    // Frequency (Hz from the centre) of the low edge of column `column`
    // (fractional columns interpolate), and the column of a frequency.
    double frequencyOfColumn(double column) const;
    double columnAtFrequency(double hz) const;

    // Stores the transform's levels in bels (fftSize entries, from the lowest
    // frequency up, as FftObject keeps them) into `row`, keeping in each
    // column the stronger of what it holds and the new levels.
    void mergeSpectrum(int row, const double* bels);
    // The same from levels in single precision (FftObject::floatLevels()).
    void mergeSpectrum(int row, const float* bels);
    // clearRow() and mergeSpectrum() in one pass.
    void setSpectrum(int row, const float* bels);
    // Sets every column of `row` to kFloor.
    void clearRow(int row);

    const int16_t* row(int row) const { return levels_.data() + static_cast<size_t>(row) * columns_; }
    double levelDb(int row, int column) const { return 0.01 * this->row(row)[column]; }

    int rowsDone() const { return rowsDone_.load(std::memory_order_acquire); }
    void setRowsDone(int rows) { rowsDone_.store(rows, std::memory_order_release); }

private:
    template <typename Level>
    void mergeColumns(int16_t* out, const Level* bels) const;

    int rows_;
    int fftSize_;
    double sampleRate_;
    int binsPerColumn_ = 1;
    int columns_;
    std::vector<int16_t> levels_;
    std::atomic<int> rowsDone_{0};
};
