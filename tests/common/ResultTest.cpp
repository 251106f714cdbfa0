#include "common/Result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

namespace {

Result<int> half(int n)
{
    if (n % 2 != 0)
        return Error(ErrorKind::InvalidArgument, "odd: " + std::to_string(n));
    return n / 2;
}

Status needEven(int n)
{
    if (auto r = half(n); !r)
        return r.error();
    return {};
}

} // namespace

TEST(Result, CarriesAValueOrTheErrorThatStoppedIt)
{
    auto good = half(8);
    ASSERT_TRUE(good);
    EXPECT_EQ(*good, 4);

    auto bad = half(3);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().kind(), ErrorKind::InvalidArgument);
    EXPECT_EQ(bad.error().message(), "odd: 3");
    EXPECT_EQ(bad.value_or(-1), -1);

    EXPECT_TRUE(needEven(2));
    EXPECT_EQ(needEven(5).error().message(), "odd: 5");
}

TEST(Result, MovesAValueThatCannotBeCopied)
{
    Result<std::unique_ptr<int>> r = std::make_unique<int>(7);
    std::unique_ptr<int> taken = std::move(r).value();
    EXPECT_EQ(*taken, 7);
}

TEST(Error, WordsAnErrnoAndSortsItsKind)
{
    struct Case { int error; ErrorKind kind; };
    for (const Case& c : {Case{ENOENT, ErrorKind::NotFound}, Case{ENOMEM, ErrorKind::OutOfMemory},
                          Case{EACCES, ErrorKind::Io}, Case{ENOSPC, ErrorKind::Io}}) {
        const Error e = Error::fromErrno(c.error, "cannot write \"out.wav\"");
        EXPECT_EQ(e.kind(), c.kind);
        EXPECT_EQ(e.message().rfind("cannot write \"out.wav\": ", 0), 0u) << e.message();
    }
}
