#include "common/UserFileText.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

// Whatever the path names, the reader answers at once with the text or one
// line saying why not; nothing that is no regular file is read.
TEST(UserFileText, ReadsRegularFilesOnlyAndUpToTheCap)
{
    fixtures::TempDir dir;
    const std::string small = dir.write("small.txt", {'a', 'b', 'c'});
    const std::string large = dir.write("large.txt", std::vector<uint8_t>(101, 'x'));
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::symlink("missing", (dir.path + "/dangling").c_str());
    struct Case {
        std::string path;
        bool read;
        std::string expected; // the text, or the start of the reason
    };
    const Case cases[] = {
        {small, true, "abc"},
        {dir.write("exact.txt", std::vector<uint8_t>(100, 'y')), true, std::string(100, 'y')},
        {dir.write("empty.txt", {}), true, ""},
        {large, false, "larger than 100 bytes"},
        {fifo, false, "it is a pipe (FIFO), not a file"},
        {"/dev/zero", false, "it is a device, not a file"},
        {dir.path, false, "it is a folder"},
        {dir.path + "/missing", false, "No such file or directory"},
        {dir.path + "/dangling", false, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string text, error;
        EXPECT_EQ(UserFileText::read(c.path, 100, text, error), c.read);
        EXPECT_EQ(c.read ? text : error, c.expected);
    }
}
