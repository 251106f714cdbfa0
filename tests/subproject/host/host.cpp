#include "recording/RecordingObject.h"

#include <cstdio>
#include <string>
#include <vector>

int main()
{
    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile("/nonexistent/recording.wav", lines);
    std::printf("%s\n", recording.isValidRecordingFile() ? "opened" : "refused");
    return recording.isValidRecordingFile() ? 1 : 0;
}
