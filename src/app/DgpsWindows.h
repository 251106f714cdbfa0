#pragma once

#include <QObject>
#include <QString>

#include <memory>

class DGPSWindowController;
class DgpsStationListStore;
class QWidget;

// Opens the DGPS windows of a main window and owns what they share: the
// station lists read in this process, each file read once.
class DgpsWindows : public QObject {
    Q_OBJECT
public:
    // The one of `mainWindow`, made on first use; it lives as long as the window.
    static DgpsWindows* of(QWidget* mainWindow);

    // A new DGPS window (it deletes itself when closed), shown; its Load
    // dialog starts in `recordingsFolder`.
    DGPSWindowController* openDGPS(const QString& recordingsFolder);

private:
    explicit DgpsWindows(QWidget* mainWindow);

    QWidget* mainWindow_;
    std::shared_ptr<DgpsStationListStore> stationLists_;
};
