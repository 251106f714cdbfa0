#include "app/DemodFileRun.h"

#include "demod/CarrierTextFile.h"
#include "demod/DemodFileJob.h"
#include "demod/DemodPipeline.h"

#include <QFile>
#include <QMetaObject>

#include <vector>

struct DemodFileRun::Job {
    DemodPipeline pipeline;
    std::unique_ptr<DemodFileJob> fileJob;
};

DemodFileRun::DemodFileRun(QObject* parent)
    : QObject(parent)
{
}

DemodFileRun::~DemodFileRun()
{
    if (job)
        job->fileJob->cancel();
    if (worker.joinable())
        worker.join();
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
    DemodFileJob* fileJob = job->fileJob.get();
    worker = std::thread([this, fileJob] {
        const DemodFileJob::Result result = fileJob->run();
        QMetaObject::invokeMethod(
            this,
            [this, ok = result.ok, complete = result.complete, message = QString::fromStdString(result.message),
             path = QFile::decodeName(result.path.c_str()), samples = qint64(result.audioSamples)] {
                finishOnGuiThread(ok, complete, message, path, samples);
            },
            Qt::QueuedConnection);
    });
    return true;
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
    if (job)
        job->fileJob->moveBy(seconds);
}

void DemodFileRun::cancel()
{
    if (job)
        job->fileJob->cancel();
}
