#pragma once

#include "common/CarrierLog.h"

#include <string>

// Appends each carrier measurement to "carrier.txt" in a folder (created when
// missing) as one line: "05-Dec-2026 16:39:36" in double quotes (UTC), the
// frequency in kHz, the smoothed average and peak, comma-separated, numbers
// with six decimals in the C locale. The file is opened for each line and
// closed after it; a line that cannot be written is lost and the measurement
// stands.
class CarrierTextFile : public CarrierLog {
public:
    explicit CarrierTextFile(std::string folder);

    void addCarrierMeasurement(int64_t unixSeconds, double frequencyHz, double average, double peak) override;

private:
    std::string folder_;
};
