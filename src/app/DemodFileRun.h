#pragma once

#include "demod/DemodSetup.h"
#include "recording/RawIqSettings.h"

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

// Demodulation of a selection to a WAV file on a worker thread of its own,
// with a recording model and a demodulator of its own, so the window's
// playback pipeline is never touched from two threads. Progress and the end
// reach the receivers on the GUI thread (queued signals). One run at a time.
class DemodFileRun : public QObject {
    Q_OBJECT
public:
    explicit DemodFileRun(QObject* parent = nullptr);
    // Cancels a run and waits for its thread; the unfinished file is removed.
    ~DemodFileRun() override;

    // Opens `recordingPath`, configures a demodulator of the run's own from
    // `setup` (ok() must hold) and starts writing `fileName` in `folder`
    // (which must exist). carrierLogFolder: where "carrier.txt" is appended,
    // empty for no log. Returns false with `error` set when the run
    // cannot start (one is running, the recording cannot be read, the band
    // cannot be filtered).
    bool start(const QString& recordingPath, DemodSetup setup, const QString& folder, const QString& fileName,
               const QString& carrierLogFolder, QString* error);

    // The selection's I/Q (IqExtractJob, SigMF) to `fileName` (a .sigmf-meta
    // name) in `folder`; `raw`: what the recording was opened with.
    bool startExtract(const QString& recordingPath, const RawIqSettings& raw, const Selection& selection,
                      const QString& folder, const QString& fileName, QString* error);

    // True from start() until finished() has been delivered.
    bool isRunning() const { return job != nullptr; }
    // Moves the next second to read by `seconds` (the skip buttons), not below 0.
    void skip(int seconds);
    // Ends the run early, leaving no file; finished() follows.
    void cancel();

signals:
    // The next second to read, after each second written.
    void progress(int nextSecond);
    // ok: a file was written at `path` (complete: the whole selection);
    // `message` says why not ok or not complete.
    void finished(bool ok, bool complete, const QString& message, const QString& path, qint64 audioSamples);

private:
    struct Job;
    void runOnWorker();
    void finishOnGuiThread(bool ok, bool complete, const QString& message, const QString& path, qint64 audioSamples);

    std::unique_ptr<Job> job;
    std::thread worker;
};
