#pragma once

#include "waterfall/WaterfallRowPlan.h"

// Where seconds and frequencies lie in the main waterfall's view, at its zoom.
// The content is the whole band across `contentWidth` pixels (x = 0 at the low
// edge) and the rows of the plan down its height, `pixelsPerRow` each (the
// start of the recording at the top). Zooming in frequency widens the content
// (the view scrolls across it); a recording of few rows is stretched to fill
// the view's height, a long one scrolls.
class WaterfallViewMapping {
public:
    // The narrowest a stored column of the picture may be drawn when zoomed
    // out, and the widest when zoomed in (the transform's resolution).
    static constexpr double kMaxPixelsPerColumn = 8.0;
    static constexpr double kZoomStep = 2.0;

    WaterfallViewMapping() = default;
    // bandwidthKHz > 0 for a band; plan: the rows drawn.
    WaterfallViewMapping(double bandwidthKHz, double centerKHz, const WaterfallRowPlan& plan);

    double bandwidthKHz() const { return bandwidthKHz_; }
    double centerKHz() const { return centerKHz_; }
    const WaterfallRowPlan& plan() const { return plan_; }
    bool hasBand() const { return bandwidthKHz_ > 0.0; }

    double contentWidth() const { return contentWidth_; }
    double pixelsPerRow() const { return pixelsPerRow_; }
    double contentHeight() const { return plan_.rowCount() * pixelsPerRow_; }

    // Content width and row height for a view of `viewWidth` x `viewHeight`
    // pixels: the whole band fills the width at zoom 1, and the zoom stays.
    void fit(double viewWidth, double viewHeight);
    // Zooms by `factor` (> 1 in, < 1 out) keeping the frequency at content x
    // `anchorX` where it is on screen; returns that frequency's new content x.
    // Limited to the fitted width and to maxContentWidth(); a band without
    // width does not zoom.
    double zoomAround(double factor, double anchorX);
    double zoom() const { return fitWidth_ > 0.0 ? contentWidth_ / fitWidth_ : 1.0; }
    // The widest content: kMaxPixelsPerColumn for each stored column in the band.
    void setMaxContentWidth(double width) { maxContentWidth_ = width; }
    double maxContentWidth() const { return maxContentWidth_; }

    // kHz at content x, and x of a frequency.
    double frequencyAt(double x) const;
    double xAt(double kHz) const;
    // Seconds from the start at content y, and y of the start of a second.
    double secondsAt(double y) const;
    double yAt(double seconds) const;
    // The content row at y.
    int rowAt(double y) const;

private:
    double bandwidthKHz_ = 0.0;
    double centerKHz_ = 0.0;
    WaterfallRowPlan plan_;
    double fitWidth_ = 1024.0;
    double contentWidth_ = 1024.0;
    double maxContentWidth_ = 1024.0;
    double pixelsPerRow_ = 1.0;
};
