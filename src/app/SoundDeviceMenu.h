#pragma once

#include "audio/SoundDeviceTable.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QMenu;

// The sound device table and the "Output Device" submenu: "Default Output
// Device" first, then every device that can play, by name. Choosing an item
// asks for the sound output to restart on that device (outputDeviceChosen);
// devices that come and go while the program runs are added and dropped, and
// when the chosen one goes, the default device takes its place.
class SoundDeviceMenu : public QObject {
    Q_OBJECT
public:
    explicit SoundDeviceMenu(QObject* parent = nullptr);
    ~SoundDeviceMenu() override;

    // The submenu, owned by this object; put it under the main menu's item.
    QMenu* menu() const { return menu_.get(); }

    // Reads the system's devices (QMediaDevices) into the table and the menu.
    void GetSoundDevices();
    // Keeps the table and menu current as devices appear and vanish.
    void followSystemDevices();
    // Replaces the table by `devices` (the system's, or a test's) and updates the menu.
    void setDevices(std::vector<SoundDeviceRow> devices);
    const SoundDeviceTable& soundDeviceTable() const { return table; }

    // Action of every item of the submenu: checks it and selects its device.
    void outputMenuChange(QAction* item);

    // mOutputDevice: the table row of the chosen device, -1 for the default device.
    int outputDevice() const { return mOutputDevice; }
    // The chosen device's unique identifier for SoundOutputDevice::startSound; empty for the default.
    QByteArray outputDeviceId() const { return chosenUid; }

    // While `busy` returns true (a file run), a restart waits; the latest
    // choice is announced once it returns false.
    void setBusyCheck(std::function<bool()> busy);

signals:
    // Restart the sound output on this device (empty: the default device).
    void outputDeviceChosen(const QByteArray& deviceId);

private:
    void SetOutputMenuItems();
    void requestRestart();
    void restartWhenIdle();

    SoundDeviceTable table;
    std::unique_ptr<QMenu> menu_;
    QActionGroup* items = nullptr;
    QByteArray chosenUid;
    int mOutputDevice = -1;
    std::function<bool()> isBusy;
    QTimer deferredRestart;
    QTimer devicePoll;
};
