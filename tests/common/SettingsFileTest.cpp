#include "common/SettingsFile.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Written by the app's settings store for the values in the table below.
const char* const kWritten =
    "[General]\n"
    "General=1\n"
    "PREF_REC_FOLDER=\" /home/a b,c;d=e \\\"q\\\" \\\\x \xC3\xA9\\t@\"\n"
    "at=@@start\n"
    "ba=@ByteArray(ab\\0\\x63)\n"
    "bool=true\n"
    "ctl=\\x1\\x32\n"
    "empty=\n"
    "emptylist=@Invalid()\n"
    "list=a, b c\n"
    "nul=@String(a\\0\\x31\\x62)\n"
    "one=x\n"
    "uni%U20AC=\xE2\x82\xAC\n"
    "\n"
    "[%General]\n"
    "x=2\n"
    "\n"
    "[g2]\n"
    "k=3.5\n"
    "\n"
    "[key%20with%20space%25]\n"
    "sub=5\n";

} // namespace

TEST(SettingsFile, ReadsWhatTheAppWrites)
{
    const SettingsFile file = SettingsFile::parse(kWritten);
    struct Case {
        std::string key;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"PREF_REC_FOLDER", " /home/a b,c;d=e \"q\" \\x \xC3\xA9\t@"},
        {"at", "@start"},
        {"bool", "true"},
        {"ctl", std::string("\x01") + "2"},
        {"empty", ""},
        {"nul", std::string("a\0" "1b", 4)},
        {"one", "x"},
        {"uni\xE2\x82\xAC", "\xE2\x82\xAC"},
        {"General", "1"},
        {"General/x", "2"},
        {"g2/k", "3.5"},
        {"key with space%/sub", "5"},
        {"ba", std::nullopt},        // bytes, not text
        {"emptylist", std::nullopt}, // no value
        {"list", std::nullopt},      // two items
        {"missing", std::nullopt},
        {"x", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(file.text(c.key), c.text);
    }
    EXPECT_EQ(file.list("list"), (std::vector<std::string>{"a", "b c"}));
}

// Hand-edited files: comments, spacing, line ends and quoting the app
// itself would not write, read as the app reads them.
TEST(SettingsFile, ReadsHandEditedText)
{
    const SettingsFile file = SettingsFile::parse(
        "; a comment\r\n"
        "  [ general ]  \r\n"
        "  spaced  =   two words   ; trailing comment\r\n"
        "quoted=\"  kept  \"\n"
        "multi=\"one\nline\"\n"
        "octal=\\101\\x42\n"
        "twice=first\n"
        "twice=second\n"
        "noequals\n"
        "[a\\b]\n"
        "c=d\n");
    EXPECT_EQ(file.text("spaced"), "two words");
    EXPECT_EQ(file.text("quoted"), "  kept  ");
    EXPECT_EQ(file.text("multi"), "one\nline");
    EXPECT_EQ(file.text("octal"), "AB");
    EXPECT_EQ(file.text("twice"), "second");
    EXPECT_EQ(file.text("a/b/c"), "d");
    EXPECT_EQ(file.text("noequals"), std::nullopt);
}

TEST(SettingsFile, LoadsTheUsersFileOrNone)
{
    fixtures::TempDir dir;
    EXPECT_EQ(SettingsFile::load(dir.path + "/missing.conf")->text("PREF_REC_FOLDER"), std::nullopt);
    const std::string text = "[General]\nPREF_REC_FOLDER=/data/iq\n";
    const std::string path = dir.write("Korvel.conf", std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(SettingsFile::load(path)->text("PREF_REC_FOLDER"), "/data/iq");
    const Result<SettingsFile> folder = SettingsFile::load(dir.path);
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().kind(), ErrorKind::Io);
}

TEST(SettingsFile, UserPathFollowsTheConfigFolder)
{
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    const std::string home = savedHome ? savedHome : "";
    setenv("HOME", "/home/u", 1);
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsFile::userPath(), "/cfg/Korvel/Korvel.conf");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    EXPECT_EQ(SettingsFile::userPath(), "/home/u/.config/Korvel/Korvel.conf");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFile::userPath(), "/home/u/.config/Korvel/Korvel.conf");
    savedXdg ? setenv("XDG_CONFIG_HOME", xdg.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    savedHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
}
