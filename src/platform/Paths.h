#pragma once
// Where TaviPaste keeps its files, after the XDG base directory rules. Read from the environment
// on every call, so tests can point them at temporary folders. Any thread.

#include <QString>

namespace Paths {
QString configDirectory(); // $XDG_CONFIG_HOME/TaviPaste
QString dataDirectory();   // $XDG_DATA_HOME/TaviPaste
QString stateDirectory();  // $XDG_STATE_HOME/TaviPaste
QString cacheDirectory();  // $XDG_CACHE_HOME/TaviPaste

// The user's real home folder from the user database (not $HOME); "/" when the user has no entry
// or the entry no home. Read once.
QString homeDirectoryPath();
QString homeDirectoryPath(unsigned int userId);

// What the program writes is its user's alone, whatever the umask: folders 0700, files 0600.
// Makes the folder with any missing parents, each it makes set to 0700. False when it cannot.
bool makePrivateDirectory(const QString &path);
// Makes the file (empty) when it is missing, with its folder, and sets it to 0600. A file that
// exists is never opened (its locks stay); a symbolic link or anything but a file is left alone.
bool makePrivateFile(const QString &path);
// Tightens what older runs left in the program's config, data, state and cache folders: the
// folders 0700, the files 0600. Symbolic links and what they point to are left alone.
void tightenPrivateFolders();
// Whether path is folder or lies inside it, comparing canonical paths (links resolved; a path
// that does not exist is cleaned) component by component: "/homeX" is not inside "/home".
bool isInside(const QString &path, const QString &folder);

// Renames a damaged file aside (never deletes it) and returns the new path, or empty on failure.
QString moveAside(const QString &path, const QString &reason);
} // namespace Paths
