#include "waterfall/WaterfallViewRenderer.h"

#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallViewMapping.h"

#include <algorithm>
#include <cstring>

void WaterfallViewRenderer::render(const WaterfallPicture& picture, const WaterfallViewMapping& mapping, int left,
                                   int top, int width, int height, double maxDb, double minDb, bool drawInColor,
                                   uint8_t* rgba, size_t stride)
{
    if (width <= 0 || height <= 0)
        return;
    if (screen_.size() < static_cast<size_t>(width))
        screen_.resize(static_cast<size_t>(width));
    const double hzPerPixel = mapping.bandwidthKHz() * 1000.0 / mapping.contentWidth();
    columns_.set(picture, (mapping.frequencyAt(left) - mapping.centerKHz()) * 1000.0, hzPerPixel, width);
    const int rowsDone = std::min(picture.rowsDone(), picture.rows());
    const double pixelsPerRow = mapping.pixelsPerRow();
    int painted = -1; // the picture row in the line above, to copy rather than map again
    for (int y = 0; y < height; ++y) {
        uint8_t* line = rgba + static_cast<size_t>(y) * stride;
        const int row = static_cast<int>((top + y) / pixelsPerRow);
        if (top + y < 0 || row >= rowsDone) {
            for (int x = 0; x < width; ++x) {
                std::memset(line + 4 * x, 0, 3);
                line[4 * x + 3] = 255;
            }
            painted = -1;
            continue;
        }
        if (row == painted) {
            std::memcpy(line, line - stride, static_cast<size_t>(width) * 4);
            continue;
        }
        columns_.screenRow(picture.row(row), maxDb, minDb, screen_.data());
        colors_.PaintRow(width, screen_.data(), drawInColor, line);
        painted = row;
    }
}
