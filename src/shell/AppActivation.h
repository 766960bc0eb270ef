#pragma once
// Stepping aside for the program the user works in: hide() hides this program's windows so the
// window that was active before gets the focus back; unhideWithoutActivation() shows them again
// without taking the focus. Windows that never take the focus (the feedback panel) and the tray
// icon are left alone. GUI thread.

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

} // namespace AppActivation
