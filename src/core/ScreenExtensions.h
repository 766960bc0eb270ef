#pragma once
// Display numbers: a display keeps its number while it stays attached to the same connector, so
// the number can be stored (the chosen screen, per-screen positions). GUI thread.

#include <QtGlobal>

class QScreen;

// The display's number, 1 to 2^31 - 1 (0 stores "no screen chosen").
quint32 screenNumber(const QScreen *screen);
// Position of the first screen with that number in QGuiApplication::screens(); -1 when none.
int indexOfScreenNumber(quint32 number);
// The first screen with that number, or null.
QScreen *screenWithNumber(quint32 number);
