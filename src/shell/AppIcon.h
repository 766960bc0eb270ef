#pragma once
// The program's own icon, bundled in every size the desktop file's icon is installed in: every
// window carries it once install() has run. GUI thread.

#include <QIcon>

namespace AppIcon {

QIcon icon();
// Makes the icon the application's window icon (start-up).
void install();

} // namespace AppIcon
