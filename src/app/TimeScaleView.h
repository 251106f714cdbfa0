#pragma once

#include "waterfall/WaterfallViewMapping.h"

#include <QWidget>

#include <cstdint>
#include <optional>

// The time axis beside the waterfall: ticks at round times down its rows,
// in recording time, or in UTC when the recording's start is known.
class TimeScaleView : public QWidget {
    Q_OBJECT
public:
    // The least room between two ticks.
    static constexpr int kTickSpacing = 40;

    explicit TimeScaleView(QWidget* parent = nullptr);

    // The rows of the waterfall as its view maps them, and the start (Unix seconds).
    void setMapping(const WaterfallViewMapping& mapping, std::optional<int64_t> startUnix);
    // The labels of the ticks from `top` to `bottom` (view pixels).
    QStringList labelTexts(int top, int bottom) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    WaterfallViewMapping mapping_;
    std::optional<int64_t> startUnix_;
};
