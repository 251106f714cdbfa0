#include "update/UpdateQuery.h"

#include <gtest/gtest.h>

TEST(UpdateQuery, VersionDigitsArePaddedFromZeros)
{
    const struct {
        const char* version;
        const char* digits;
    } cases[] = {
        {"1.2.3", "123"}, {"0.1.0", "010"}, {"2.1", "210"}, {"", "000"}, {"1.2.3.4", "123"}, {"0.10.0", "010"},
        {"10.2.3-rc1", "123"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpdateQuery::versionDigits(c.version), c.digits) << c.version;
}

TEST(UpdateQuery, KernelDigitsFromTheRelease)
{
    const struct {
        const char* release;
        const char* digits;
    } cases[] = {
        {"6.1.0-18-amd64", "0601"},
        {"5.15.153.1-microsoft-standard-WSL2", "0515"},
        {"10.4", "1004"},
        {"123.45", "1234"}, // cut to four characters
        {"6", "0000"},
        {"6.", "0000"},
        {"", "0000"},
        {"linux", "0000"},
        {"99999999999.1", "0000"}, // does not fit
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpdateQuery::kernelDigits(c.release), c.digits) << c.release;
}

TEST(UpdateQuery, RequestPathJoinsTheFiveParts)
{
    EXPECT_EQ(UpdateQuery::requestPath("1.2.3", "6.1.0-18-amd64"), "/version/versionb.html?p=1325123L060100000");
    EXPECT_EQ(UpdateQuery::queryValue("2.1", "").size(), 17u);
}

TEST(UpdateQuery, TheRunningKernelHasAVersion)
{
    EXPECT_NE(UpdateQuery::kernelDigits(UpdateQuery::runningKernelRelease()), "0000");
}
