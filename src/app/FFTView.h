#pragma once

#include "demod/Selection.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallViewMapping.h"
#include "waterfall/WaterfallViewRenderer.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QMenu;

// The whole recording as a waterfall: the band across, the start of the
// recording at the top, drawn from a WaterfallPicture at the view's zoom.
// Shows the selection as a red frame and the play position inside it in blue,
// turns mouse actions into selections for the window controller and reports
// what lies under the pointer. Positions are in the view's pixels; seconds
// and kHz go through its WaterfallViewMapping, so that zoom keeps the
// selection where it is in time and frequency.
class FFTView : public QWidget {
    Q_OBJECT
public:
    // The width of the whole band before the view is fitted to a window.
    static constexpr int kPixelsWide = 1024;

    explicit FFTView(QWidget* parent = nullptr);

    // Starts a waterfall of `lines` seconds (>= 0), drawn at the rows of
    // WaterfallRowPlan::kMaxWindowRows, without a picture yet; clears the
    // selection and play mark. Returns true.
    bool setHeight(int lines);
    int lines() const { return mapping_.plan().lines(); }
    int rows() const { return mapping_.plan().rowCount(); }
    const WaterfallRowPlan& plan() const { return mapping_.plan(); }
    // The picture whose finished rows are drawn (from the loader), or none.
    void setPicture(std::shared_ptr<const WaterfallPicture> picture);
    const WaterfallPicture* picture() const { return picture_.get(); }
    // More of the picture's rows are finished: draws them.
    void rowsDone(int firstRow, int endRow);

    // The band across the view in kHz; used to turn columns into frequencies.
    void setBandwidth(double bwKHz, double centerKHz);
    double bandwidthKHz() const { return mapping_.bandwidthKHz(); }
    double centerKHz() const { return mapping_.centerKHz(); }
    // The recording's start (Unix seconds) when known, for the read-out.
    void setStartTime(std::optional<int64_t> startUnix) { startUnix_ = startUnix; }
    std::optional<int64_t> startTime() const { return startUnix_; }

    // Levels and colour re-map what is drawn at once.
    void setDrawInColor(bool inColor);
    void setLevels(double minDb, double maxDb);
    double maxDb() const { return maxDb_; }
    double minDb() const { return minDb_; }

    // Fits the band to viewWidth and stretches few rows to viewHeight; the
    // zoom stays.
    void fitTo(int viewWidth, int viewHeight);
    // Zooms in frequency by `factor` around content x `anchorX` and returns
    // the new content x of the frequency that was there.
    double zoomAround(double factor, double anchorX);
    const WaterfallViewMapping& mapping() const { return mapping_; }

    // Places the selection frame: start and stop second, low and high kHz.
    void setRecordingSettings(int start, int stop, double loKHz, double hiKHz);
    bool hasSelection() const { return selectionShown; }
    QRectF selectionFrame() const;

    // Moves the play mark to a second of the recording, or removes it with -1.
    void setCurrentPlayTime(int second);
    int currentPlayTime() const { return currentPlayPosition; }

    // Pixels of a content rectangle as drawn.
    QImage picturePixels(const QRect& area);
    // The whole band at `width` columns, one pixel per row: what the
    // command line's PNG shows.
    QImage bandImage(int width);

    // The read-out at a view position: frequency, time and level.
    QString readoutAt(QPointF pos) const;

    // The menu offered on a plain right click: the modifier-click actions by name.
    // pos: view position; the caller owns the menu.
    QMenu* createContextMenu(QPointF pos);

    QSize sizeHint() const override;

signals:
    // End of a drag: whole seconds from the start, kHz; start <= end, low <=
    // high. The view knows no pass-band shift: it is 0.
    void demodRecordingSettings(const Selection& selection);
    // Right click: kHz and seconds at the mouse, SelectionModifier bits held.
    void rightMouseDownFreq(float kHz, float seconds, unsigned modifiers);
    // The read-out under the pointer; empty when it leaves the view.
    void readoutChanged(const QString& text);
    // The content size changed (fitting or zoom).
    void geometryChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Corner {
        double seconds;
        double kHz;
    };
    QPointF limitedToView(QPointF p) const;
    QPointF pointOf(const Corner& corner) const;
    Corner cornerAt(QPointF p) const;
    void showMarquee(QPointF anchor, QPointF corner);
    QRect playMarkRect() const;
    void popUpContextMenu(QPointF pos, QPoint globalPos);
    void resizeToContent();
    void limitZoom();

    WaterfallViewMapping mapping_;
    std::shared_ptr<const WaterfallPicture> picture_;
    WaterfallViewRenderer renderer_;
    std::optional<int64_t> startUnix_;
    int fitWidth_ = kPixelsWide;
    int fitHeight_ = 0;
    bool drawInColor = false;
    double maxDb_ = -80.0;
    double minDb_ = -110.0;

    Corner anchor_{};
    Corner marquee_{};
    bool selectionShown = false;
    int currentPlayPosition = -1;

    QPointF pressPt;
    bool dragging = false;
    bool dragMoved = false;
};
