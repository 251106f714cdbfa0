#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

// Makes reads of the file whose path ends in `fileSuffix` fail from byte `at`
// on (see faults/ReadFaults.cpp) for the life of the object: with EIO, or as if
// the file had been cut there ("short"). Children started meanwhile inherit it.
class ReadFault {
public:
    ReadFault(const std::string& fileSuffix, uint64_t at, const char* kind = "eio")
    {
        setenv("KORVEL_FAULT_FILE", fileSuffix.c_str(), 1);
        setenv("KORVEL_FAULT_AT", std::to_string(at).c_str(), 1);
        setenv("KORVEL_FAULT_KIND", kind, 1);
    }
    ~ReadFault()
    {
        unsetenv("KORVEL_FAULT_FILE");
        unsetenv("KORVEL_FAULT_AT");
        unsetenv("KORVEL_FAULT_KIND");
    }
    ReadFault(const ReadFault&) = delete;
    ReadFault& operator=(const ReadFault&) = delete;
};
