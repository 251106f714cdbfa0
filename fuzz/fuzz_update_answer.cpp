// Feeds arbitrary bodies (the first byte picks the HTTP status) to the reader
// of the version server's answer and checks that what it shows is one line.
#include "update/UpdateAnswer.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* seeds = std::getenv("KORVEL_WRITE_SEEDS")) {
        std::ofstream(std::string(seeds) + "/latest") << "\x01LATEST";
        std::ofstream(std::string(seeds) + "/news") << "\x01Korvel 2.0 is out\r\n\t\xE2\x80\xA8\xE2\x80\xAE\xC3\xA9";
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int status = data[0] == 0 ? 404 : data[0] == 1 ? 200 : 100 + data[0];
    const UpdateAnswer answer =
        UpdateAnswer::read(status, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    const std::string& text = answer.text();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                                      (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                                       static_cast<unsigned char>(text[i + 2]) == 0xAE)))
            std::abort();
    }
    if (answer.kind() != UpdateAnswer::Kind::NewVersion && !text.empty())
        std::abort();
    return 0;
}
