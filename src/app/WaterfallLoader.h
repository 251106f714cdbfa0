#pragma once

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

// Computes the rows of a whole-recording waterfall on a worker thread and hands
// them to the GUI thread in batches, so that the window stays responsive and
// the rows appear as they are computed. Starting another run, or cancel(),
// abandons the current one at once: its worker stops after the line it is
// reading (a slow disk never blocks the GUI) and nothing more of it arrives.
class WaterfallLoader : public QObject {
    Q_OBJECT
public:
    explicit WaterfallLoader(QObject* parent = nullptr);
    ~WaterfallLoader() override;

    // Draws the recording at `path` (a full path) with the display FFT size and
    // dB range given.
    void start(const QString& path, int fftSize, double maxdB, double mindB);
    void cancel();
    bool isRunning() const { return running; }

signals:
    // `rows` holds rowCount rows of `columns` screen levels, for the lines
    // firstLine, firstLine + 1, ...
    void rowsReady(int firstLine, int columns, const QVector<int>& rows);
    // The run ended: completed is false when the recording could not be read.
    // completed: every line was drawn; otherwise `problem` may say why.
    void finished(bool completed, int lines, const QString& problem);
    // Before a completed run's finished(): the dB range that shows its lines
    // from the noise floor to the strongest signal.
    void levelsMeasured(int minDb, int maxDb);

private:
    struct Run;
    void deliver(quint64 id, int firstLine, int columns, const QVector<int>& rows);
    void end(quint64 id, bool completed, int lines, const QString& problem = {});

    std::shared_ptr<Run> current;
    quint64 nextId = 1;
    bool running = false;
};
