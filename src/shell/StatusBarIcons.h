#pragma once
// The status icon's images by asset name: "statusBarIcon-0" (the normal icon and the last frame of
// the animation), "statusBarIcon-1" to "statusBarIcon-9" (animation frames) and
// "statusBarIcon_disabled" (capture paused). GUI thread.

#include <QIcon>
#include <QString>

namespace StatusBarIcons {

// A null icon for any other name.
QIcon named(const QString &name);

} // namespace StatusBarIcons
