#include "cli/PngWriter.h"

#include "common/TemporaryFile.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

void pngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    *error = message;
    std::longjmp(png_jmpbuf(png), 1);
}

void pngWarning(png_structp, png_const_charp) {}

// libpng's error path longjmps back into this function, so nothing between its
// setjmp and the libpng calls may own resources with destructors.
bool encode(FILE* file, int width, int height, const PngRowSource& rowAt, std::string* error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, pngError, pngWarning);
    if (!png) {
        *error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Waterfall rows are runs of a few colours: the left neighbour predicts a
    // pixel well and run-length matching finds the rest, five times faster than
    // the default filters and search, and smaller.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_strategy(png, Z_RLE);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rowAt(y);
        if (!row)
            png_error(png, "the picture was abandoned");
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writeRgbaPng(const std::string& path, int width, int height, const PngRowSource& rowAt, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = "the image is empty";
        return false;
    }
    TemporaryFile file;
    if (!file.open(path, error))
        return false;
    std::string encodeError;
    errno = 0;
    if (!encode(file.stream(), width, height, rowAt, &encodeError)) {
        if (errno == 0) {
            error = "cannot write \"" + path + "\": " + encodeError;
            return false;
        }
        file.fail(errno);
    }
    if (const int failure = file.commit()) {
        // libpng says only "Write Error"; the system says why.
        error = "cannot write \"" + path + "\": " + std::strerror(failure);
        return false;
    }
    return true;
}
