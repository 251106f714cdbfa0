#include "audio/SoundDeviceTable.h"

bool SoundDeviceTable::setDevices(std::vector<SoundDeviceRow> devices)
{
    for (SoundDeviceRow& row : devices) {
        auto [it, added] = m_deviceIds.try_emplace(row.uid, m_nextDeviceId);
        if (added)
            ++m_nextDeviceId;
        row.deviceId = it->second;
    }
    if (devices == m_rows)
        return false;
    m_rows = std::move(devices);
    m_outputDevices.clear();
    m_inputDevices.clear();
    for (int i = 0; i < numDevices(); ++i) {
        if (m_rows[i].outputChannels > 0)
            m_outputDevices.push_back(i);
        if (m_rows[i].inputChannels > 0)
            m_inputDevices.push_back(i);
    }
    return true;
}

int SoundDeviceTable::indexOfUid(const std::string& uid) const
{
    for (int i = 0; i < numDevices(); ++i)
        if (m_rows[i].uid == uid)
            return i;
    return -1;
}
