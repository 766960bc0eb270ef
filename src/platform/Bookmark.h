#pragma once
// Bookmarks of file-system locations the user granted. A bookmark remembers the path together
// with the device and inode it named, so a location that was deleted, moved away or replaced by
// another file no longer resolves. Access to a location means it is readable. Any thread.

#include <QByteArray>
#include <QString>

#include <optional>

namespace Bookmark {

// The bookmark data of an existing location; nothing (and a reason in error) when it can't be read.
std::optional<QByteArray> create(const QString &path, QString *error = nullptr);

// The path a bookmark still names; nothing (and a reason in error) when the data is damaged or the
// location is gone or is another file now.
std::optional<QString> resolve(const QByteArray &data, QString *error = nullptr);

// Whether the program may read the location.
bool startAccessing(const QString &path);
// Ends access begun by startAccessing(); nothing to release on this platform.
void stopAccessing(const QString &path);

} // namespace Bookmark
