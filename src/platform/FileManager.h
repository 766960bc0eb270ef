#pragma once
// Showing a file in the desktop's file manager: the freedesktop FileManager1 "ShowItems" call on
// the session bus, and when no file manager answers it, the file's folder opened through the
// workspace. Main thread; returns at once.

#include <QString>

namespace FileManager {

void showItem(const QString &path);

} // namespace FileManager
