#pragma once

#include "audio/SoundDeviceRow.h"

#include <map>
#include <string>
#include <vector>

// The machine's audio devices in the system's order, with the lists of those
// that can play and those that can record. Any number of devices.
class SoundDeviceTable {
public:
    // Replaces the rows by `devices`. Device IDs are assigned here: a device
    // seen before (same uid) keeps its number, a new one gets the next; the
    // deviceId of the arguments is ignored. Returns whether any row changed.
    bool setDevices(std::vector<SoundDeviceRow> devices);

    const std::vector<SoundDeviceRow>& rows() const { return rows_; }
    int numDevices() const { return static_cast<int>(rows_.size()); }
    // Row indices of the devices with output channels, in table order.
    const std::vector<int>& outputDevices() const { return outputDevices_; }
    // Row indices of the devices with input channels, in table order.
    const std::vector<int>& inputDevices() const { return inputDevices_; }
    // Row index of the device with this uid, -1 when it is not listed.
    int indexOfUid(const std::string& uid) const;

private:
    std::vector<SoundDeviceRow> rows_;
    std::vector<int> outputDevices_;
    std::vector<int> inputDevices_;
    std::map<std::string, uint32_t> deviceIds_;
    uint32_t nextDeviceId_ = 1;
};
