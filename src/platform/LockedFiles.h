#pragma once
// The files this process holds POSIX locks on through descriptors it keeps: a database and its
// -wal, -shm and -journal files while a connection has them open. On Linux, closing any other
// descriptor of such a file drops every one of those locks, so code that reads a file the user
// named asks here first and leaves these unopened. Any thread.

#include <QString>

namespace LockedFiles {

// One more connection to the database file at the path; release() when it closes.
void hold(const QString &databasePath);
void release(const QString &databasePath);
// Whether the path (links followed) is a held database or one of its companion files.
bool isHeld(const QString &path);

} // namespace LockedFiles
