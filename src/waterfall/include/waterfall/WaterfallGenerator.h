#pragma once

#include "common/ComplexSample.h"
#include "dsp/FftObject.h"
#include "waterfall/WaterfallColumnMap.h"
#include "waterfall/WaterfallLevels.h"
#include "waterfall/WaterfallPeakHold.h"

#include <memory>
#include <vector>

class RecordingObject;
class WaterfallPicture;
class WaterfallRowPlan;

// Draws a whole recording as one screen row per second: the first `fftSize`
// samples of every second go through the display FFT, and the band of the
// recording (centre +- bandwidth/2) is mapped onto kColumns columns of screen
// levels, 0 for the strongest (at or above maxdB) to kRowHeight for the
// weakest (at or below mindB).
class WaterfallGenerator {
public:
    static constexpr int kColumns = 1024;
    static constexpr int kRowHeight = 1023;

    // `recording` must stay valid and open while the generator is used; it is
    // only read. fftSize is clamped by the display FFT (512 .. 16,777,216).
    // maxdB must differ from mindB and the recording's bandwidth must be above 0
    // for a useful picture (SelectionRules has the checks and their messages).
    WaterfallGenerator(RecordingObject& recording, int fftSize, double maxdB, double mindB);

    // Lines of the recording: one per whole second, and one for a recording
    // shorter than a second.
    int lineCount() const;
    static int lineCountOf(const RecordingObject& recording);

    // Screen row of line `second` into row[0 .. kColumns] (kColumns + 1 entries:
    // the mapping writes the last bin one past the row). Past the end of the
    // recording the samples that exist are followed by those of the line before.
    void computeLine(int second, int* row);

    // Row `row` of `plan` into row `pictureRow` of `picture` (made for this
    // generator's FFT size): the strongest level of each column over the
    // seconds the plan analyses for the row. The row's levels across the band
    // at kColumns columns are counted in levels(). False on a read error
    // (the recording's readError() says why).
    bool computeRow(const WaterfallRowPlan& plan, int row, WaterfallPicture& picture, int pictureRow);
    // Rows firstRow .. firstRow + count - 1 into picture rows firstPictureRow
    // onwards, as computeRow() does one; with peak hold the rows are shared out
    // over its threads, so callers hand over several rows at once.
    bool computeRows(const WaterfallRowPlan& plan, int firstRow, int count, WaterfallPicture& picture,
                     int firstPictureRow);

    // "Whole second": each row shows the strongest power of every bin over every
    // transform block of every second it covers (WaterfallPeakHold), instead of
    // the first block of up to kMaxSecondsAnalysedPerRow seconds. threads as
    // WaterfallPeakHold takes them (0: the hardware's). Set up before drawing.
    void usePeakHold(int threads = 0);
    bool peakHold() const { return peakHold_ != nullptr; }
    int peakHoldThreads() const { return peakHold_ ? peakHold_->threads() : 1; }
    int fftSize() const { return size_; }
    double sampleRate() const;

    // The levels of every column of the lines computed so far.
    const WaterfallLevels& levels() const { return levels_; }

private:
    void countLevels(const WaterfallPicture& picture, int pictureRow);

    RecordingObject& recording_;
    FftObject fft_;
    int size_;
    double maxdB_;
    double mindB_;
    int startFreq_;
    int stopFreq_;
    std::vector<ComplexSample> block_;
    std::vector<double> dBRow_;
    std::vector<int16_t> centiDbRow_;
    WaterfallColumnMap bandColumns_;
    int bandColumnsOf_ = 0; // the picture columns bandColumns_ was made for
    WaterfallLevels levels_;
    std::unique_ptr<WaterfallPeakHold> peakHold_;
};
