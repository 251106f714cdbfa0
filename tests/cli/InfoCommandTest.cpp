#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

const std::string kSdrSharpName = "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav";

fixtures::WaveFormat format1000()
{
    fixtures::WaveFormat f;
    f.sampleRate = 1000;
    return f;
}

// Points HOME and the settings folder of the child at a temporary directory
// for the life of the object.
class IsolatedHome {
public:
    IsolatedHome()
    {
        saved("HOME");
        saved("XDG_CONFIG_HOME");
        setenv("HOME", home.path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home.path + "/config").c_str(), 1);
    }
    ~IsolatedHome()
    {
        for (const auto& [name, value] : previous) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void setRecordingsFolder(const std::string& folder) const
    {
        std::filesystem::create_directories(home.path + "/config/Korvel");
        const std::string text = "[General]\nPREF_REC_FOLDER=" + folder + "\n";
        home.write("config/Korvel/Korvel.conf", std::vector<uint8_t>(text.begin(), text.end()));
    }

    fixtures::TempDir home;

private:
    void saved(const std::string& name)
    {
        const char* value = std::getenv(name.c_str());
        previous.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> previous;
};

} // namespace

TEST(InfoCommand, JsonHasEveryKey)
{
    fixtures::TempDir dir;
    const std::string path = dir.write(kSdrSharpName, fixtures::sdrSharp(format1000(), 3500).bytes);
    const CliResult r = runCli({"info", path, "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "{\"file\": \"" + path + "\", \"layout\": \"SDRSharp\", \"sample_rate\": 1000, \"bandwidth\": 1000, "
                     "\"center_freq\": 7100000, \"bits_per_sample\": 16, \"seconds\": 3, \"start_unix\": 1388631845, "
                     "\"start_utc\": \"02-Jan-2014 03:04:05\", \"info_lines\": [\"SDRSharp File\"], \"data_offset\": 44, "
                     "\"truncated\": false, \"missing_bytes\": 0}\n");
}

TEST(InfoCommand, JsonEscapesHeaderBytes)
{
    fixtures::Recording file = fixtures::perseus(format1000(), 100, {});
    const uint8_t id[4] = {'"', '\\', 0x01, 0xE9}; // shown in the "data: " information line
    std::copy(id, id + 4, file.bytes.begin() + 78);
    fixtures::TempDir dir;
    const CliResult r = runCli({"info", "--json", dir.write("p.wav", file.bytes)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(R"("data: \"\\\u0001\u00e9")"), std::string::npos) << r.out;
}

TEST(InfoCommand, ReadableLines)
{
    fixtures::TempDir dir;
    const std::string path = dir.write(kSdrSharpName, fixtures::sdrSharp(format1000(), 3500).bytes);
    const CliResult r = runCli({"info", path});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line : {"layout:          SDRSharp\n", "sample rate:     1000 Hz\n",
                             "centre freq:     7100000 Hz\n", "seconds:         3\n",
                             "start:           02-Jan-2014 03:04:05 UTC (1388631845)\n", "data offset:     44\n",
                             "information:\n  SDRSharp File\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST(InfoCommand, RefusedMissingOrMisusedGivesOneLineAndStatusTwo)
{
    fixtures::TempDir dir;
    fixtures::Recording zeroRate = fixtures::spectraVue(format1000(), 100, {});
    fixtures::patchU32(zeroRate.bytes, 24, 0);
    const std::string refused = dir.write("zero.wav", zeroRate.bytes);
    struct Case {
        std::vector<std::string> args;
        std::string message;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"info", refused}, "korvel-cli: " + refused + ": Unsupported recording: sample rate 0\n", ""},
        {{"info", dir.path + "/missing.wav", "--json"},
         "korvel-cli: " + dir.path + "/missing.wav: Can't open file: No such file or directory\n",
         "{\"file\": \"" + dir.path + "/missing.wav\", \"error\": \"" + dir.path +
             "/missing.wav: Can't open file: No such file or directory\"}\n"},
        {{"info", dir.path + "/two\nlines\x01.wav"},
         "korvel-cli: " + dir.path + "/two\\nlines\\x01.wav: Can't open file: No such file or directory\n", ""},
        {{"info"}, "korvel-cli: info needs a FILE (usage: korvel-cli info FILE... [--json])\n", ""},
        {{"info", refused, "--xml"}, "korvel-cli: info: unknown option \"--xml\" (usage: korvel-cli info FILE... [--json])\n", ""},
    };
    for (const Case& c : cases) {
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(InfoCommand, PlainNamesResolveInTheRecordingsFolderThenTheCurrentDirectory)
{
    IsolatedHome env;
    fixtures::TempDir chosen, cwd;
    const auto bytes = fixtures::sdrSharp(format1000(), 1000).bytes;
    std::filesystem::create_directories(env.home.path + "/sdr_recordings");
    env.home.write("sdr_recordings/" + kSdrSharpName, bytes);
    chosen.write(kSdrSharpName, bytes);
    cwd.write("here.wav", fixtures::spectraVue(format1000(), 1000, {}).bytes);

    const auto previousDir = std::filesystem::current_path();
    std::filesystem::current_path(cwd.path);
    const CliResult inDefault = runCli({"info", kSdrSharpName});
    const CliResult inCwd = runCli({"info", "here.wav"});
    env.setRecordingsFolder(chosen.path);
    const CliResult inChosen = runCli({"info", kSdrSharpName});
    std::filesystem::current_path(previousDir);

    EXPECT_NE(inDefault.out.find("file:            " + env.home.path + "/sdr_recordings/" + kSdrSharpName + "\n"),
              std::string::npos) << inDefault.out << inDefault.err;
    EXPECT_NE(inCwd.out.find("file:            " + cwd.path + "/here.wav\n"), std::string::npos)
        << inCwd.out << inCwd.err;
    EXPECT_NE(inChosen.out.find("file:            " + chosen.path + "/" + kSdrSharpName + "\n"), std::string::npos)
        << inChosen.out << inChosen.err;
}

TEST(InfoCommand, DiagnosticLogOnlyWhenAskedFor)
{
    fixtures::TempDir dir;
    const std::string path = dir.write(kSdrSharpName, fixtures::sdrSharp(format1000(), 3500).bytes);
    const CliResult quiet = runCli({"info", path});
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    const CliResult verbose = runCli({"info", path, "--verbose"});
    EXPECT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_EQ(verbose.out, quiet.out);
    EXPECT_NE(verbose.err.find("Not SdrRadio"), std::string::npos) << verbose.err;
}
