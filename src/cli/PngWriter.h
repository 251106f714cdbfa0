#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Returns the RGBA pixels (4 bytes each, `width` of them) of row y, asked for
// top to bottom; the pointer must stay valid until the next call. nullptr
// abandons the picture: nothing is written.
using PngRowSource = std::function<const uint8_t*(int y)>;

// Writes an 8-bit RGBA image as PNG, row by row, through a TemporaryFile, so
// that an existing file is only replaced by a complete one.
bool writeRgbaPng(const std::string& path, int width, int height, const PngRowSource& rowAt, std::string& error);
