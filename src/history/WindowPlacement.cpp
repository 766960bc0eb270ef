#include "history/WindowPlacement.h"

#include "platform/DockWindow.h"

#include <QMargins>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
constexpr int kGap = 8;

// What the window manager adds around the window. Before a window is first shown it has no frame:
// the style's title bar and frame stand in for the window manager's.
QMargins decorationsOf(const QWidget *window)
{
    if (window->isVisible() && window->windowHandle())
        return window->windowHandle()->frameMargins();
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return {};
    const int frame = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return QMargins(frame, title + frame, frame, frame);
}
} // namespace

namespace WindowPlacement {

QRect beside(const QSize &size, const QRect &anchor, const QRect &screen, const QList<QRect> &reserved)
{
    // A reserved area takes its whole side of the screen: the bar may be moved along its edge and
    // widens when the pointer passes, so no window goes above or below it either.
    QRect room = screen;
    int leftAreas = 0;
    int rightAreas = 0;
    for (const QRect &area : reserved) {
        if (!area.intersects(screen))
            continue;
        if (area.center().x() < screen.center().x()) {
            room.setLeft(std::min(room.right(), std::max(room.left(), area.right() + 1 + kGap)));
            ++leftAreas;
        } else {
            room.setRight(std::max(room.left(), std::min(room.right(), area.left() - 1 - kGap)));
            ++rightAreas;
        }
    }
    const QSize fitted = size.boundedTo(room.size());

    const int right = anchor.right() + 1 + kGap;
    const int left = anchor.left() - kGap - fitted.width();
    // Away from a reserved area first; else the side with more room.
    const bool rightFirst = leftAreas != rightAreas ? leftAreas > rightAreas
                                                    : screen.right() - anchor.right() >= anchor.left() - screen.left();
    const int sides[] = {rightFirst ? right : left, rightFirst ? left : right};
    const int y = std::clamp(anchor.top(), room.top(), room.bottom() - fitted.height() + 1);
    for (const int x : sides) {
        if (x >= room.left() && x + fitted.width() - 1 <= room.right())
            return QRect(QPoint(x, y), fitted);
    }
    // No side has room: over the asking window, as far to the first side as the room allows.
    const int x = std::clamp(sides[0], room.left(), room.right() - fitted.width() + 1);
    return QRect(QPoint(x, y), fitted);
}

void placeBeside(QWidget *window, const QWidget *anchor)
{
    if (!window || !anchor)
        return;
    const QWidget *asking = anchor->window();
    QScreen *screen = asking->screen();
    if (!screen)
        return;
    // Not shown yet, a window has the size its layout asks for only once it is shown.
    const QSize hint = window->sizeHint();
    const QSize size = window->testAttribute(Qt::WA_Resized) || !hint.isValid()
                           ? window->size()
                           : hint.expandedTo(window->minimumSize());
    const QMargins decorations = decorationsOf(window);
    const QSize framed = size.grownBy(decorations);
    const QRect place =
        beside(framed, asking->frameGeometry(), screen->availableGeometry(), DockWindow::reservedAreas(screen));
    // A top-level window is moved by its frame and sized by its contents.
    if (place.size() != framed)
        window->resize(place.size().shrunkBy(decorations));
    window->move(place.topLeft());
}

} // namespace WindowPlacement
