#include "cli/WaterfallCommand.h"

#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "cli/PngWriter.h"
#include "common/NumberText.h"
#include "recording/RecordingObject.h"
#include "recording/SelectionRules.h"
#include "waterfall/WaterfallColorTable.h"
#include "waterfall/WaterfallColumnMap.h"
#include "waterfall/WaterfallGenerator.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

const char* kUsage = "usage: korvel-cli waterfall FILE... -o OUT.png|DIR [--fft-size N] [--min-db D] [--max-db D] "
                     "[--auto-levels] [--peak-hold] [--grey] [--json]";

bool parseNumber(const std::string& text, double& value)
{
    const std::optional<double> read = NumberText::parse(text);
    value = read.value_or(value);
    return read.has_value();
}

// Peak-hold rows are computed several at a time, one per thread, as many as a
// picture holds at full resolution; plain rows one at a time.
int rowsAtATime(const WaterfallGenerator& generator)
{
    if (!generator.peakHold())
        return 1;
    const int64_t fit = WaterfallPicture::kMemoryBudget / (int64_t(generator.fftSize()) * int64_t(sizeof(int16_t)));
    return static_cast<int>(std::clamp<int64_t>(fit, 1, 4 * int64_t(generator.peakHoldThreads())));
}

} // namespace

int runWaterfallCommand(const std::vector<std::string>& args, const RawIqSettings& raw)
{
    std::vector<std::string> files;
    std::string output;
    bool json = false;
    double fftSize = 8192.0;
    double minDb = -110.0;
    double maxDb = -80.0;
    bool grey = false;
    // Levels are measured from each recording unless --min-db or --max-db fix them.
    bool autoLevels = false;
    bool levelsGiven = false;
    bool peakHold = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        double* numberOption = arg == "--fft-size" ? &fftSize : arg == "--min-db" ? &minDb : arg == "--max-db" ? &maxDb : nullptr;
        if (arg == "-o" || arg == "--output") {
            if (!hasValue)
                return cliFail("waterfall: -o needs a file name (" + std::string(kUsage) + ")");
            output = args[++i];
        } else if (numberOption) {
            if (!hasValue || !parseNumber(args[i + 1], *numberOption))
                return cliFail("waterfall: " + arg + " needs a number (" + kUsage + ")");
            levelsGiven = levelsGiven || numberOption != &fftSize;
            ++i;
        } else if (arg == "--grey" || arg == "--gray") {
            grey = true;
        } else if (arg == "--auto-levels") {
            autoLevels = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--peak-hold") {
            peakHold = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("waterfall: unknown option \"" + arg + "\" (" + kUsage + ")");
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty() || output.empty())
        return cliFail(kUsage);
    autoLevels = autoLevels || !levelsGiven;
    // Several recordings: -o names the folder their pictures go to.
    std::error_code ec;
    const bool toFolder = std::filesystem::is_directory(output, ec);
    if (files.size() > 1 && !toFolder)
        return cliFail("waterfall: with several files, -o names an existing folder (" + std::string(kUsage) + ")");
    if (const char* problem = DbRangeProblem(minDb, maxDb))
        return cliFail(std::string("waterfall: ") + problem);

    const double givenMinDb = minDb, givenMaxDb = maxDb;
    std::map<std::string, std::string> claimed;
    return forEachFile(files, json, [&](const std::string& file) -> std::string {
        const std::string png = toFolder ? outputInFolder(output, file, ".png") : output;
        double minDb = givenMinDb, maxDb = givenMaxDb;
        RecordingObject recording;
        std::vector<std::string> lines;
        if (std::string problem = openRecordingArgument(recording, file, raw, lines); !problem.empty())
            return problem;
        if (const char* problem = BandwidthProblem(recording.parameters().mBandwidth))
            return recording.path() + ": " + problem;
        const int seconds = WaterfallGenerator::lineCountOf(recording);
        if (seconds < 1)
            return recording.path() + ": the recording holds no samples, nothing to draw";

        // More seconds than an image can usefully hold, or than one transform
        // takes at a slow rate: each row the strongest of several.
        const WaterfallRowPlan plan = WaterfallRowPlan::forTransforms(
            seconds, WaterfallRowPlan::kMaxPngRows, recording.parameters().mSampleRate, NormalizeFftSize(fftSize));
        if (plan.secondsPerRow() > 1)
            std::fprintf(stderr, "waterfall: %d s drawn at %d s per row (%d rows)\n", seconds, plan.secondsPerRow(),
                         plan.rowCount());
        if (const std::string taken = claimOutput(claimed, png, recording.path()); !taken.empty())
            return taken;
        if (const std::string same = outputIsInput(recording, png); !same.empty())
            return same;
        const int width = WaterfallGenerator::kColumns;
        const double halfBandHz = 0.5 * recording.parameters().mBandwidth;

        if (autoLevels) {
            // A first pass over the rows measures their levels.
            WaterfallGenerator measure(recording, NormalizeFftSize(fftSize), maxDb, minDb);
            if (peakHold)
                measure.usePeakHold();
            const int batch = rowsAtATime(measure);
            WaterfallPicture rows(batch, measure.fftSize(), measure.sampleRate());
            for (int y = 0; y < plan.rowCount(); y += batch)
                if (!measure.computeRows(plan, y, std::min(batch, plan.rowCount() - y), rows, 0))
                    return recording.path() + ": " + recording.readError();
            const WaterfallLevels::Range range = measure.levels().suggest().value_or(WaterfallLevels::Range{-110, -80});
            minDb = range.minDb;
            maxDb = range.maxDb;
            std::fprintf(stderr, "waterfall: levels %d to %d dB\n", range.minDb, range.maxDb);
        }

        WaterfallGenerator generator(recording, NormalizeFftSize(fftSize), maxDb, minDb);
        if (peakHold)
            generator.usePeakHold();
        const int batch = rowsAtATime(generator);
        WaterfallPicture picture(batch, generator.fftSize(), generator.sampleRate());
        WaterfallColumnMap columns;
        columns.set(picture, -halfBandHz, 2.0 * halfBandHz / width, width);
        const WaterfallColorTable colors;
        const int height = plan.rowCount();
        std::vector<int> row(width);
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * 4);
        const bool showProgress = isatty(STDERR_FILENO);
        std::string error;
        const bool written = writeRgbaPng(png, width, height, [&](int y) {
            if (y % batch == 0 && !generator.computeRows(plan, y, std::min(batch, height - y), picture, 0))
                return static_cast<uint8_t*>(nullptr);
            columns.screenRow(picture.row(y % batch), maxDb, minDb, row.data());
            colors.PaintRow(width, row.data(), !grey, pixels.data());
            if (showProgress && (y % 16 == 0 || y + 1 == height))
                std::fprintf(stderr, "\rwaterfall: %d of %d rows", y + 1, height);
            return pixels.data();
        }, error);
        if (showProgress)
            std::fputs("\n", stderr);
        if (!recording.readError().empty())
            return recording.path() + ": " + recording.readError();
        if (!written)
            return "waterfall: " + error;
        if (json) {
            const std::string line = "{\"file\": " + jsonString(file) + ", \"output\": " + jsonString(png) +
                                     ", \"rows\": " + std::to_string(height) + ", \"seconds_per_row\": " +
                                     std::to_string(plan.secondsPerRow()) + ", \"min_db\": " +
                                     std::to_string(static_cast<int>(minDb)) + ", \"max_db\": " +
                                     std::to_string(static_cast<int>(maxDb)) + "}\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        }
        return std::string();
    });
}
