#pragma once

#include <QGroupBox>

class DemodFileRun;
class DemodSetup;
class QProgressBar;
class QToolButton;
class RecordingObject;
struct Selection;

// The "Demodulate to File" group: the two WAV buttons, the file run behind
// them (DemodFileRun) and its progress bar, which the window places in its
// status bar. Reports what happens as status lines.
class FileRunPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit FileRunPanel(QWidget* parent = nullptr);
    // A run still going is cancelled: its unfinished file is removed.
    ~FileRunPanel() override;

    QProgressBar* progressBar() const { return fileProgress; }
    bool isRunning() const;
    // Only when a recording can be played and nothing plays or is written.
    void setButtonsEnabled(bool enabled);

    // Writes `setup`'s selection of `recording` to "DemodOutput.wav", or with
    // `timestamped` to a name of frequency, mode and start time, in `folder`
    // (made when missing). carrierLogFolder: where "carrier.txt" goes, or
    // empty. False, with the reason as a status line, when it cannot start.
    bool start(const RecordingObject& recording, const DemodSetup& setup, bool timestamped, const QString& folder,
               const QString& carrierLogFolder);
    // Writes the selection's I/Q as a SigMF pair named after its centre
    // frequency and start time ("433812.5 IQ 05-Dec-2026 16.39.35.sigmf-meta")
    // in `folder` (made when missing).
    bool startExtract(const RecordingObject& recording, const DemodSetup& setup, const QString& folder);
    // Moves the run's next second (the skip buttons).
    void skip(int seconds);

signals:
    void fileRequested(bool timestamped);
    void extractRequested();
    // The next second the run reads, to mark on the waterfall.
    void progress(int nextSecond);
    // A run ended; ok: a file was written.
    void finished(bool ok);
    void statusMessage(const QString& text);

private:
    void runProgressed(int nextSecond);
    void runEnded(bool ok, bool complete, const QString& message, const QString& path, qint64 audioSamples);

    DemodFileRun* fileRun;
    QProgressBar* fileProgress;
    QToolButton* demodFileButton;
    QToolButton* timestampedDemodFileButton;
    QToolButton* iqExtractButton;
    QString runWhat_ = "The WAV file";
    int fileRunStartSecond = 0;
};
