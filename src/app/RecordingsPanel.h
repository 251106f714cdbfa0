#pragma once

#include <QGroupBox>
#include <QStringList>
#include <QTimer>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;

// The "Recordings" group: the folder, Choose Folder… and Reload, and the
// folder's recordings by name. A click asks for a recording to be opened, an
// Alt-click (or Return with Alt) or the context menu for it to be opened in
// a waterfall window. The chosen folder is the preference "PREF_REC_FOLDER".
class RecordingsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit RecordingsPanel(QWidget* parent = nullptr);

    // Lists DIR instead of the saved recordings folder until the app quits.
    void useRecordingFolderForSession(const QString& dir);
    // The session folder, else the chosen one, else "sdr_recordings" in the
    // home folder.
    QString recordingFolder() const;
    const QStringList& recordingFiles() const { return filesArray; }
    // The name selected in the list, or empty.
    QString currentFile() const;
    // Selects NAME in the list; false when it is not listed.
    bool selectFile(const QString& name);

    // The menu of a file in the list (open, open in the waterfall window,
    // reload); the caller owns it.
    QMenu* createFileContextMenu(const QString& name);

public slots:
    // Asks for a recordings folder; confirming stores and lists it.
    void setRecordingFolder();
    // Stores PATH (empty: the default folder) as the recordings folder and lists it.
    void chooseRecordingFolder(const QString& path);
    void ReloadTheFilesList();

signals:
    void openRequested(const QString& name);
    void openAsWaterfallRequested(const QString& name);
    // After each listing: why the folder cannot be listed (empty when it can),
    // and what was said the time before.
    void folderChecked(const QString& problem, const QString& previousProblem);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void doClick(QListWidgetItem* item);

    QStringList filesArray;
    QString selectedRecordingFolder;
    QString sessionFolder;
    QString folderProblem;
    Qt::KeyboardModifiers fileClickModifiers;
    QLabel* folderLabel;
    QListWidget* fileBrowser;
    // The folder the list shows.
    QString listedFolder_;
    // The recording last asked for; the keys' rest loads another one only.
    QString lastOpened_;
    QTimer keyMoveRest_;
};
