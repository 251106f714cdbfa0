#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// korvel-cli runs where no GUI toolkit is installed: neither it nor any
// library it loads needs one.
TEST(LinkedLibraries, NoGuiToolkit)
{
    FILE* pipe = ::popen("ldd '" KORVEL_CLI_PATH "' 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        listing.append(buffer, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "ldd is not installed";
    ASSERT_EQ(status, 0) << listing;
    EXPECT_NE(listing.find("libc.so"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("libQt"), std::string::npos) << listing;
}
