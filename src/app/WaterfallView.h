#pragma once

#include <QPointF>
#include <QWidget>

class WaterfallWindowSession;

// The waterfall window's picture: paints the columns of the session's
// picture that are complete (black beyond them), one widget pixel per
// picture pixel, and reports the pointer's position over it.
class WaterfallView : public QWidget {
    Q_OBJECT
public:
    explicit WaterfallView(const WaterfallWindowSession& session, QWidget* parent = nullptr);

    // Takes the size of the session's new picture; nothing of it is shown yet.
    void pictureChanged();
    // Repaints the columns completed since the last call.
    void showNewColumns();
    int columnsShown() const { return columnsShown_; }

signals:
    // Where the pointer is (or was pressed), in picture pixels.
    void pointerMoved(QPointF position);
    void pointerLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const WaterfallWindowSession& session_;
    int columnsShown_ = 0;
};
