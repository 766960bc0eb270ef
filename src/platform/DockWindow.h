#pragma once
// Windows that dock at a screen edge: on X11 a dock window (no struts) on every desktop, kept
// above others and never given the focus, whose place as Qt knows it is checked against the X
// server's each time it is mapped; elsewhere just a frameless, always-on-top tool window.
// A docked window also names the part of its screen it keeps for itself, so that windows the
// program places beside others stay clear of it. GUI thread.

#include <QList>
#include <QRect>

class QScreen;
class QWidget;

namespace DockWindow {
// Call before the window is first shown.
void prepare(QWidget *window);
// The area (global coordinates) the window keeps for itself while it is shown: its edge's whole
// strip, as wide as it grows. An empty area keeps nothing.
void setReservedArea(QWidget *window, const QRect &area);
// The areas kept by the docked windows shown on the screen.
QList<QRect> reservedAreas(const QScreen *screen);
// Keeps the window above full-screen windows, raised again at each call, or gives it back to the
// window manager's stacking, which keeps full-screen windows above docks. A window manager stacks
// only the windows it manages: on X11 the window is taken out of its hands while above.
void keepAboveFullScreenWindows(QWidget *window, bool above);
bool isKeptAboveFullScreenWindows(const QWidget *window);
} // namespace DockWindow
