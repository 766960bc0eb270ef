#pragma once
// Where the windows the history list opens (its sheets, the note editor) go: beside the window
// that asked for them, on its screen, clear of the areas docked windows (the color bar) keep.

#include <QList>
#include <QRect>

class QWidget;

namespace WindowPlacement {
// The frame for a window of `size` beside `anchor` (the frame of the window that asked): on the
// side away from a reserved area when the window fits there, else on the other side, else as near
// as the screen allows. Always within `screen` (its usable area) and clear of each reserved area's
// side of it; a window larger than that room is made smaller. Any thread.
QRect beside(const QSize &size, const QRect &anchor, const QRect &screen, const QList<QRect> &reserved);

// Moves (and if need be shrinks) the window, not yet shown, beside `anchor`'s window, clear of
// the areas docked windows keep on that screen. GUI thread.
void placeBeside(QWidget *window, const QWidget *anchor);
} // namespace WindowPlacement
