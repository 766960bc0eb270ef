#pragma once
// Icons of copied files and folders. GUI thread (icons); fileIconType() any thread.

#include <QIcon>
#include <QMimeType>
#include <QString>

#include <optional>

// The type whose icon stands for the file at `path` (a path or a "file://" URL): "inode/directory"
// for a path ending in "/" (the file system is not asked) or naming a folder; the type of its
// extension (the generic "application/octet-stream" for an unknown one); "text/plain" when it
// has none. Nothing when the type database has no entry at all.
std::optional<QMimeType> fileIconType(const QString &path);

// The icon of fileIconType() from the icon theme, or the style's generic file or folder icon.
std::optional<QIcon> fileIcon(const QString &path);
