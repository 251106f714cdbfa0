#include "dgps/DgpsStationListFiles.h"

#include <cstdlib>
#include <filesystem>

std::string DgpsStationListFiles::userDataFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/Korvel";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share/Korvel";
}

std::string DgpsStationListFiles::userListPath()
{
    return userDataFolder() + "/" + kFileName;
}

std::string DgpsStationListFiles::systemListPath()
{
    return std::string("/usr/share/korvel/") + kFileName;
}

std::string DgpsStationListFiles::locate(const std::string& given, const std::string& recordingPath)
{
    if (!given.empty())
        return given;
    std::error_code ec;
    for (const std::string& path : {userListPath(), systemListPath()})
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    if (!recordingPath.empty()) {
        const std::filesystem::path beside = std::filesystem::path(recordingPath).parent_path() / kFileName;
        if (std::filesystem::is_regular_file(beside, ec))
            return beside.string();
    }
    return {};
}
