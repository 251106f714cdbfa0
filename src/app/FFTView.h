#pragma once

#include "demod/Selection.h"
#include "waterfall/WaterfallColorTable.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

class QMenu;

// The whole recording as a waterfall: one bitmap row per second, 1024 columns
// across the recorded band, the start of the recording at the top. Shows the
// selection as a red frame and the play position inside it in blue, and turns
// mouse actions into selections for the window controller.
class FFTView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPixelsWide = 1024;

    explicit FFTView(QWidget* parent = nullptr);

    // Replaces the bitmap by a black one of 1024 × lines (lines >= 0) and clears
    // the selection and play mark. False when the bitmap could not be allocated.
    bool setHeight(int lines);
    int lines() const { return pixelsHigh; }

    // Paints row line (0 .. lines - 1; others are ignored) from len screen levels
    // of the display FFT (0 strongest, 1023 weakest); len is limited to 1024.
    // Lines already painted keep their colours when the colour mode changes.
    void drawFftLine(const int* row, int len, int line);

    // The band across the view in kHz; used to turn columns into frequencies.
    void setBandwidth(double bwKHz, double centerKHz);
    double bandwidthKHz() const { return bandwidth; }
    double centerKHz() const { return centerFreq; }

    void setDrawInColor(bool inColor) { drawInColor = inColor; }

    // Places the selection frame: start and stop second, low and high kHz.
    void setRecordingSettings(int start, int stop, double loKHz, double hiKHz);
    bool hasSelection() const { return selectionShown; }
    QRectF selectionFrame() const;

    // Moves the play mark to a second of the recording, or removes it with -1.
    void setCurrentPlayTime(int line);
    int currentPlayTime() const { return currentPlayPosition; }

    const QImage& offscreen() const { return bitmap; }

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QPointF limitedToView(QPointF p) const;
    void showMarquee(QPointF anchor, QPointF corner);
    QRect playMarkRect() const;
    void popUpContextMenu(QPointF pos, QPoint globalPos);

    WaterfallColorTable colorTable;
    QImage bitmap;
    int pixelsHigh = 0;
    bool drawInColor = false;
    double bandwidth = 0.0;
    double centerFreq = 0.0;

    QPointF anchorPt;
    QPointF marqueePt;
    bool selectionShown = false;
    int currentPlayPosition = -1;

    QPointF pressPt;
    bool dragging = false;
    bool dragMoved = false;
};
