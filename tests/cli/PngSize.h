#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The width and height in a PNG file's header; zeros when it is too short.
struct PngSize {
    uint32_t width = 0, height = 0;
};

inline PngSize pngSize(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
    if (b.size() < 24)
        return {};
    auto be32 = [&b](size_t at) { return uint32_t(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]; };
    return {be32(16), be32(20)};
}
