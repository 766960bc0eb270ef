#pragma once
// Windows that dock at a screen edge: on X11 a dock window (no struts) on every desktop, kept
// above others and never given the focus, whose place as Qt knows it is checked against the X
// server's each time it is mapped; elsewhere just a frameless, always-on-top tool window.
// GUI thread; call before the window is first shown.

class QWidget;

namespace DockWindow {
void prepare(QWidget *window);
// Keeps the window above full-screen windows, raised again at each call, or gives it back to the
// window manager's stacking, which keeps full-screen windows above docks. A window manager stacks
// only the windows it manages: on X11 the window is taken out of its hands while above.
void keepAboveFullScreenWindows(QWidget *window, bool above);
bool isKeptAboveFullScreenWindows(const QWidget *window);
} // namespace DockWindow
