#include "waterfall/WaterfallViewMapping.h"

#include <algorithm>
#include <cmath>

WaterfallViewMapping::WaterfallViewMapping(double bandwidthKHz, double centerKHz, const WaterfallRowPlan& plan)
    : bandwidthKHz_(bandwidthKHz > 0.0 ? bandwidthKHz : 0.0)
    , centerKHz_(centerKHz)
    , plan_(plan)
{
}

void WaterfallViewMapping::fit(double viewWidth, double viewHeight)
{
    const double zoomNow = zoom();
    fitWidth_ = std::max(viewWidth, 1.0);
    contentWidth_ = std::round(std::clamp(fitWidth_ * zoomNow, fitWidth_, std::max(fitWidth_, maxContentWidth_)));
    const int rows = plan_.rowCount();
    // Whole pixels per row, so that every row is drawn the same height.
    pixelsPerRow_ = rows > 0 ? std::max(1.0, std::floor(viewHeight / rows)) : 1.0;
}

double WaterfallViewMapping::zoomAround(double factor, double anchorX)
{
    if (!hasBand() || !(factor > 0.0))
        return anchorX;
    const double kHz = frequencyAt(anchorX);
    contentWidth_ = std::round(std::clamp(contentWidth_ * factor, fitWidth_, std::max(fitWidth_, maxContentWidth_)));
    return xAt(kHz);
}

double WaterfallViewMapping::frequencyAt(double x) const
{
    return centerKHz_ + (x / contentWidth_ - 0.5) * bandwidthKHz_;
}

double WaterfallViewMapping::xAt(double kHz) const
{
    if (!hasBand())
        return 0.0;
    return ((kHz - centerKHz_) / bandwidthKHz_ + 0.5) * contentWidth_;
}

double WaterfallViewMapping::secondsAt(double y) const
{
    return y / pixelsPerRow_ * plan_.secondsPerRow();
}

double WaterfallViewMapping::yAt(double seconds) const
{
    return seconds / plan_.secondsPerRow() * pixelsPerRow_;
}

int WaterfallViewMapping::rowAt(double y) const
{
    return plan_.rowOfSecond(secondsAt(y));
}
