#include "app/SoundDeviceMenu.h"

#include "common/SystemLog.h"

#include <QActionGroup>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMenu>

#include <algorithm>

namespace {

constexpr int deferredRestartCheckMs = 500;
// Qt 6.4 does not always announce devices of a sound server that appear later.
constexpr int devicePollMs = 2000;

std::vector<SoundDeviceRow> systemDevices()
{
    std::vector<SoundDeviceRow> rows;
    for (const QAudioDevice& device : QMediaDevices::audioOutputs()) {
        // maximumChannelCount() reports what the server could mix, not the device.
        rows.push_back({device.description().toStdString(), 0, device.id().toStdString(),
                        device.preferredFormat().channelCount(), 0});
    }
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        const int channels = device.preferredFormat().channelCount();
        auto same = std::find_if(rows.begin(), rows.end(),
                                 [&](const SoundDeviceRow& row) { return row.uid == device.id().toStdString(); });
        if (same != rows.end())
            same->inputChannels = channels;
        else
            rows.push_back({device.description().toStdString(), 0, device.id().toStdString(), 0, channels});
    }
    return rows;
}

}  // namespace

SoundDeviceMenu::SoundDeviceMenu(QObject* parent)
    : QObject(parent), menu_(std::make_unique<QMenu>(tr("Output Device")))
{
    deferredRestart.setInterval(deferredRestartCheckMs);
    connect(&deferredRestart, &QTimer::timeout, this, &SoundDeviceMenu::restartWhenIdle);
    devicePoll.setInterval(devicePollMs);
    connect(&devicePoll, &QTimer::timeout, this, &SoundDeviceMenu::GetSoundDevices);
    SetOutputMenuItems();
}

SoundDeviceMenu::~SoundDeviceMenu() = default;

void SoundDeviceMenu::GetSoundDevices()
{
    setDevices(systemDevices());
}

void SoundDeviceMenu::followSystemDevices()
{
    auto* devices = new QMediaDevices(this);
    connect(devices, &QMediaDevices::audioOutputsChanged, this, &SoundDeviceMenu::GetSoundDevices);
    connect(devices, &QMediaDevices::audioInputsChanged, this, &SoundDeviceMenu::GetSoundDevices);
    devicePoll.start();
    GetSoundDevices();
}

void SoundDeviceMenu::setDevices(std::vector<SoundDeviceRow> devices)
{
    if (!table.setDevices(std::move(devices)))
        return;
    mOutputDevice = chosenUid.isEmpty() ? -1 : table.indexOfUid(chosenUid.toStdString());
    const bool chosenGone = !chosenUid.isEmpty() && (mOutputDevice < 0 || table.rows()[mOutputDevice].outputChannels == 0);
    if (chosenGone) {
        SystemLog("sound output device %s gone, using the default device", chosenUid.constData());
        chosenUid.clear();
        mOutputDevice = -1;
    }
    SetOutputMenuItems();
    if (chosenGone)
        requestRestart();
}

void SoundDeviceMenu::SetOutputMenuItems()
{
    menu_->clear();
    delete items;
    items = new QActionGroup(this);
    items->setExclusive(true);
    connect(items, &QActionGroup::triggered, this, &SoundDeviceMenu::outputMenuChange);

    auto add = [this](const QString& title, const QByteArray& uid) {
        QAction* item = menu_->addAction(title);
        item->setCheckable(true);
        item->setData(uid);
        item->setChecked(uid == chosenUid);
        items->addAction(item);
    };
    add(tr("Default Output Device"), QByteArray());
    for (int row : table.outputDevices())
        add(QString::fromStdString(table.rows()[row].name), QByteArray::fromStdString(table.rows()[row].uid));
}

void SoundDeviceMenu::outputMenuChange(QAction* item)
{
    item->setChecked(true);
    // Items carry the device's identifier, not only its name: two devices of
    // the same name stay apart, and no device is mistaken for the default.
    chosenUid = item->data().toByteArray();
    mOutputDevice = chosenUid.isEmpty() ? -1 : table.indexOfUid(chosenUid.toStdString());
    SystemLog("sound output device %d", mOutputDevice);
    requestRestart();
}

void SoundDeviceMenu::setBusyCheck(std::function<bool()> busy)
{
    isBusy = std::move(busy);
}

void SoundDeviceMenu::requestRestart()
{
    if (isBusy && isBusy()) {
        deferredRestart.start();
        return;
    }
    deferredRestart.stop();
    emit outputDeviceChosen(chosenUid);
}

void SoundDeviceMenu::restartWhenIdle()
{
    if (isBusy && isBusy())
        return;
    deferredRestart.stop();
    emit outputDeviceChosen(chosenUid);
}
