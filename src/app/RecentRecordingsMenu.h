#pragma once

#include <QObject>
#include <QStringList>

class QMenu;
class QWidget;

// File > Open Recent: the recordings last opened by path (newest first, at
// most kMaxEntries, kept in the preference "recentRecordings"), and Clear
// Menu. Files that are gone are left out when the menu opens.
class RecentRecordingsMenu : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 10;

    // The menu belongs to WINDOW.
    explicit RecentRecordingsMenu(QWidget* window);

    QMenu* menu() const { return menu_; }
    QStringList paths() const;
    // Puts PATH first.
    void add(const QString& path);

signals:
    void openRequested(const QString& path);

private:
    void rebuild();

    QMenu* menu_;
};
