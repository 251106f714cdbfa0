#include "app/RecentRecordingsMenu.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include <algorithm>

namespace {

const char* const kRecentKey = "recentRecordings";

QSettings Preferences()
{
    return QSettings("Korvel", "Korvel");
}

} // namespace

RecentRecordingsMenu::RecentRecordingsMenu(QWidget* window)
    : QObject(window)
    , menu_(new QMenu("Open &Recent", window))
{
    menu_->setObjectName("recentRecordingsMenu");
    connect(menu_, &QMenu::aboutToShow, this, &RecentRecordingsMenu::rebuild);
    rebuild();
}

QStringList RecentRecordingsMenu::paths() const
{
    return Preferences().value(kRecentKey).toStringList();
}

void RecentRecordingsMenu::add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = paths();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    Preferences().setValue(kRecentKey, recent.mid(0, kMaxEntries));
    rebuild();
}

void RecentRecordingsMenu::rebuild()
{
    QStringList recent = paths();
    recent.erase(std::remove_if(recent.begin(), recent.end(), [](const QString& path) { return !QFileInfo(path).isFile(); }),
                 recent.end());
    menu_->clear();
    for (const QString& path : recent) {
        QAction* entry = menu_->addAction(QFileInfo(path).fileName(), this, [this, path] { emit openRequested(path); });
        entry->setToolTip(QDir::toNativeSeparators(path));
    }
    menu_->addSeparator();
    QAction* clear = menu_->addAction("&Clear Menu", this, [this] {
        Preferences().remove(kRecentKey);
        rebuild();
    });
    clear->setEnabled(!recent.isEmpty());
}
