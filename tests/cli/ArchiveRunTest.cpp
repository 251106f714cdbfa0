// Several recordings in one run, and one run per recording under GNU parallel:
// a JSON line per file with its name, and exit codes that say which failed.
#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// A folder of small recordings of several formats, and one that is none.
struct Archive {
    fixtures::TempDir dir;
    std::vector<std::string> good, bad;
    Archive()
    {
        fixtures::WaveFormat f;
        f.sampleRate = 1000;
        auto add = [this](std::vector<std::string>& list, const std::string& name, const std::vector<uint8_t>& bytes) {
            list.push_back(dir.write(name, bytes));
        };
        add(good, "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(f, 2500).bytes);
        add(good, "20171127T104156Z_77500_HB9RYZ_iq.wav", fixtures::kiwiFile(f, 3000, 2048).bytes);
        add(good, "g001_433.92M_1k.cu8", std::vector<uint8_t>(4000, 128));
        const std::string meta = fixtures::sigmfMeta("ci16_le", "1000", R"({"core:frequency": 1e6})");
        add(good, "capture.sigmf-meta", std::vector<uint8_t>(meta.begin(), meta.end()));
        dir.write("capture.sigmf-data", fixtures::iqPayload(f, 1500));
        add(bad, "broken.wav", std::vector<uint8_t>(100, 'x'));
    }
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string fileOf(const std::string& jsonLine)
{
    const std::string key = "{\"file\": \"";
    if (jsonLine.rfind(key, 0) != 0)
        return "(no file)";
    return jsonLine.substr(key.size(), jsonLine.find('"', key.size()) - key.size());
}

} // namespace

TEST(ArchiveRun, EveryCommandTakesSeveralFilesAndSaysWhichFailed)
{
    Archive a;
    std::vector<std::string> all = a.good;
    all.insert(all.begin() + 1, a.bad.front());
    struct Case {
        std::vector<std::string> files;
        int status;
    };
    for (const Case& c : {Case{all, 3}, Case{a.good, 0}, Case{a.bad, 2}}) {
        std::vector<std::string> args = {"info", "--json"};
        args.insert(args.end(), c.files.begin(), c.files.end());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        const std::vector<std::string> out = lines(r.out);
        ASSERT_EQ(out.size(), c.files.size()) << r.out;
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(fileOf(out[i]), c.files[i]);
            const bool failed = std::find(a.bad.begin(), a.bad.end(), c.files[i]) != a.bad.end();
            EXPECT_EQ(out[i].find("\"error\": ") != std::string::npos, failed) << out[i];
        }
    }

    // The commands that write a file per recording write into a folder.
    fixtures::TempDir out;
    const CliResult w = runCli({"waterfall", a.good[0], a.bad[0], a.good[2], "-o", out.path, "--json"});
    EXPECT_EQ(w.status, 3) << w.err;
    EXPECT_TRUE(std::filesystem::exists(out.path + "/SDRSharp_20140102_030405Z_7100000Hz_IQ.png"));
    EXPECT_TRUE(std::filesystem::exists(out.path + "/g001_433.92M_1k.png"));
    EXPECT_EQ(lines(w.out).size(), 3u) << w.out;
    // The band is in the SigMF recording's (1 MHz), not in the SDRSharp one's (7.1 MHz).
    const CliResult d = runCli({"demod", a.good[0], a.good[3], "--mode", "AM", "--start", "0", "--end", "1",
                                "--lo", "999.8", "--hi", "1000.2", "-o", out.path, "--json"});
    EXPECT_EQ(d.status, 3) << d.err;
    EXPECT_TRUE(std::filesystem::exists(out.path + "/capture.wav"));
    const CliResult x = runCli({"extract", a.good[2], a.good[3], "--start", "0", "--end", "1", "--lo", "999.9",
                                "--hi", "1000.1", "-o", out.path, "--json"});
    EXPECT_EQ(x.status, 3) << x.err;
    EXPECT_TRUE(std::filesystem::exists(out.path + "/capture.sigmf-meta"));
    EXPECT_EQ(runCli({"waterfall", a.good[0], a.good[2], "-o", out.path + "/one.png"}).status, 2);
}

// The README's recipe: one process per recording under GNU parallel, the
// lines merged into one file, the job log telling which run failed.
TEST(ArchiveRun, GnuParallelOverAFolderMergesOneLinePerRecording)
{
    if (std::system("command -v parallel >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed";
    Archive a;
    fixtures::TempDir out;
    const std::string command = "find '" + a.dir.path + "' -type f ! -name '*.sigmf-data' | parallel --will-cite -j2 "
                                "--joblog '" + out.path + "/jobs.log' '" KORVEL_CLI_PATH "' info --json {} > '" +
                                out.path + "/all.jsonl' 2> '" + out.path + "/errors.txt'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "parallel exits with the number of failed jobs";

    std::ifstream merged(out.path + "/all.jsonl");
    std::stringstream text;
    text << merged.rdbuf();
    std::map<std::string, std::string> byFile;
    for (const std::string& line : lines(text.str()))
        byFile[fileOf(line)] = line;
    ASSERT_EQ(byFile.size(), a.good.size() + a.bad.size()) << text.str();
    for (const std::string& file : a.good)
        EXPECT_NE(byFile[file].find("\"sample_rate\": 1000"), std::string::npos) << file << ": " << byFile[file];
    EXPECT_NE(byFile[a.bad[0]].find("\"error\": "), std::string::npos);

    std::ifstream log(out.path + "/jobs.log");
    std::map<std::string, int> exitOf;
    std::string header, line;
    std::getline(log, header);
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        std::string field;
        std::vector<std::string> f;
        while (std::getline(fields, field, '\t'))
            f.push_back(field);
        ASSERT_GE(f.size(), 9u) << line;
        exitOf[f[8].substr(f[8].rfind(' ') + 1)] = std::stoi(f[6]);
    }
    for (const std::string& file : a.good)
        EXPECT_EQ(exitOf[file], 0) << file;
    EXPECT_EQ(exitOf[a.bad[0]], 2);
}
