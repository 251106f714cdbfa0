#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QWidget;

// Asks the version server whether a newer Korvel is out, in the background:
// an HTTP GET of UpdateQuery's path on the server of the preference
// "updateCheckURL", which fails after 3 seconds without progress or 10
// seconds in all. A newer version is announced in a message box over WINDOW
// whose "Visit Website" opens "downloadPageURL" in the desktop's browser. The server's text is
// shown as plain text, as UpdateAnswer reads it.
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    explicit UpdateChecker(QWidget* window);
    ~UpdateChecker() override;

    // The check at start-up: nothing when "PREF_DONT_CHECK_UPDATES" is not 0
    // or no version server is set, and only a newer version is announced.
    void checkVersion();
    // Help > Check for Updates: asks whatever the preference says, and also
    // says "You have the latest version" or why it could not check.
    void checkNow();

    bool isChecking() const { return reply_ != nullptr; }
    // The message box last shown, while it is open.
    QMessageBox* messageBox() const { return messageBox_ && messageBox_->isVisible() ? messageBox_.data() : nullptr; }

signals:
    // A check ended (with or without a message).
    void finished();

private:
    void start(bool userAsked);
    void replyFinished();
    void tell(const QString& text);
    void announce(const QString& version);

    QWidget* window_;
    QNetworkAccessManager* network_;
    QNetworkReply* reply_ = nullptr;
    QTimer* deadline_;
    bool deadlinePassed_ = false;
    QByteArray body_;
    bool bodyTooLarge_ = false;
    bool userAsked_ = false;
    QPointer<QMessageBox> messageBox_;
};
