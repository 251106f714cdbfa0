#include "LocalHttpServer.h"
#include "app/UpdateChecker.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Stands in for the desktop's browser.
class BrowserStandIn : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

const char* const kNewVersionText = "A new version of Korvel is available for download: ";

// A window with its checker, and the version server and download page set.
class UpdateCheckerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QApplication::setApplicationVersion("1.2.3");
        QSettings settings("Korvel", "Korvel");
        settings.setValue("updateCheckURL", server.address() + "/");
        settings.setValue("downloadPageURL", "http://127.0.0.1:9/download");
        settings.remove("PREF_DONT_CHECK_UPDATES");
    }
    void TearDown() override
    {
        QSettings settings("Korvel", "Korvel");
        for (const char* key : {"updateCheckURL", "downloadPageURL", "PREF_DONT_CHECK_UPDATES"})
            settings.remove(key);
    }

    // Runs a check to its end; the message box it left, if any.
    QMessageBox* check(bool userAsked, int waitMs = 10000)
    {
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        userAsked ? checker.checkNow() : checker.checkVersion();
        if (finished.isEmpty()) {
            EXPECT_TRUE(finished.wait(waitMs));
        }
        return checker.messageBox();
    }

    QTemporaryDir settingsDir;
    LocalHttpServer server;
    QWidget window;
    UpdateChecker checker{&window};
};

TEST_F(UpdateCheckerTest, RequestCarriesTheQueryAndDoesNotWaitForTheAnswer)
{
    server.answer(200, "LATEST 1.2.3");
    QSignalSpy finished(&checker, &UpdateChecker::finished);
    checker.checkVersion();
    EXPECT_TRUE(checker.isChecking());
    EXPECT_TRUE(finished.isEmpty());
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_EQ(server.targets().size(), 1);
    const QByteArray target = server.targets().front();
    EXPECT_TRUE(target.startsWith("/version/versionb.html?p=1325123L")) << target.constData();
    EXPECT_EQ(target.size(), QByteArray("/version/versionb.html?p=").size() + 17);
    EXPECT_TRUE(target.endsWith("00000"));
    EXPECT_EQ(checker.messageBox(), nullptr);
}

TEST_F(UpdateCheckerTest, AnswersAtStartUpAndOnDemand)
{
    const QByteArray huge(64 * 1024 * 1024, 'v');
    const struct {
        const char* name;
        int status;
        QByteArray body;
        QString atStartUp; // the message after a check at start-up; empty: none
        QString onDemand;  // its start, after a check the user asked for
    } cases[] = {
        {"latest", 200, "LATEST 1.2.3", "", "You have the latest version of Korvel (1.2.3)."},
        {"newer", 200, "1.2.4\n", QString(kNewVersionText) + "1.2.4", QString(kNewVersionText) + "1.2.4"},
        {"markup", 200, "<b>2.0</b> <a href=\"x\">here</a>", QString(kNewVersionText) + "<b>2.0</b> <a href=\"x\">here</a>",
         QString(kNewVersionText) + "<b>2.0</b>"},
        {"not found, no body", 404, "", "", "Korvel could not check for updates: the version server answered with HTTP status 404."},
        {"not found, a page", 404, "<html>Not Found</html>", "", "Korvel could not check for updates: the version server answered with HTTP status 404."},
        {"not UTF-8", 200, "1.2.4 \xFF\xFE", "", "Korvel could not check for updates: the version server's answer is not text."},
        {"huge", 200, huge, "", "Korvel could not check for updates: the version server's answer is too large."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.answer(c.status, c.body);
        for (bool userAsked : {false, true}) {
            QMessageBox* box = check(userAsked);
            const QString expected = userAsked ? c.onDemand : c.atStartUp;
            if (expected.isEmpty()) {
                EXPECT_EQ(box, nullptr);
                continue;
            }
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(box->text().startsWith(expected)) << box->text().toStdString();
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            box->close();
            QApplication::processEvents();
        }
    }
}

TEST_F(UpdateCheckerTest, NewVersionOffersTheDownloadPage)
{
    server.answer(200, "Korvel 9.0 is out");
    QMessageBox* box = check(false);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString(kNewVersionText) + "Korvel 9.0 is out");
    EXPECT_EQ(box->informativeText(), "Please visit the website to download a copy. ");
    QStringList buttons;
    for (QAbstractButton* button : box->buttons())
        buttons << button->text().remove('&');
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"OK", "Visit Website"}));
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
    EXPECT_FALSE(box->isModal() && box->windowModality() == Qt::ApplicationModal);
    BrowserStandIn browser;
    QDesktopServices::setUrlHandler("http", &browser, "open");
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == "Visit Website")
            button->click();
    }
    QDesktopServices::unsetUrlHandler("http");
    EXPECT_EQ(browser.opened, QList<QUrl>({QUrl("http://127.0.0.1:9/download")}));
    box->close();

    QSettings("Korvel", "Korvel").remove("downloadPageURL");
    box = check(false);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->buttons().size(), 1) << "no page to visit";
}

TEST_F(UpdateCheckerTest, NoRequestWhenTurnedOffOrNoServerIsSet)
{
    server.answer(200, "1.2.4");
    QSettings("Korvel", "Korvel").setValue("PREF_DONT_CHECK_UPDATES", 1);
    checker.checkVersion();
    EXPECT_FALSE(checker.isChecking());
    // Asking by hand checks all the same.
    EXPECT_NE(check(true), nullptr);
    EXPECT_EQ(server.targets().size(), 1);
    checker.messageBox()->close();

    QSettings("Korvel", "Korvel").setValue("PREF_DONT_CHECK_UPDATES", 0);
    QSettings("Korvel", "Korvel").remove("updateCheckURL");
    EXPECT_EQ(check(false), nullptr);
    QMessageBox* box = check(true);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains("no version server is set")) << box->text().toStdString();
    EXPECT_EQ(server.targets().size(), 1);
}

TEST_F(UpdateCheckerTest, SilentServerTimesOutAfterThreeSeconds)
{
    server.neverAnswer();
    QElapsedTimer clock;
    clock.start();
    QMessageBox* box = check(true);
    EXPECT_GE(clock.elapsed(), 2500); // the time-out's timer is coarse
    EXPECT_LT(clock.elapsed(), 9000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Korvel could not check for updates: the version server did not answer within 3 seconds.");
    EXPECT_EQ(server.targets().size(), 1);
}

// A server sending a byte a second never lets the 3-second time-out fire;
// the check still ends after 10 seconds in all, and the part of the body that
// came is not taken for an answer.
TEST_F(UpdateCheckerTest, SlowDripServerMeetsTheOverallDeadline)
{
    server.drip(200, QByteArray(4000, 'v'), 1000);
    QElapsedTimer clock;
    clock.start();
    QMessageBox* box = check(true, 30000);
    EXPECT_GE(clock.elapsed(), 9000);
    EXPECT_LT(clock.elapsed(), 25000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Korvel could not check for updates: the version server did not answer within 10 seconds.");
}

} // namespace

#include "UpdateCheckerTest.moc"
