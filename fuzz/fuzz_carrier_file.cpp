// Feeds arbitrary bytes to the reader of the carrier analysis file (its
// header is checked against the file's size before anything is allocated).
#include "carrier/CarrierAnalysis.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string scratchPath()
{
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvel-fuzz-carrier-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        ::close(fd);
        return pattern;
    }();
    return path;
}

void writeSeeds(const std::string& folder)
{
    CarrierAnalysis analysis({531, 549}, 50.0, 1700000000, 2);
    for (int row = 0; row < 2; ++row) {
        float* levels = analysis.appendRow();
        for (int k = 0; k < 2 * CarrierAnalysis::kLevels; ++k)
            levels[k] = -100.0f + static_cast<float>(k % 97);
    }
    std::string error;
    if (!analysis.writeFile(folder + "/two-rows.bin", error))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* seeds = std::getenv("KORVEL_WRITE_SEEDS"))
        writeSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = scratchPath();
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ::close(fd);
    std::string error;
    const std::optional<CarrierAnalysis> loaded = CarrierAnalysis::loadFile(path, error);
    if (!loaded && error.empty())
        std::abort();
    if (loaded && loaded->numCarrierFreq() > 0 && loaded->dbBufCount() > 0)
        (void)loaded->levels(loaded->dbBufCount() - 1, loaded->numCarrierFreq() - 1)[CarrierAnalysis::kLevels - 1];
    return 0;
}
