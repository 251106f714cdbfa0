// Feeds arbitrary bytes to the SigMF metadata reader, where nesting depth and
// string length are the attack (run with a large -max_len), and checks that a
// refusal stays one short line.
#include "recording/SigmfMetadata.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace {

void writeSeeds(const std::string& folder)
{
    std::ofstream(folder + "/full") << R"({"global": {"core:datatype": "ci16_le", "core:sample_rate": 48000,
        "core:num_channels": 1, "core:version": "1.0.0"},
        "captures": [{"core:sample_start": 0, "core:frequency": 7.1e6, "core:datetime": "2023-10-15T12:34:56.5+02:00",
        "core:header_bytes": 8}], "annotations": [{"core:sample_start": 0, "core:comment": "x"}]})";
    std::ofstream(folder + "/bare") << R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1e3}})";
    std::ofstream(folder + "/nested") << R"({"global": {"core:datatype": "cu8", "core:sample_rate": [[[[1]]]]}})";
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
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SigmfMetadata meta = SigmfMetadata::parse(text);
    if (meta.error.size() > 300 || meta.error.find('\n') != std::string::npos)
        std::abort();
    if (meta.error.empty() && !(meta.sampleRate > 0.0))
        std::abort();
    SigmfMetadata::parseDateTime(text);
    return 0;
}
