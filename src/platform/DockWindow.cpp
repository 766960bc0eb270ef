#include "platform/DockWindow.h"

#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {
QHash<QWidget *, std::pair<QPointer<QWidget>, QRect>> &reserved()
{
    static QHash<QWidget *, std::pair<QPointer<QWidget>, QRect>> areas;
    return areas;
}
} // namespace

namespace DockWindow {

void setReservedArea(QWidget *window, const QRect &area)
{
    if (!window)
        return;
    if (area.isEmpty())
        reserved().remove(window);
    else
        reserved().insert(window, {QPointer<QWidget>(window), area});
}

QList<QRect> reservedAreas(const QScreen *screen)
{
    QList<QRect> areas;
    if (!screen)
        return areas;
    for (auto it = reserved().begin(); it != reserved().end();) {
        const auto &[window, area] = it.value();
        if (!window) {
            it = reserved().erase(it);
            continue;
        }
        if (window->isVisible() && area.intersects(screen->geometry()))
            areas.append(area);
        ++it;
    }
    return areas;
}

} // namespace DockWindow
