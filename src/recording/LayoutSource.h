#pragma once

#include "common/SystemLog.h"
#include "recording/RecordingFile.h"

#include <cstdint>
#include <string>
#include <vector>

// The file a layout parser looks at: its size, its name and its first bytes.
struct LayoutSource {
    const RecordingFile& file;
    uint64_t size = 0;
    std::string fileName; // last component of the path
    bool quiet = false;   // no log lines (probing a folder)

    // The first `count` bytes of the file; bytes past its end read as zero.
    std::vector<uint8_t> head(size_t count) const
    {
        std::vector<uint8_t> bytes(count, 0);
        file.readAt(0, bytes.data(), count);
        return bytes;
    }
    void logRejection(const char* line) const
    {
        if (!quiet)
            SystemLog("%s", line);
    }
};
