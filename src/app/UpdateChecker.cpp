#include "app/UpdateChecker.h"

#include "app/Preferences.h"
#include "common/Settings.h"
#include "update/UpdateAnswer.h"
#include "update/UpdateQuery.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kTimeoutMs = 3000;
// The whole check, however the server paces its bytes.
constexpr int kDeadlineMs = 10000;

} // namespace

UpdateChecker::UpdateChecker(QWidget* window)
    : QObject(window)
    , window_(window)
    , network_(new QNetworkAccessManager(this))
    , deadline_(new QTimer(this))
{
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        if (reply_) {
            deadlinePassed_ = true;
            reply_->abort();
        }
    });
}

UpdateChecker::~UpdateChecker()
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void UpdateChecker::checkVersion()
{
    if (Preferences().value(Settings::kDontCheckUpdates, 0).toInt() != 0)
        return;
    start(false);
}

void UpdateChecker::checkNow()
{
    start(true);
}

void UpdateChecker::start(bool userAsked)
{
    userAsked_ = userAsked_ || userAsked;
    if (reply_)
        return;
    const QString server = Preferences().value(Settings::kUpdateCheckUrl).toString().trimmed();
    const QUrl base(server);
    if (server.isEmpty() || !base.isValid() || (base.scheme() != "http" && base.scheme() != "https")) {
        tell(server.isEmpty() ? "Korvel could not check for updates: no version server is set (the preference "
                                "\"updateCheckURL\")."
                              : "Korvel could not check for updates: the version server's address \"" + server +
                                    "\" is not an http or https address.");
        emit finished();
        return;
    }
    QString address = base.toString(QUrl::StripTrailingSlash);
    address += QString::fromStdString(
        UpdateQuery::requestPath(QApplication::applicationVersion().toStdString(), UpdateQuery::runningKernelRelease()));
    QNetworkRequest request{QUrl(address)};
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    body_.clear();
    bodyTooLarge_ = false;
    deadlinePassed_ = false;
    reply_ = network_->get(request);
    deadline_->start(kDeadlineMs);
    // A body past the limit is not read on: it would be refused anyway.
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        body_ += reply_->readAll();
        if (body_.size() > static_cast<qsizetype>(UpdateAnswer::kMaxBodyBytes)) {
            bodyTooLarge_ = true;
            reply_->abort();
        }
    });
    connect(reply_, &QNetworkReply::finished, this, &UpdateChecker::replyFinished);
}

void UpdateChecker::replyFinished()
{
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    deadline_->stop();
    reply->deleteLater();
    if (!bodyTooLarge_ && reply->isOpen())
        body_ += reply->readAll();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (deadlinePassed_) {
        tell(QString("Korvel could not check for updates: the version server did not answer within %1 seconds.")
                 .arg(kDeadlineMs / 1000));
    } else if (!bodyTooLarge_ && status.isValid() && reply->error() != QNetworkReply::NoError &&
               reply->error() < QNetworkReply::ContentAccessDenied) {
        // Cut off part way (a stalled or dropped connection): the body is
        // not the whole answer.
        tell("Korvel could not check for updates: " + reply->errorString() + ".");
    } else if (!bodyTooLarge_ && !status.isValid()) {
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError;
        tell("Korvel could not check for updates: " +
             (timedOut ? QString("the version server did not answer within %1 seconds.").arg(kTimeoutMs / 1000)
                       : reply->errorString() + "."));
    } else {
        const UpdateAnswer answer = UpdateAnswer::read(bodyTooLarge_ ? 200 : status.toInt(),
                                                       std::string_view(body_.constData(), body_.size()));
        switch (answer.kind()) {
        case UpdateAnswer::Kind::Latest:
            tell(QString("You have the latest version of Korvel (%1).").arg(QApplication::applicationVersion()));
            break;
        case UpdateAnswer::Kind::NewVersion:
            announce(QString::fromStdString(answer.text()));
            break;
        case UpdateAnswer::Kind::Unusable:
            tell("Korvel could not check for updates: " + QString::fromStdString(answer.problem()) + ".");
            break;
        }
    }
    userAsked_ = false;
    body_.clear();
    emit finished();
}

// What a check the user asked for came to; a check at start-up keeps quiet.
void UpdateChecker::tell(const QString& text)
{
    if (!userAsked_)
        return;
    if (messageBox_)
        messageBox_->close();
    messageBox_ = new QMessageBox(QMessageBox::Information, "Check for Updates", text, QMessageBox::Ok, window_);
    messageBox_->setTextFormat(Qt::PlainText);
    messageBox_->setAttribute(Qt::WA_DeleteOnClose);
    messageBox_->open();
}

void UpdateChecker::announce(const QString& version)
{
    if (messageBox_)
        messageBox_->close();
    messageBox_ = new QMessageBox(window_);
    messageBox_->setWindowTitle("Korvel Update");
    messageBox_->setIcon(QMessageBox::Information);
    messageBox_->setTextFormat(Qt::PlainText);
    messageBox_->setText("A new version of Korvel is available for download: " + version);
    messageBox_->setInformativeText("Please visit the website to download a copy. ");
    QPushButton* ok = messageBox_->addButton(QMessageBox::Ok);
    messageBox_->setDefaultButton(ok);
    messageBox_->setEscapeButton(ok);
    const QUrl page(Preferences().value(Settings::kDownloadPageUrl).toString().trimmed());
    if (page.isValid() && !page.isEmpty()) {
        QPushButton* visit = messageBox_->addButton("Visit Website", QMessageBox::ActionRole);
        connect(visit, &QPushButton::clicked, this, [page] { QDesktopServices::openUrl(page); });
    }
    messageBox_->setAttribute(Qt::WA_DeleteOnClose);
    messageBox_->open();
}
