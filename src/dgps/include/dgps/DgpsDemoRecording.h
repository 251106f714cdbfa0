#pragma once

#include "recording/DemoRecordings.h"

#include <string>

// The demo folder's DGPS recording: long wave around 300 kHz with the MSK
// beacons of four made-up stations sending RTCM null frames and correction
// sets, and the made-up station list that names them.
class DgpsDemoRecording {
public:
    static constexpr const char* kStationListName = "DGPSSTATIONLIST.TXT";

    static DemoRecordings::Entry entry();
    // The station list text (the made-up stations of the recording).
    static const char* stationList();
    // Writes the recording and the station list into `folder`, each through
    // a temporary name. False with `error` set on failure.
    static bool write(const std::string& folder, std::string& error);
};
