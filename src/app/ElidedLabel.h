#pragma once

#include <QLabel>

// A one-line label that never widens its window: text longer than the label
// ends in an ellipsis and shows in full as its tool tip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
