#include "update/UpdateAnswer.h"

#include <gtest/gtest.h>

#include <string>

using Kind = UpdateAnswer::Kind;

TEST(UpdateAnswer, KindOfAnswer)
{
    const struct {
        int status;
        std::string body;
        Kind kind;
        const char* text;
    } cases[] = {
        {200, "LATEST 1.2.3", Kind::Latest, ""},
        {200, "you have the LATEST", Kind::Latest, ""},
        {200, "1.2.4", Kind::NewVersion, "1.2.4"},
        {200, "latest", Kind::NewVersion, "latest"}, // the token is upper case
        {204, "  1.2.4\r\n", Kind::NewVersion, "1.2.4"},
        {200, "", Kind::Unusable, ""},
        {200, " \n\t", Kind::Unusable, ""},
        {404, "", Kind::Unusable, ""},
        {404, "Not Found", Kind::Unusable, ""}, // an error page is no version
        {500, "LATEST", Kind::Unusable, ""},
        {301, "1.2.4", Kind::Unusable, ""},
        {200, "1.2.4 \xC3\xA9t\xC3\xA9", Kind::NewVersion, "1.2.4 \xC3\xA9t\xC3\xA9"},
        {200, "1.2.4 \xFF", Kind::Unusable, ""},
        {200, "1.2.4 \xC3", Kind::Unusable, ""},         // cut short
        {200, "\xC0\xAF", Kind::Unusable, ""},           // overlong
        {200, "\xED\xA0\x80", Kind::Unusable, ""},       // surrogate
        {200, "\xF4\x90\x80\x80", Kind::Unusable, ""},   // above U+10FFFF
        {200, "\xF0\x9F\x93\xBB radio", Kind::NewVersion, "\xF0\x9F\x93\xBB radio"},
    };
    for (const auto& c : cases) {
        const UpdateAnswer answer = UpdateAnswer::read(c.status, c.body);
        EXPECT_EQ(answer.kind(), c.kind) << c.status << " " << c.body;
        EXPECT_EQ(answer.text(), c.text) << c.status << " " << c.body;
        EXPECT_EQ(answer.problem().empty(), c.kind != Kind::Unusable) << c.status << " " << c.body;
    }
}

TEST(UpdateAnswer, TooLargeABodyIsNotRead)
{
    EXPECT_EQ(UpdateAnswer::read(200, std::string(UpdateAnswer::kMaxBodyBytes, 'x')).kind(), Kind::NewVersion);
    EXPECT_EQ(UpdateAnswer::read(200, std::string(UpdateAnswer::kMaxBodyBytes + 1, 'x')).kind(), Kind::Unusable);
    EXPECT_EQ(UpdateAnswer::read(200, std::string(UpdateAnswer::kMaxBodyBytes + 1, ' ') + "LATEST").kind(),
              Kind::Unusable);
}

TEST(UpdateAnswer, TextBecomesOneShortLine)
{
    EXPECT_EQ(UpdateAnswer::read(200, "Version 2.0\r\n\r\n\tis\x1B[31m out\x7F").text(), "Version 2.0 is [31m out");
    // U+0085, a C1 control, is white space too.
    EXPECT_EQ(UpdateAnswer::read(200, "a\xC2\x85" "b").text(), "a b");
    EXPECT_EQ(UpdateAnswer::read(200, "<b>2.0</b>").text(), "<b>2.0</b>") << "shown as it stands, never as markup";
    // Line and paragraph separators, direction marks and overrides, BOM.
    for (const char* special : {"\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAE", "\xE2\x80\x8F", "\xE2\x81\xA6",
                                "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(special);
        EXPECT_EQ(UpdateAnswer::read(200, std::string("2.0") + special + "out").text(), "2.0 out");
    }
    EXPECT_EQ(UpdateAnswer::read(200, "2.0 \xE2\x80\xA6 out").text(), "2.0 \xE2\x80\xA6 out"); // U+2026 stays

    const std::string shortEnough(UpdateAnswer::kMaxShownCharacters, 'v');
    EXPECT_EQ(UpdateAnswer::read(200, shortEnough + "\n").text(), shortEnough);
    // Cut by characters, never inside one: 300 two-byte characters.
    std::string accented;
    for (int i = 0; i < 300; ++i)
        accented += "\xC3\xA9";
    const std::string cut = UpdateAnswer::read(200, accented).text();
    EXPECT_EQ(cut, accented.substr(0, 2 * UpdateAnswer::kMaxShownCharacters) + "\xE2\x80\xA6");
}
