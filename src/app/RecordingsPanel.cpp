#include "app/RecordingsPanel.h"

#include "app/Preferences.h"
#include "common/Settings.h"
#include "recording/RecordingObject.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

// Folders are made absolute where they come in: the waterfall worker and the
// file run open recordings by path, from wherever the process stands.
QString AbsoluteFolder(const QString& folder)
{
    return folder.isEmpty() ? folder : QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

RecordingsPanel::RecordingsPanel(QWidget* parent)
    : QGroupBox("Recordings", parent)
    , selectedRecordingFolder(AbsoluteFolder(Preferences().value(Settings::kRecordingsFolder).toString()))
{
    auto* filesColumn = new QVBoxLayout(this);
    filesColumn->setContentsMargins(6, 6, 6, 6);
    folderLabel = new QLabel;
    folderLabel->setObjectName("folderLabel");
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folderLabel->setMinimumWidth(60);
    filesColumn->addWidget(folderLabel);
    auto* buttons = new QHBoxLayout;
    auto* chooseButton = new QPushButton("Choose Folder…");
    chooseButton->setObjectName("chooseFolderButton");
    chooseButton->setToolTip("Choose the folder that holds your recordings");
    connect(chooseButton, &QPushButton::clicked, this, &RecordingsPanel::setRecordingFolder);
    auto* reloadButton = new QPushButton("Reload");
    reloadButton->setObjectName("reloadButton");
    reloadButton->setToolTip("List the folder's files again");
    connect(reloadButton, &QPushButton::clicked, this, &RecordingsPanel::ReloadTheFilesList);
    buttons->addWidget(chooseButton);
    buttons->addWidget(reloadButton);
    buttons->addStretch();
    filesColumn->addLayout(buttons);
    fileBrowser = new QListWidget;
    fileBrowser->setObjectName("fileBrowser");
    fileBrowser->setToolTip("Click to draw a recording; Alt-click opens it in a waterfall window");
    fileBrowser->setContextMenuPolicy(Qt::CustomContextMenu);
    fileBrowser->viewport()->installEventFilter(this);
    fileBrowser->installEventFilter(this);
    connect(fileBrowser, &QListWidget::itemClicked, this, &RecordingsPanel::doClick);
    keyMoveRest_.setSingleShot(true);
    keyMoveRest_.setInterval(350);
    connect(&keyMoveRest_, &QTimer::timeout, this, [this] {
        QListWidgetItem* item = fileBrowser->currentItem();
        if (item && item->text() != lastOpened_) {
            fileClickModifiers = Qt::NoModifier;
            doClick(item);
        }
    });
    connect(fileBrowser, &QListWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QListWidgetItem* item = fileBrowser->itemAt(pos)) {
            QMenu* menu = createFileContextMenu(item->text());
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(fileBrowser->viewport()->mapToGlobal(pos));
        }
    });
    // Enough rows to pick from without scrolling at once.
    fileBrowser->setMinimumHeight(6 * fileBrowser->fontMetrics().lineSpacing() + 2 * fileBrowser->frameWidth() + 4);
    filesColumn->addWidget(fileBrowser, 1);
}

void RecordingsPanel::useRecordingFolderForSession(const QString& dir)
{
    sessionFolder = AbsoluteFolder(dir);
    ReloadTheFilesList();
}

QString RecordingsPanel::recordingFolder() const
{
    if (!sessionFolder.isEmpty())
        return sessionFolder;
    if (!selectedRecordingFolder.isEmpty())
        return selectedRecordingFolder;
    return QDir(QDir::homePath()).filePath("sdr_recordings");
}

QString RecordingsPanel::currentFile() const
{
    const QListWidgetItem* item = fileBrowser->currentItem();
    return item ? item->text() : QString();
}

bool RecordingsPanel::selectFile(const QString& name)
{
    const QList<QListWidgetItem*> found = fileBrowser->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    fileBrowser->setCurrentItem(found.front());
    fileBrowser->scrollToItem(found.front());
    return true;
}

void RecordingsPanel::setRecordingFolder()
{
    QFileDialog chooser(this, "Choose Directory for recording files", recordingFolder());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setLabelText(QFileDialog::Accept, "Choose Directory");
    if (chooser.exec() == QDialog::Accepted)
        chooseRecordingFolder(chooser.selectedFiles().value(0));
}

void RecordingsPanel::chooseRecordingFolder(const QString& path)
{
    selectedRecordingFolder = AbsoluteFolder(path);
    sessionFolder.clear();
    QSettings settings = Preferences();
    settings.setValue(Settings::kRecordingsFolder, selectedRecordingFolder);
    settings.sync();
    ReloadTheFilesList();
}

void RecordingsPanel::ReloadTheFilesList()
{
    const QString folder = recordingFolder();
    // Only what would open, by name; hidden files are the unfinished ones.
    const QDir dir(folder);
    filesArray.clear();
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (RecordingObject::isRecordingFile(QFile::encodeName(dir.filePath(name)).toStdString()))
            filesArray << name;
    }
    // The file chosen stays chosen when it is listed again.
    const QString chosen = currentFile();
    const QString chosenFolder = listedFolder_;
    fileBrowser->clear();
    fileBrowser->addItems(filesArray);
    listedFolder_ = folder;
    if (!chosen.isEmpty() && chosenFolder == folder)
        selectFile(chosen);
    folderLabel->setText(QDir::toNativeSeparators(folder));
    folderLabel->setToolTip(QDir::toNativeSeparators(folder));
    const QString previousProblem = folderProblem;
    folderProblem.clear();
    if (!QDir(folder).exists())
        folderProblem = QString("The recordings folder %1 does not exist; choose one with File > Choose Recordings Folder")
                            .arg(QDir::toNativeSeparators(folder));
    emit folderChecked(folderProblem, previousProblem);
}

bool RecordingsPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fileBrowser->viewport()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        fileClickModifiers = static_cast<QMouseEvent*>(event)->modifiers();
    } else if (watched == fileBrowser && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && fileBrowser->currentItem()) {
            fileClickModifiers = key->modifiers();
            doClick(fileBrowser->currentItem());
            return true;
        }
        // Moving through the list with the keys draws the recording arrived at,
        // once the keys rest: passing over a file does not load it.
        static const int kMoves[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        if (std::find(std::begin(kMoves), std::end(kMoves), key->key()) != std::end(kMoves))
            keyMoveRest_.start();
    }
    return QGroupBox::eventFilter(watched, event);
}

void RecordingsPanel::doClick(QListWidgetItem* item)
{
    lastOpened_ = item->text();
    if (fileClickModifiers & Qt::AltModifier)
        emit openAsWaterfallRequested(item->text());
    else
        emit openRequested(item->text());
}

QMenu* RecordingsPanel::createFileContextMenu(const QString& name)
{
    auto* menu = new QMenu(this);
    menu->addAction("Open", this, [this, name] { emit openRequested(name); });
    menu->addAction("Open in Waterfall Window", this, [this, name] { emit openAsWaterfallRequested(name); });
    menu->addSeparator();
    menu->addAction("Reload Files List", this, &RecordingsPanel::ReloadTheFilesList);
    return menu;
}
