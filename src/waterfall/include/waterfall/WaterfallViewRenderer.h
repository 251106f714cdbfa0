#pragma once

#include "waterfall/WaterfallColorTable.h"
#include "waterfall/WaterfallColumnMap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class WaterfallPicture;
class WaterfallViewMapping;

// Paints part of the main waterfall's view from its picture: what zoom, pan,
// a new dB range or colour redraw, without the recording.
class WaterfallViewRenderer {
public:
    // The content rectangle from (left, top), width x height pixels, of a view
    // mapped by `mapping`, into RGBA rows `stride` bytes apart. Rows that the
    // picture has not finished (rowsDone()) and pixels below the last row are
    // black. maxDb != minDb. Allocates only when the width grows.
    void render(const WaterfallPicture& picture, const WaterfallViewMapping& mapping, int left, int top, int width,
                int height, double maxDb, double minDb, bool drawInColor, uint8_t* rgba, size_t stride);

private:
    WaterfallColorTable colors_;
    WaterfallColumnMap columns_;
    std::vector<int> screen_;
};
