#pragma once

#include <QObject>
#include <QString>

#include "recording/RawIqSettings.h"

#include <memory>

class WaterfallPicture;

// Computes the picture of a whole-recording waterfall on a worker thread (at
// the rows of WaterfallRowPlan::kMaxWindowRows) and tells the GUI thread as
// rows are finished, so that the window stays responsive and the rows appear
// as they are computed. Starting another run, or cancel(),
// abandons the current one at once: its worker stops after the line it is
// reading (a slow disk never blocks the GUI) and nothing more of it arrives.
class WaterfallLoader : public QObject {
    Q_OBJECT
public:
    // Rows whose levels are reported before the drawing ends.
    static constexpr int kEarlyLevelRows = 30;

    explicit WaterfallLoader(QObject* parent = nullptr);
    ~WaterfallLoader() override;

    // Draws the `lines` seconds of the recording at `path` (a full path, read
    // with `raw` when it is a raw I/Q file) with the display FFT size given;
    // the dB range is for the measured levels. peakHold: each row the strongest
    // of every transform of its seconds (WaterfallGenerator::usePeakHold),
    // computed on all the machine's threads.
    void start(const QString& path, const RawIqSettings& raw, int lines, int fftSize, double maxdB, double mindB,
               bool peakHold = false);
    void cancel();
    bool isRunning() const { return running; }

signals:
    // The picture the run fills, before any of its rows is finished.
    void pictureStarted(const std::shared_ptr<const WaterfallPicture>& picture);
    // Rows firstRow to endRow - 1 of the picture are finished.
    void rowsReady(int firstRow, int endRow);
    // The run ended: completed is false when the recording could not be read.
    // completed: every line was drawn; otherwise `problem` may say why.
    void finished(bool completed, int lines, const QString& problem);
    // The dB range that shows the lines from the noise floor to the
    // strongest signal: measured on the first kEarlyLevelRows rows, and on
    // all of them before a completed run's finished().
    void levelsMeasured(int minDb, int maxDb);

private:
    struct Run;
    bool isCurrent(quint64 id) const;
    void end(quint64 id, bool completed, int lines, const QString& problem = {});

    std::shared_ptr<Run> current;
    quint64 nextId = 1;
    bool running = false;
};
