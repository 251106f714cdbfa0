#pragma once

#include <map>
#include <string>

// The station list files read in this process, each read once: every DGPS
// window takes its stations from here, so a second window neither reads the
// file again nor lists a station twice.
class DgpsStationListStore {
public:
    // The text of the list at `path`: read from the file the first time it is
    // asked for, or again when `reread`. False with `error` set when the file
    // cannot be read, is no regular file or is larger
    // than DgpsStationTable::kMaxListBytes.
    bool text(const std::string& path, bool reread, std::string& text, std::string& error);

private:
    std::map<std::string, std::string> texts_;
};
