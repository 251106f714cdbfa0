#include "CliRun.h"

#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

TEST(CliBasics, UnknownCommandIsRefusedWithStatusTwo)
{
    CliResult r = runCli({"frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("korvel-cli: ", 0), 0u) << r.err;
}

TEST(CliBasics, HelpListsTheCommands)
{
    CliResult r = runCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("info FILE"), std::string::npos);
}

TEST(CliBasics, EveryCommandHasItsOwnHelp)
{
    for (const char* command : {"info", "waterfall", "demod", "make-demo", "dgps"}) {
        for (const char* help : {"--help", "-h"}) {
            CliResult r = runCli({command, help});
            EXPECT_EQ(r.status, 0) << command << " " << help << ": " << r.err;
            EXPECT_EQ(r.out.rfind(std::string("usage: korvel-cli ") + command + "\n", 0), 0u) << r.out;
            EXPECT_NE(r.out.find(std::string("  ") + command + " "), std::string::npos) << r.out;
            EXPECT_TRUE(r.err.empty()) << r.err;
        }
    }
}

TEST(CliBasics, VersionIsPrinted)
{
    CliResult r = runCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("korvel-cli ") + KORVEL_VERSION_FOR_TESTS + "\n");
}

// A raw capture whose name gives neither rate nor format: the refusal names
// the options that describe it, and the help lists every format they take.
TEST(CliBasics, ARawFileThatSaysNothingIsRefusedNamingTheOptions)
{
    const fixtures::TempDir folder;
    const std::string file = folder.write("capture.cu8", std::vector<uint8_t>(4096, 128));
    const CliResult r = runCli({"info", file});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--rate S/s --format F"), std::string::npos) << r.err;
    const CliResult help = runCli({"info", "--help"});
    for (const char* format : {"cu8", "cs8", "cs16", "cf32", "ci8", "ci16_le", "ci16_be", "ci32_le", "cf32_le"})
        EXPECT_NE(help.out.find(format), std::string::npos) << format;
}
