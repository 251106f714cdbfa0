#include "cli/MakeDemoCommand.h"

#include "cli/CliCommon.h"
#include "dgps/DgpsDemoRecording.h"
#include "recording/DemoRecordings.h"

#include <cstdio>
#include <string>

int runMakeDemoCommand(int argc, char* argv[])
{
    if (argc != 1)
        return cliFail("usage: korvel-cli make-demo DIR");
    const std::string folder = argv[0];
    std::string error;
    if (!DemoRecordings::writeAll(folder, error) || !DgpsDemoRecording::write(folder, error))
        return cliFail(error);
    std::printf("Demo recordings in %s:\n", folder.c_str());
    std::vector<DemoRecordings::Entry> entries = DemoRecordings::catalogue();
    entries.push_back(DgpsDemoRecording::entry());
    for (const DemoRecordings::Entry& e : entries)
        std::printf("  %s\n      %s\n", e.fileName.c_str(), e.description.c_str());
    return 0;
}
