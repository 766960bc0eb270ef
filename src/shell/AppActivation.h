#pragma once
// Stepping aside for the program the user works in: hide() gives the focus back to the window that
// was active before, through the window manager where it can, else by hiding this program's
// windows; unhideWithoutActivation() shows hidden windows again without taking the focus. Windows
// that never take the focus (the feedback panel) and the tray icon are left alone. GUI thread.

#include <QString>

namespace AppActivation {

// Posted on the default notification center when the program stops being the active one (also
// by hide(), before any window is hidden).
inline const QString kWillResignActive = QStringLiteral("NSApplicationWillResignActiveNotification");
void postWillResignActive();

void hide();
void unhideWithoutActivation();
// Whether hide() hid windows that are not shown again yet.
bool isHidden();
// Whether the program stepped aside with hide() and has not been made active again since: the
// focus leaving its windows meanwhile is that step, not the user leaving them. (The window
// system tells of the lost focus only after hide() has returned.)
bool isSteppingAside();
// One of the program's windows took the focus again: the step aside is over.
void didBecomeActive();

} // namespace AppActivation
