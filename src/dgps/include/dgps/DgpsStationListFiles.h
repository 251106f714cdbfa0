#pragma once

#include <string>

// Where the user's DGPS station list lives. Korvel ships no list of real
// stations; the user imports one (DgpsAlmanacImport) or gives a file.
class DgpsStationListFiles {
public:
    static constexpr const char* kFileName = "DGPSSTATIONLIST.TXT";

    // $XDG_DATA_HOME/Korvel, else $HOME/.local/share/Korvel.
    static std::string userDataFolder();
    // The list in the user's data folder (whether it exists or not).
    static std::string userListPath();
    // The list of a system-wide installation.
    static std::string systemListPath();
    // `given` when not empty; else the user's list, else the system's, else
    // the list beside `recordingPath` (as the demo folder has one), when it
    // exists; else "".
    static std::string locate(const std::string& given, const std::string& recordingPath = {});
};
