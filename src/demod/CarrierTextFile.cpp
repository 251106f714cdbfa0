#include "demod/CarrierTextFile.h"

#include "common/CNumberFormat.h"
#include "common/GccRestrictWarning.h"
#include "common/UtcCalendar.h"

#include <cstdio>
#include <filesystem>
#include <utility>

CarrierTextFile::CarrierTextFile(std::string folder)
    : folder_(std::move(folder))
{
}

void CarrierTextFile::addCarrierMeasurement(int64_t unixSeconds, double frequencyHz, double average, double peak)
{
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    const std::string path = (std::filesystem::path(folder_) / "carrier.txt").string();
    FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return;
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_BEGIN
    const std::string line = "\"" + UtcCalendar::format(unixSeconds, ':') + "\"," + formatFixed(frequencyHz * 0.001, 6) +
                             "," + formatFixed(average, 6) + "," + formatFixed(peak, 6) + "\n";
    KORVEL_GCC_RESTRICT_FALSE_POSITIVE_END
    std::fputs(line.c_str(), file);
    std::fclose(file);
}
