#include "dgps/DgpsStationListStore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

bool DgpsStationListStore::text(const std::string& path, bool reread, std::string& text, std::string& error)
{
    if (!reread) {
        if (const auto known = texts_.find(path); known != texts_.end()) {
            text = known->second;
            return true;
        }
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "cannot read station list " + path + ": it is a folder";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read station list " + path + ": " + std::strerror(errno);
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > static_cast<std::uintmax_t>(kMaxBytes)) {
        error = path + " is no station list: larger than 16 MB";
        return false;
    }
    std::ostringstream read;
    read << file.rdbuf();
    text = read.str();
    texts_[path] = text;
    return true;
}
