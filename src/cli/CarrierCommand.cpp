#include "cli/CarrierCommand.h"

#include "carrier/CarrierAnalysis.h"
#include "carrier/CarrierPicture.h"
#include "carrier/CarrierRun.h"
#include "cli/CliCommon.h"
#include "cli/InfoCommand.h"
#include "cli/PngWriter.h"
#include "common/NumberText.h"
#include "waterfall/WaterfallColorTable.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

const char* const kUsage = " (korvel-cli carrier --help shows the command)";

bool parseNumber(const std::string& text, double& value)
{
    const std::optional<double> read = NumberText::parse(text);
    value = read.value_or(value);
    return read.has_value();
}

// Ticks and marks are white.
void paintWhite(uint8_t* rgba, int x0, int x1)
{
    for (int x = std::max(x0, 0); x < std::min(x1, CarrierPicture::kWidth); ++x) {
        uint8_t* p = rgba + 4 * x;
        p[0] = p[1] = p[2] = 255;
    }
}

// The picture of one channel: its rows in the level range, then the
// frequency ticks in the margin below and the hour ticks at the left edge.
bool writePicture(const CarrierAnalysis& analysis, int channel, double minDb, double maxDb, bool inColor,
                  const std::string& path, std::string& error)
{
    const int height = CarrierPicture::height(analysis.dbBufCount());
    const auto frequencyMarks = CarrierPicture::frequencyMarks(analysis.halfSpan());
    const auto hourMarks = CarrierPicture::hourMarks(analysis.startingTime());
    const WaterfallColorTable colors;
    std::vector<int> screen(CarrierPicture::kWidth);
    std::vector<uint8_t> rgba(4 * CarrierPicture::kWidth);
    return writeRgbaPng(path, CarrierPicture::kWidth, height, [&](int y) {
        if (y < analysis.dbBufCount())
            CarrierPicture::process(CarrierPicture::kWidth, analysis.levels(y, channel), minDb, maxDb, screen.data());
        else
            std::fill(screen.begin(), screen.end(), CarrierPicture::kScreenLevels);
        colors.PaintRow(CarrierPicture::kWidth, screen.data(), inColor, rgba.data());
        if (y >= height - CarrierPicture::kTickTop && y < height - CarrierPicture::kTickBottom) {
            for (const auto& mark : frequencyMarks)
                paintWhite(rgba.data(), mark.x, mark.x + 1);
        }
        for (const auto& mark : hourMarks) {
            if (std::abs(y - mark.lineRow) <= 1)
                paintWhite(rgba.data(), 0, 11);
        }
        return rgba.data();
    }, error);
}

} // namespace

int runCarrierCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    std::string output;
    std::string load;
    std::string png;
    double fftSize = 131072.0;
    double halfSpan = 100.0;
    double channel = -1.0;
    double minDb = -120.0;
    double maxDb = -40.0;
    bool grey = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        std::string* textOption = arg == "-o" || arg == "--output" ? &output
                                  : arg == "--load"                ? &load
                                  : arg == "--png"                 ? &png
                                                                   : nullptr;
        double* numberOption = arg == "--fft-size"    ? &fftSize
                               : arg == "--half-span" ? &halfSpan
                               : arg == "--channel"   ? &channel
                               : arg == "--min-db"    ? &minDb
                               : arg == "--max-db"    ? &maxDb
                                                      : nullptr;
        if (textOption) {
            if (!hasValue)
                return cliFail("carrier: " + arg + " needs a file name" + kUsage);
            *textOption = args[++i];
        } else if (numberOption) {
            if (!hasValue || !parseNumber(args[i + 1], *numberOption))
                return cliFail("carrier: " + arg + " needs a number" + kUsage);
            ++i;
        } else if (arg == "--grey" || arg == "--gray") {
            grey = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return cliFail("carrier: unknown option \"" + arg + "\"" + kUsage);
        } else {
            files.push_back(arg);
        }
    }
    if (!load.empty() && (!files.empty() || !output.empty()))
        return cliFail("carrier: --load takes no recordings and no -o" + std::string(kUsage));
    if (load.empty() && (files.empty() || output.empty()))
        return cliFail("carrier: give recordings and -o OUT.bin, or --load FILE.bin" + std::string(kUsage));
    if (!load.empty() && png.empty())
        return cliFail("carrier: --load needs --png OUT.png and --channel K" + std::string(kUsage));
    const bool channelGiven = std::find(args.begin(), args.end(), "--channel") != args.end();
    if (!png.empty() && !channelGiven)
        return cliFail("carrier: --png needs --channel K (0 for the first channel)" + std::string(kUsage));
    if (channelGiven && (channel < 0.0 || channel != std::floor(channel)))
        return cliFail("carrier: --channel takes a channel number, 0 for the first");
    if (!(minDb < maxDb))
        return cliFail("carrier: --min-db must be below --max-db");
    if (fftSize != std::floor(fftSize) || fftSize > 1e9 || fftSize < 0 || halfSpan != std::floor(halfSpan))
        return cliFail("carrier: --fft-size and --half-span take whole numbers");

    CarrierAnalysis analysis;
    std::string error;
    if (!load.empty()) {
        std::optional<CarrierAnalysis> loaded = CarrierAnalysis::loadFile(load, error);
        if (!loaded)
            return cliFail(error);
        analysis = std::move(*loaded);
    } else {
        for (std::string& file : files)
            file = resolveRecordingArgument(file);
        CarrierRun run;
        const bool prepared = run.prepare(files, static_cast<int>(fftSize), halfSpan, error);
        for (const std::string& note : run.notes())
            std::fprintf(stderr, "carrier: %s\n", note.c_str());
        if (!run.refused().empty())
            return cliFail(run.refused().front() + ": cannot be used (the reason is given above); nothing was written");
        if (!prepared)
            return cliFail("carrier: " + error);
        if (channel >= run.analysis().numCarrierFreq())
            return cliFail("carrier: --channel must be 0 to " + std::to_string(run.analysis().numCarrierFreq() - 1));

        const bool showProgress = isatty(STDERR_FILENO);
        std::string readError;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            readError = run.run();
            done = true;
        });
        while (!done) {
            if (showProgress)
                std::fprintf(stderr, "\rcarrier: file %d of %d, second %d  ", std::max(run.fileNumber(), 1),
                             run.fileCount(), run.second());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        worker.join();
        if (showProgress)
            std::fputs("\n", stderr);
        if (!readError.empty())
            return cliFail(readError);
        if (!run.analysis().writeFile(output, error))
            return cliFail(error);
        analysis = std::move(run.analysis());
        std::fprintf(stderr, "carrier: %d rows of %d channels (%d to %d kHz) written to %s\n", analysis.dbBufCount(),
                     analysis.numCarrierFreq(), analysis.carrierFreqs().front(), analysis.carrierFreqs().back(),
                     output.c_str());
    }

    if (!png.empty()) {
        if (channel >= analysis.numCarrierFreq())
            return cliFail("carrier: --channel must be 0 to " + std::to_string(analysis.numCarrierFreq() - 1));
        if (!writePicture(analysis, static_cast<int>(channel), minDb, maxDb, !grey, png, error))
            return cliFail("carrier: " + error);
        std::fprintf(stderr, "carrier: channel %d (%d kHz) pictured in %s\n", static_cast<int>(channel),
                     analysis.carrierFreqs()[static_cast<size_t>(channel)], png.c_str());
    }
    return 0;
}
