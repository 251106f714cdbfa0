#pragma once

#include <QRect>
#include <QSize>

#include <optional>

class QScreen;
class QWidget;

// Where a window opens: its remembered frame, else its preferred size, always
// within the available area of the screen it opens on, so that its status
// bar and buttons are on screen without maximising.
class WindowGeometry {
public:
    // Room kept for the title bar and borders a window manager adds.
    static constexpr QSize kFrameAllowance{8, 32};

    // The window's rectangle within `available`: the remembered one moved and
    // shrunk into it, else `preferred` shrunk to it and centred.
    static QRect fitted(const QRect& available, const QSize& preferred, const std::optional<QRect>& remembered);

    // Places `window` from the frame stored under `key` (or at `preferred`)
    // on `screen`; without one, on the screen of the remembered frame, else
    // of its parent, else the primary screen.
    static void restore(QWidget* window, const char* key, const QSize& preferred, QScreen* screen = nullptr);
    static void save(const QWidget* window, const char* key);
};
