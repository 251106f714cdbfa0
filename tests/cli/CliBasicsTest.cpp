#include "CliRun.h"

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
