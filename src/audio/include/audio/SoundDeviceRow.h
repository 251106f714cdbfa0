#pragma once

#include <cstdint>
#include <string>

// One audio device as the sound device table lists it.
struct SoundDeviceRow {
    std::string name;          // as the system shows it, UTF-8
    uint32_t deviceId = 0;     // our own number for the device, stable while the program runs
    std::string uid;           // the system's persistent identifier; the sound output opens the device by it
    int outputChannels = 0;    // channels of its output side, 0 when it has none
    int inputChannels = 0;     // channels of its input side, 0 when it has none

    bool operator==(const SoundDeviceRow&) const = default;
};
