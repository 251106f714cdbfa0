// Several recordings in one run, and one run per recording under GNU parallel:
// a JSON line per file with its name, and exit codes that say which failed.
#include "CliRun.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// Recordings of one name from two folders (or NAME.wav beside NAME.au) map to
// one output in a folder: the first keeps it, the second is left out saying
// why, instead of silently overwriting it.
TEST(ArchiveRun, RecordingsOfOneNameDoNotOverwriteEachOthersOutput)
{
    Archive a;
    fixtures::TempDir other;
    fixtures::WaveFormat f;
    f.sampleRate = 1000;
    const std::string same = other.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(f, 4500).bytes);
    const std::string first = a.good[0];
    struct Case {
        std::vector<std::string> args;
        std::string output;
    };
    fixtures::TempDir out;
    const std::string selection[] = {"--start", "0", "--end", "1", "--lo", "7099.9", "--hi", "7100.1"};
    std::vector<std::string> demod = {"demod", first, same, "--mode", "AM", "-o", out.path};
    std::vector<std::string> extract = {"extract", first, same, "-o", out.path};
    demod.insert(demod.end(), std::begin(selection), std::end(selection));
    extract.insert(extract.end(), std::begin(selection), std::end(selection));
    for (const Case& c : {Case{{"waterfall", first, same, "-o", out.path}, "SDRSharp_20140102_030405Z_7100000Hz_IQ.png"},
                          Case{demod, "SDRSharp_20140102_030405Z_7100000Hz_IQ.wav"},
                          Case{extract, "SDRSharp_20140102_030405Z_7100000Hz_IQ.sigmf-data"}}) {
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, 3) << c.args[0] << ": " << r.err;
        const std::vector<std::string> json = lines(r.out);
        ASSERT_EQ(json.size(), 2u) << r.out;
        EXPECT_EQ(json[0].find("\"error\""), std::string::npos) << json[0];
        EXPECT_NE(json[1].find("\"error\""), std::string::npos) << json[1];
        EXPECT_NE(r.err.find(same + ": left out, its output "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("is that of " + first), std::string::npos) << r.err;
        // What was written is the first recording's: its output alone gives the same bytes.
        fixtures::TempDir alone;
        std::vector<std::string> single = c.args;
        single.erase(std::find(single.begin(), single.end(), same));
        std::replace(single.begin(), single.end(), out.path, alone.path);
        ASSERT_EQ(runCli(single).status, 0);
        std::ifstream written(out.path + "/" + c.output, std::ios::binary), expected(alone.path + "/" + c.output, std::ios::binary);
        std::stringstream w, e;
        w << written.rdbuf();
        e << expected.rdbuf();
        EXPECT_FALSE(w.str().empty()) << c.output;
        EXPECT_TRUE(w.str() == e.str()) << c.args[0] << ": the second recording overwrote the first's output";
    }
}

// A failing recording is named on its stderr line, and the JSON line keeps a
// sample rate that is not a whole number of samples per second.
TEST(ArchiveRun, ErrorsNameTheirRecordingAndRatesKeepTheirFraction)
{
    Archive a;
    fixtures::TempDir out;
    const CliResult d = runCli({"demod", a.good[0], a.good[3], "--mode", "AM", "--start", "0", "--end", "1", "--lo",
                                "999.8", "--hi", "1000.2", "-o", out.path});
    EXPECT_EQ(d.status, 3);
    EXPECT_EQ(d.err.rfind("korvel-cli: " + a.good[0] + ": The selection", 0), 0u) << d.err;

    // An odd rate halved for a narrow band.
    fixtures::WaveFormat f;
    f.sampleRate = 12001;
    const std::string path = a.dir.write("SDRSharp_20140102_030405Z_7100000Hz_IQ.wav", fixtures::sdrSharp(f, 12001).bytes);
    const CliResult x = runCli({"extract", path, "--start", "0", "--end", "1", "--lo", "7099", "--hi", "7101", "-o",
                                out.path + "/odd", "--json"});
    ASSERT_EQ(x.status, 0) << x.err;
    std::ifstream written(out.path + "/odd.sigmf-meta");
    std::stringstream text;
    text << written.rdbuf();
    const std::string key = "\"core:sample_rate\": ";
    const size_t at = text.str().find(key);
    ASSERT_NE(at, std::string::npos) << text.str();
    const double rate = std::stod(text.str().substr(at + key.size()));
    EXPECT_NE(rate, std::floor(rate)) << "the fixture should give a rate with a fraction";
    EXPECT_NE(x.out.find("\"sample_rate\": " + text.str().substr(at + key.size(), text.str().find_first_of(",\n", at) - at - key.size())),
              std::string::npos)
        << x.out << text.str();
}
