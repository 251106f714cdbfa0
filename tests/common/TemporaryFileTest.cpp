#include "common/TemporaryFile.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

size_t entriesIn(const std::string& folder)
{
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(TemporaryFile, ReplacesTheTargetOnlyWhenCommitted)
{
    fixtures::TempDir dir;
    const std::string target = dir.path + "/out.bin";
    std::ofstream(target) << "old";
    {
        TemporaryFile abandoned;
        std::string error;
        ASSERT_TRUE(abandoned.open(target, error)) << error;
        abandoned.write("half", 4);
    }
    EXPECT_EQ(contentOf(target), "old");
    EXPECT_EQ(entriesIn(dir.path), 1u);

    TemporaryFile failed;
    std::string error;
    ASSERT_TRUE(failed.open(target, error)) << error;
    failed.write("broken", 6);
    failed.fail(ENOSPC);
    EXPECT_EQ(failed.commit(), ENOSPC);
    EXPECT_EQ(contentOf(target), "old");
    EXPECT_EQ(entriesIn(dir.path), 1u);

    TemporaryFile written;
    ASSERT_TRUE(written.open(target, error)) << error;
    written.write("new!", 4);
    written.rewriteStart("N", 1);
    EXPECT_EQ(written.commit(), 0);
    EXPECT_EQ(contentOf(target), "New!");
    EXPECT_EQ(entriesIn(dir.path), 1u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

// Two runs to one name must not share a file, and a link planted at the
// target is replaced, never written through.
TEST(TemporaryFile, RunsToOneTargetStayApartAndLinksAreNotFollowed)
{
    fixtures::TempDir dir;
    const std::string target = dir.path + "/out.png";
    const std::string victim = dir.path + "/victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, target);

    TemporaryFile first;
    TemporaryFile second;
    std::string error;
    ASSERT_TRUE(first.open(target, error)) << error;
    ASSERT_TRUE(second.open(target, error)) << error;
    first.write("first run", 9);
    second.write("second", 6);
    EXPECT_EQ(first.commit(), 0);
    EXPECT_EQ(second.commit(), 0);

    EXPECT_EQ(contentOf(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(contentOf(target), "second");
    EXPECT_EQ(entriesIn(dir.path), 2u);
}

TEST(TemporaryFile, MissingFolderIsNamedWithTheReason)
{
    TemporaryFile file;
    std::string error;
    EXPECT_FALSE(file.open("/nonexistent-korvel-folder/out.wav", error));
    EXPECT_EQ(error, "cannot create a file in \"/nonexistent-korvel-folder\": No such file or directory");
}

namespace {

// Commits `times` pairs, both files of each holding the same text.
void commitPairs(const std::string& stem, const std::string& tag, int times)
{
    for (int k = 0; k < times; ++k) {
        const std::string text = tag + std::to_string(k);
        TemporaryFile data, meta;
        std::string error;
        if (!data.open(stem + ".sigmf-data", error) || !meta.open(stem + ".sigmf-meta", error))
            ::_exit(3);
        data.write(text.data(), text.size());
        meta.write(text.data(), text.size());
        if (TemporaryFile::commitPair(data, meta) != 0)
            ::_exit(4);
    }
}

} // namespace

// Neither two processes committing to one pair nor a signal stopping one of
// them leave the data of one pair beside the metadata of another.
TEST(TemporaryFile, APairIsReplacedAsOneUnit)
{
    fixtures::TempDir dir;
    const std::string stem = dir.path + "/x";
    commitPairs(stem, "first", 1);
    const auto agree = [&] {
        const std::string data = contentOf(stem + ".sigmf-data"), meta = contentOf(stem + ".sigmf-meta");
        EXPECT_EQ(data, meta);
        EXPECT_FALSE(data.empty());
    };
    for (int trial = 0; trial < 10; ++trial) {
        pid_t runs[2];
        for (int r = 0; r < 2; ++r) {
            runs[r] = ::fork();
            if (runs[r] == 0) {
                commitPairs(stem, r == 0 ? "a" : "b", 20);
                ::_exit(0);
            }
        }
        for (pid_t run : runs) {
            int status = 0;
            ::waitpid(run, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        agree();
    }
    for (int trial = 0; trial < 20; ++trial) {
        const pid_t run = ::fork();
        if (run == 0) {
            removeTemporaryFilesOnSignals();
            commitPairs(stem, "s", 1000000);
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(3000 + 700 * trial));
        ::kill(run, SIGTERM);
        int status = 0;
        ::waitpid(run, &status, 0);
        // Killed before its handler was installed, or by the handler.
        EXPECT_TRUE((WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) ||
                    (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM));
        agree();
    }
    EXPECT_EQ(entriesIn(dir.path), 2u); // no temporary file left
}
