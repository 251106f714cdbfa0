#include "app/FileRunPanel.h"

#include "app/DemodFileRun.h"
#include "app/FormRows.h"
#include "common/AudioOutput.h"
#include "common/CNumberFormat.h"
#include "demod/DemodFileJob.h"
#include "recording/RecordingObject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

FileRunPanel::FileRunPanel(QWidget* parent)
    : QGroupBox("Demodulate to File", parent)
    , fileRun(new DemodFileRun(this))
    , fileProgress(new QProgressBar)
{
    QHBoxLayout* fileRow = FormRows::makeRow(this);
    demodFileButton = new QToolButton;
    demodFileButton->setObjectName("demodFileButton");
    demodFileButton->setText("WAV");
    demodFileButton->setToolTip("Write the selection's audio to a WAV file in Documents");
    timestampedDemodFileButton = new QToolButton;
    timestampedDemodFileButton->setObjectName("timestampedDemodFileButton");
    timestampedDemodFileButton->setText("Timestamped WAV");
    timestampedDemodFileButton->setToolTip("Write the selection's audio to a WAV file named after its start time");
    iqExtractButton = new QToolButton;
    iqExtractButton->setObjectName("iqExtractButton");
    iqExtractButton->setText("I/Q");
    iqExtractButton->setToolTip("Write the selection's I/Q, tuned to it, as a SigMF recording in Documents "
                                "for other tools");
    for (QToolButton* button : {demodFileButton, timestampedDemodFileButton, iqExtractButton}) {
        button->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setEnabled(false);
        fileRow->addWidget(button);
    }
    connect(demodFileButton, &QToolButton::clicked, this, [this] { emit fileRequested(false); });
    connect(timestampedDemodFileButton, &QToolButton::clicked, this, [this] { emit fileRequested(true); });
    connect(iqExtractButton, &QToolButton::clicked, this, &FileRunPanel::extractRequested);

    fileProgress->setObjectName("fileProgress");
    fileProgress->setMaximumWidth(220);
    fileProgress->setFormat("WAV %v of %m s");
    fileProgress->hide();
    connect(fileRun, &DemodFileRun::progress, this, &FileRunPanel::runProgressed);
    connect(fileRun, &DemodFileRun::finished, this, &FileRunPanel::runEnded);
}

FileRunPanel::~FileRunPanel()
{
    // Its end is not reported to a window going away.
    fileRun->disconnect(this);
    delete fileRun;
}

bool FileRunPanel::isRunning() const
{
    return fileRun->isRunning();
}

void FileRunPanel::setButtonsEnabled(bool enabled)
{
    demodFileButton->setEnabled(enabled);
    timestampedDemodFileButton->setEnabled(enabled);
    iqExtractButton->setEnabled(enabled);
}

bool FileRunPanel::startExtract(const RecordingObject& recording, const DemodSetup& setup, const QString& folder)
{
    const std::string fileName = formatFixed((setup.lowKHz() + setup.highKHz()) / 2.0, 1, 6) + " IQ " +
                                 recording.FileTimestampFromOffset(setup.startSecond()) + ".sigmf-meta";
    QDir().mkpath(folder);
    QString error;
    const QString recordingPath = QFileInfo(QFile::decodeName(recording.path().c_str())).absoluteFilePath();
    if (!fileRun->startExtract(recordingPath, recording.rawIqSettings(), setup.selection(), folder,
                               QFile::decodeName(fileName.c_str()), &error)) {
        emit statusMessage(error);
        return false;
    }
    runWhat_ = "The I/Q file";
    fileRunStartSecond = setup.startSecond();
    fileProgress->setRange(0, std::max(setup.endSecond() - setup.startSecond(), 1));
    fileProgress->setValue(0);
    fileProgress->setFormat("I/Q %v of %m s");
    fileProgress->show();
    emit progress(fileRunStartSecond);
    emit statusMessage(QString("Writing %1…").arg(QFile::decodeName(fileName.c_str())));
    return true;
}

bool FileRunPanel::start(const RecordingObject& recording, const DemodSetup& setup, bool timestamped,
                         const QString& folder, const QString& carrierLogFolder)
{
    const std::string fileName =
        timestamped ? DemodFileJob::timestampedFileName(setup.mode(), setup.lowKHz(), setup.highKHz(),
                                                        recording.FileTimestampFromOffset(setup.startSecond()))
                    : DemodFileJob::kFixedFileName;
    // The run refuses a missing folder; Documents is ours to create. If this
    // fails, the run says why.
    QDir().mkpath(folder);
    QString error;
    // The run opens the file on its own; a folder given relative to the
    // working directory must not be read as a name in the recordings folder.
    const QString recordingPath = QFileInfo(QFile::decodeName(recording.path().c_str())).absoluteFilePath();
    if (!fileRun->start(recordingPath, setup, folder, QFile::decodeName(fileName.c_str()), carrierLogFolder,
                        &error)) {
        emit statusMessage(error);
        return false;
    }
    runWhat_ = "The WAV file";
    fileRunStartSecond = setup.startSecond();
    fileProgress->setRange(0, std::max(setup.endSecond() - setup.startSecond(), 1));
    fileProgress->setValue(0);
    fileProgress->setFormat("WAV %v of %m s");
    fileProgress->show();
    emit progress(fileRunStartSecond);
    emit statusMessage(QString("Writing %1…").arg(QFile::decodeName(fileName.c_str())));
    return true;
}

void FileRunPanel::skip(int seconds)
{
    fileRun->skip(seconds);
}

void FileRunPanel::runProgressed(int nextSecond)
{
    if (!fileRun->isRunning())
        return;
    fileProgress->setValue(std::clamp(nextSecond - fileRunStartSecond, 0, fileProgress->maximum()));
    emit progress(nextSecond);
}

void FileRunPanel::runEnded(bool ok, bool complete, const QString& message, const QString& path, qint64 audioSamples)
{
    fileProgress->hide();
    if (!ok)
        emit statusMessage(QString("%1 was not written: %2").arg(runWhat_, message));
    else if (!complete)
        emit statusMessage(QString("Wrote %1, but: %2").arg(QDir::toNativeSeparators(path), message));
    else if (runWhat_ == "The I/Q file")
        emit statusMessage(QString("Wrote %1").arg(QDir::toNativeSeparators(path)));
    else
        emit statusMessage(QString("Wrote %1 (%2 s of audio)%3")
                               .arg(QDir::toNativeSeparators(path))
                               .arg(static_cast<double>(audioSamples) / AudioOutput::kOutputRate, 0, 'f', 1)
                               .arg(message.isEmpty() ? QString() : ": " + message));
    emit finished(ok);
}
