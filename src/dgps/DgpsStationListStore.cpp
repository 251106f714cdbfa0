#include "dgps/DgpsStationListStore.h"

#include "common/UserFileText.h"
#include "dgps/DgpsStationTable.h"

bool DgpsStationListStore::text(const std::string& path, bool reread, std::string& text, std::string& error)
{
    if (!reread) {
        if (const auto known = texts_.find(path); known != texts_.end()) {
            text = known->second;
            return true;
        }
    }
    std::string read;
    if (!UserFileText::read(path, DgpsStationTable::kMaxListBytes, read, error)) {
        error = "cannot read station list " + path + ": " + error;
        return false;
    }
    text = read;
    texts_[path] = std::move(read);
    return true;
}
