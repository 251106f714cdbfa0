#include "app/WindowGeometry.h"

#include "app/Preferences.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {

QScreen* ScreenFor(const QWidget* window, const std::optional<QRect>& remembered)
{
    if (remembered)
        if (QScreen* screen = QGuiApplication::screenAt(remembered->center()))
            return screen;
    if (const QWidget* parent = window->parentWidget())
        if (QScreen* screen = parent->screen())
            return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

QRect WindowGeometry::fitted(const QRect& available, const QSize& preferred, const std::optional<QRect>& remembered)
{
    // The client area may use what the title bar above and the borders leave.
    const int border = kFrameAllowance.width() / 2;
    const QRect room(available.left() + border, available.top() + kFrameAllowance.height() - border,
                     std::max(available.width() - kFrameAllowance.width(), 1),
                     std::max(available.height() - kFrameAllowance.height(), 1));
    const QSize size = (remembered ? remembered->size() : preferred).boundedTo(room.size()).expandedTo(QSize(1, 1));
    QRect placed(QPoint(0, 0), size);
    if (remembered)
        placed.moveTopLeft(remembered->topLeft());
    else
        placed.moveCenter(room.center());
    placed.moveLeft(std::clamp(placed.left(), room.left(), room.left() + room.width() - size.width()));
    placed.moveTop(std::clamp(placed.top(), room.top(), room.top() + room.height() - size.height()));
    return placed;
}

void WindowGeometry::restore(QWidget* window, const char* key, const QSize& preferred, QScreen* screen)
{
    const QByteArray stored = Preferences().value(key).toByteArray();
    std::optional<QRect> remembered;
    if (!stored.isEmpty() && window->restoreGeometry(stored))
        remembered = window->geometry();
    if (!screen)
        screen = ScreenFor(window, remembered);
    if (!screen) {
        window->resize(preferred);
        return;
    }
    window->setGeometry(fitted(screen->availableGeometry(), preferred, remembered));
}

void WindowGeometry::save(const QWidget* window, const char* key)
{
    QSettings settings = Preferences();
    settings.setValue(key, window->saveGeometry());
}
