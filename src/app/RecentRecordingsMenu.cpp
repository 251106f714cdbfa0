#include "app/RecentRecordingsMenu.h"

#include "app/Preferences.h"
#include "common/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include <algorithm>

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
    return Preferences().value(Settings::kRecentRecordings).toStringList();
}

void RecentRecordingsMenu::add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = paths();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    Preferences().setValue(Settings::kRecentRecordings, recent.mid(0, kMaxEntries));
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
        Preferences().remove(Settings::kRecentRecordings);
        rebuild();
    });
    clear->setEnabled(!recent.isEmpty());
}
