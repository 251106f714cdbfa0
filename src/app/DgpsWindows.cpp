#include "app/DgpsWindows.h"

#include "app/DGPSWindowController.h"
#include "dgps/DgpsStationListStore.h"

#include <QWidget>

DgpsWindows::DgpsWindows(QWidget* mainWindow)
    : QObject(mainWindow)
    , mainWindow_(mainWindow)
    , stationLists_(std::make_shared<DgpsStationListStore>())
{
    setObjectName("dgpsWindows");
}

DgpsWindows* DgpsWindows::of(QWidget* mainWindow)
{
    if (auto* existing = mainWindow->findChild<DgpsWindows*>("dgpsWindows", Qt::FindDirectChildrenOnly))
        return existing;
    return new DgpsWindows(mainWindow);
}

DGPSWindowController* DgpsWindows::openDGPS(const QString& recordingsFolder)
{
    auto* window = new DGPSWindowController(stationLists_, recordingsFolder, mainWindow_);
    window->show();
    window->myInit();
    return window;
}
