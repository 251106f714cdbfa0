#pragma once

#include <cstdint>

// One beacon station of the station list.
struct DgpsStation {
    float kHz = 0.0f;        // channel frequency, kHz
    int32_t ID = 0;          // transmitter ID
    int32_t ref1 = 0;        // reference station IDs; a first word naming
    int32_t ref2 = 0;        // either one belongs to this station
    float baud = 0.0f;       // 100 or 200
    char City[50] = {};      // site, at most 49 characters
    char Country[50] = {};   // at most 49 characters
    float Lat = 0.0f;        // degrees, north positive; -999 when unreadable
    float Lon = 0.0f;        // degrees, east positive; -999 when unreadable
};
