#include "app/DemodFileRun.h"

#include "demod/CarrierTextFile.h"
#include "demod/DemodFileJob.h"
#include "demod/DemodPipeline.h"
#include "demod/IqExtractJob.h"
#include "recording/RecordingObject.h"

#include <QFile>
#include <QMetaObject>

#include <vector>

struct DemodFileRun::Job {
    DemodPipeline pipeline;
    std::unique_ptr<DemodFileJob> fileJob;
    RecordingObject extractFrom;
    std::unique_ptr<IqExtractJob> extractJob;
};

DemodFileRun::DemodFileRun(QObject* parent)
    : QObject(parent)
{
}

DemodFileRun::~DemodFileRun()
{
    cancel();
    if (worker.joinable())
        worker.join();
}

bool DemodFileRun::startExtract(const QString& recordingPath, const RawIqSettings& raw, const Selection& selection,
                                const QString& folder, const QString& fileName, QString* error)
{
    if (job) {
        *error = tr("A file is already being written.");
        return false;
    }
    auto next = std::make_unique<Job>();
    std::vector<std::string> lines;
    next->extractFrom.setRawIqSettings(raw);
    next->extractFrom.setRecordingFile(QFile::encodeName(recordingPath).toStdString(), lines);
    if (!next->extractFrom.isValidRecordingFile()) {
        *error = tr("%1 cannot be read: %2").arg(recordingPath, QString::fromStdString(lines.empty() ? "" : lines.back()));
        return false;
    }
    next->extractJob = std::make_unique<IqExtractJob>(next->extractFrom, selection, IqExtractJob::Format::Sigmf,
                                                      QFile::encodeName(folder + "/" + fileName).toStdString());
    next->extractJob->setProgress([this](int32_t nextSecond) { emit progress(nextSecond); });
    if (worker.joinable())
        worker.join();
    job = std::move(next);
    runOnWorker();
    return true;
}

bool DemodFileRun::start(const QString& recordingPath, DemodSetup setup, const QString& folder,
                         const QString& fileName, const QString& carrierLogFolder, QString* error)
{
    if (job) {
        *error = tr("A WAV file is already being written.");
        return false;
    }
    auto next = std::make_unique<Job>();
    DemodPipeline& pipeline = next->pipeline;
    std::vector<std::string> lines;
    const std::string why = pipeline.open({}, QFile::encodeName(recordingPath).toStdString(), lines);
    if (!why.empty()) {
        *error = tr("%1 cannot be read: %2").arg(recordingPath, QString::fromStdString(why));
        return false;
    }
    if (!pipeline.configure(setup, !carrierLogFolder.isEmpty(), QFile::encodeName(carrierLogFolder).toStdString())) {
        *error = QString::fromStdString(setup.bandMessage());
        return false;
    }
    if (!pipeline.makeFeeder()) {
        *error = tr("Not enough memory to demodulate a second at %1 samples per second")
                     .arg(qint64(pipeline.parameters().mSampleRate));
        return false;
    }
    next->fileJob = std::make_unique<DemodFileJob>(pipeline.demodulator(), *pipeline.feeder(), setup.startSecond(),
                                                   setup.endSecond(), QFile::encodeName(folder).toStdString(),
                                                   QFile::encodeName(fileName).toStdString());
    // Emitted on the worker thread: the connections to the window are queued.
    next->fileJob->setProgress([this](int32_t nextSecond) { emit progress(nextSecond); });

    if (worker.joinable())
        worker.join();
    job = std::move(next);
    runOnWorker();
    return true;
}

void DemodFileRun::runOnWorker()
{
    worker = std::thread([this, fileJob = job->fileJob.get(), extractJob = job->extractJob.get()] {
        DemodFileJob::Result result;
        if (fileJob) {
            result = fileJob->run();
        } else {
            const IqExtractJob::Result extracted = extractJob->run();
            result.ok = result.complete = extracted.ok;
            result.message = extracted.message;
            result.path = extracted.paths.empty() ? std::string() : extracted.paths.back();
            result.audioSamples = extracted.samples;
        }
        QMetaObject::invokeMethod(
            this,
            [this, ok = result.ok, complete = result.complete, message = QString::fromStdString(result.message),
             path = QFile::decodeName(result.path.c_str()), samples = qint64(result.audioSamples)] {
                finishOnGuiThread(ok, complete, message, path, samples);
            },
            Qt::QueuedConnection);
    });
}

void DemodFileRun::finishOnGuiThread(bool ok, bool complete, const QString& message, const QString& path,
                                     qint64 audioSamples)
{
    if (worker.joinable())
        worker.join();
    job.reset();
    emit finished(ok, complete, message, path, audioSamples);
}

void DemodFileRun::skip(int seconds)
{
    if (job && job->fileJob)
        job->fileJob->moveBy(seconds);
}

void DemodFileRun::cancel()
{
    if (job && job->fileJob)
        job->fileJob->cancel();
    if (job && job->extractJob)
        job->extractJob->cancel();
}
