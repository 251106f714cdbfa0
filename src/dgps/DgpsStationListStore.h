#pragma once

#include <map>
#include <string>

// The station list files read in this process, each read once: every DGPS
// window takes its stations from here, so a second window neither reads the
// file again nor lists a station twice.
class DgpsStationListStore {
public:
    // A list is a few hundred kilobytes; anything far larger is no list.
    static constexpr long long kMaxBytes = 16LL << 20;

    // The text of the list at `path`: read from the file the first time it is
    // asked for, or again when `reread`. False with `error` set when the file
    // cannot be read or is too large to be a list.
    bool text(const std::string& path, bool reread, std::string& text, std::string& error);

private:
    std::map<std::string, std::string> texts_;
};
