#include "app/RawIqDialog.h"
#include "app/WindowControl.h"
#include "recording/RecordingObject.h"

#include "IqRecordingWriter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A window listing an empty folder, and a recording and a note elsewhere.
class OpenRecordingFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid() && listedDir.isValid() && otherDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        ASSERT_TRUE(writeIqRecording(pathOf("first.wav"), 1, 1000, nullptr));
        ASSERT_TRUE(writeIqRecording(pathOf("second.wav"), 1, 1000, nullptr));
        QFile notes(pathOf("notes.txt"));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("not a recording\n");
        notes.close();
        window = std::make_unique<WindowControl>();
        window->useRecordingFolderForSession(listedDir.path());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QString pathOf(const char* name) const { return QDir(otherDir.path()).filePath(name); }
    QString selectedFile() const
    {
        const QListWidgetItem* item = window->findChild<QListWidget*>("fileBrowser")->currentItem();
        return item ? item->text() : QString();
    }
    QStringList recent() const { return QSettings("Korvel", "Korvel").value("recentRecordings").toStringList(); }

    // Drags PATHS onto the window and drops them there; whether it took them.
    bool drop(const QStringList& paths)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        mime.setUrls(urls);
        const QPoint where = window->rect().center();
        QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return dropped.isAccepted();
    }

    QTemporaryDir settingsDir;
    QTemporaryDir listedDir;
    QTemporaryDir otherDir;
    std::unique_ptr<WindowControl> window;
};

TEST_F(OpenRecordingFileTest, PathListsItsFolderSelectsAndLoadsIt)
{
    window->openRecordingFile(pathOf("second.wav"));
    EXPECT_EQ(window->recordingFolder(), otherDir.path());
    EXPECT_EQ(window->recordingFiles(), QStringList({"first.wav", "second.wav"}));
    EXPECT_EQ(selectedFile(), "second.wav");
    EXPECT_NE(window->recording(), nullptr);
    EXPECT_EQ(recent(), QStringList({pathOf("second.wav")}));
    EXPECT_TRUE(QSettings("Korvel", "Korvel").value("PREF_REC_FOLDER").toString().isEmpty())
        << "the chosen folder stays as it was";

    window->openRecordingFile(pathOf("first.wav"));
    EXPECT_EQ(selectedFile(), "first.wav");
    EXPECT_EQ(recent(), QStringList({pathOf("first.wav"), pathOf("second.wav")}));
}

// The arrow keys in the list draw the recording they rest on: the file
// highlighted and the file shown do not part.
TEST_F(OpenRecordingFileTest, TheKeysDrawTheRecordingTheyRestOn)
{
    window->openRecordingFile(pathOf("first.wav"));
    ASSERT_EQ(window->windowTitle(), "first.wav");
    auto* list = window->findChild<QListWidget*>("fileBrowser");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(selectedFile(), "second.wav");
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->windowTitle() == "second.wav"; }, 5000));
}

TEST_F(OpenRecordingFileTest, WhatCannotBeOpenedIsSaid)
{
    const struct {
        QString path;
        const char* message;
    } cases[] = {
        {pathOf("notes.txt"), "notes.txt is not a recording that Korvel can open."},
        {pathOf("gone.wav"), "gone.wav is not a file or folder."},
    };
    for (const auto& c : cases) {
        window->openRecordingFile(c.path);
        EXPECT_TRUE(window->statusText().endsWith(c.message)) << window->statusText().toStdString();
        EXPECT_EQ(window->recording(), nullptr);
    }
    EXPECT_TRUE(recent().isEmpty());
}

// A folder, given on the command line or dropped, is listed for the run;
// nothing is loaded.
TEST_F(OpenRecordingFileTest, AFolderIsListed)
{
    window->openRecordingFile(otherDir.path());
    EXPECT_EQ(window->recordingFolder(), otherDir.path());
    EXPECT_EQ(window->recordingFiles(), QStringList({"first.wav", "second.wav"}));
    EXPECT_TRUE(window->statusText().endsWith(": 2 recordings")) << window->statusText().toStdString();
    EXPECT_EQ(window->recording(), nullptr);

    window->useRecordingFolderForSession(listedDir.path());
    EXPECT_TRUE(drop({otherDir.path()}));
    EXPECT_EQ(window->recordingFolder(), otherDir.path());
    EXPECT_TRUE(QSettings("Korvel", "Korvel").value("PREF_REC_FOLDER").toString().isEmpty())
        << "the chosen folder stays as it was";
}

// A raw capture whose name says nothing asks for its rate and format; values
// that cannot be used keep the dialog open, Cancel loads nothing.
TEST_F(OpenRecordingFileTest, ARawFileIsOpenedAfterTheDialogDescribesIt)
{
    QFile raw(pathOf("capture.cu8"));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write(QByteArray(2 * 3000, '\x80'));
    raw.close();

    struct Typed {
        QString rate, format, center;
        bool cancel;
    };
    std::vector<Typed> answers = {{"2.5x", "cu8", "", false}, {"", "", "", true}};
    QStringList problems;
    const auto answer = [&] {
        auto* dialog = qobject_cast<RawIqDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (const Typed& t : answers) {
            if (t.cancel) {
                dialog->reject();
                return;
            }
            dialog->setValues(t.rate, t.format, t.center);
            dialog->accept();
            problems << dialog->problem();
        }
    };
    QTimer::singleShot(0, answer);
    window->openRecordingFile(pathOf("capture.cu8"));
    EXPECT_EQ(window->recording(), nullptr);
    EXPECT_TRUE(problems.value(0).startsWith("The sample rate is a number")) << problems.value(0).toStdString();

    answers = {{"1k", "cs8", "433.92M", false}};
    QTimer::singleShot(0, answer);
    window->openRecordingFile(pathOf("capture.cu8"));
    ASSERT_NE(window->recording(), nullptr) << window->statusText().toStdString();
    EXPECT_EQ(window->recording()->layoutName(), "Raw I/Q");
    EXPECT_EQ(window->recording()->parameters().mSampleRate, 1000);
    EXPECT_EQ(window->recording()->parameters().mCenterFreq, 433920000);
    EXPECT_EQ(window->recording()->parameters().mNumSeconds, 3);
    EXPECT_EQ(window->recording()->sampleFormat().encoding(), SampleFormat::Encoding::Int8);
}

TEST_F(OpenRecordingFileTest, OneDroppedFileIsOpened)
{
    EXPECT_FALSE(drop({pathOf("first.wav"), pathOf("second.wav")}));
    EXPECT_EQ(window->recording(), nullptr);
    EXPECT_TRUE(drop({pathOf("second.wav")}));
    EXPECT_EQ(selectedFile(), "second.wav");
    EXPECT_NE(window->recording(), nullptr);
}

TEST_F(OpenRecordingFileTest, RecentMenuReopensAndForgetsWhatIsGone)
{
    window->openRecordingFile(pathOf("first.wav"));
    window->openRecordingFile(pathOf("second.wav"));
    ASSERT_TRUE(QFile::remove(pathOf("second.wav")));
    window->useRecordingFolderForSession(listedDir.path());

    auto* menu = window->findChild<QMenu*>("recentRecordingsMenu");
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << action->text();
    EXPECT_EQ(entries, QStringList({"first.wav", "", "&Clear Menu"}));
    menu->actions().front()->trigger();
    EXPECT_EQ(window->recordingFolder(), otherDir.path());
    EXPECT_EQ(selectedFile(), "first.wav");

    menu->actions().back()->trigger();
    EXPECT_TRUE(recent().isEmpty());
    EXPECT_EQ(menu->actions().size(), 2);
}

} // namespace
