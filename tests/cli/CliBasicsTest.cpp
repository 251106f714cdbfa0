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
