#include "audio/SoundDeviceTable.h"

bool SoundDeviceTable::setDevices(std::vector<SoundDeviceRow> devices)
{
    for (SoundDeviceRow& row : devices) {
        auto [it, added] = deviceIds_.try_emplace(row.uid, nextDeviceId_);
        if (added)
            ++nextDeviceId_;
        row.deviceId = it->second;
    }
    if (devices == rows_)
        return false;
    rows_ = std::move(devices);
    outputDevices_.clear();
    inputDevices_.clear();
    for (int i = 0; i < numDevices(); ++i) {
        if (rows_[i].outputChannels > 0)
            outputDevices_.push_back(i);
        if (rows_[i].inputChannels > 0)
            inputDevices_.push_back(i);
    }
    return true;
}

int SoundDeviceTable::indexOfUid(const std::string& uid) const
{
    for (int i = 0; i < numDevices(); ++i)
        if (rows_[i].uid == uid)
            return i;
    return -1;
}
