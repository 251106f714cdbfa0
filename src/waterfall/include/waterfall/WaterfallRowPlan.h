#pragma once

#include <cstdint>

// Which seconds of a recording each waterfall row shows. A recording of more
// lines (seconds) than `maxRows` is drawn at fewer rows, each the same whole
// number of seconds, so that the picture's memory and the work of drawing it
// follow what a screen or an image can use, not the length a header claims.
// Selections stay in seconds: row r covers seconds firstSecond(r) to
// endSecond(r) - 1.
class WaterfallRowPlan {
public:
    // Rows of the main window's picture: a little over two hours at one second a row.
    static constexpr int kMaxWindowRows = 8192;
    // Rows of a PNG, well inside libpng's limit of 1,000,000.
    static constexpr int kMaxPngRows = 100000;
    // The seconds a row of several seconds analyses; it shows the strongest of them.
    static constexpr int kMaxSecondsAnalysedPerRow = 8;

    WaterfallRowPlan() = default;
    // lines: seconds of the recording (>= 0); maxRows >= 1.
    WaterfallRowPlan(int lines, int maxRows);
    // As above, with rows of at least the seconds one transform of `fftSize`
    // samples takes at `sampleRate` S/s: a slow recording (a header's 1 S/s)
    // is not drawn as rows that each analyse mostly the next rows' samples
    // again, so the work follows the samples there are.
    static WaterfallRowPlan forTransforms(int lines, int maxRows, double sampleRate, int fftSize);

    int lines() const { return lines_; }
    int rowCount() const { return rows_; }
    int secondsPerRow() const { return secondsPerRow_; }
    int firstSecond(int row) const;
    // One past the last second of `row`.
    int endSecond(int row) const;
    // The row that shows `seconds`, limited to the rows there are (0 without rows).
    int rowOfSecond(double seconds) const;

    // The seconds whose first fftSize samples are analysed for `row`, into
    // seconds[0 .. kMaxSecondsAnalysedPerRow - 1]: spread evenly over the row,
    // and never so close that one transform would start inside the samples of
    // the one before. Returns how many (1 or more for a row that exists, else 0).
    int analysedSeconds(int row, double sampleRate, int fftSize, int* seconds) const;

private:
    int lines_ = 0;
    int rows_ = 0;
    int secondsPerRow_ = 1;
};
