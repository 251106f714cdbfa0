// Feeds arbitrary file names to what a name says about a recording (raw
// captures, .au and plain WAVE files) and to its parts, the values with units
// and the format names, and checks that what they give can be used.
#include "recording/IqFileName.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* seeds = std::getenv("KORVEL_WRITE_SEEDS")) {
        const char* const names[] = {"g001_433.92M_250k.cu8",
                                     "gqrx_20231015_123456_433920000_2000000_fc.raw",
                                     "baseband_14074000Hz_12-34-56_15-10-2023.wav",
                                     "Delhi.828.1.12k.iq.au",
                                     "x_2.4MHz_1e300k.cs16",
                                     "gqrx_99999999_999999_-1_nan_fc.raw"};
        int k = 0;
        for (const char* name : names)
            std::ofstream(std::string(seeds) + "/name" + std::to_string(k++)) << name;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const IqFileName name = IqFileName::parse(text);
    if (name.sampleRate < 0)
        std::abort();
    if (name.centerFreq && !std::isfinite(*name.centerFreq))
        std::abort();
    if (name.format && IqFileName::bitsOf(*name.format) <= 0)
        std::abort();
    if (const std::optional<double> value = IqFileName::valueWithUnit(text); value && !std::isfinite(*value))
        std::abort();
    if (const std::optional<SampleFormat> format = IqFileName::formatNamed(text); format && IqFileName::bitsOf(*format) <= 0)
        std::abort();
    return 0;
}
