#pragma once
// Starting a program when the user logs in: an XDG autostart entry, "<identifier>.desktop" in
// $XDG_CONFIG_HOME/autostart, written atomically. Any thread.

#include <QString>
#include <QStringList>

namespace LoginItem {

struct Result {
    bool matches = false; // the entry's state is now the one asked for
    QString error;        // why not, in plain words
};

QString autostartDirectory();
QString entryPath(const QString &identifier);

// Enabled: writes the entry that runs the command (program and arguments); disabled: removes it.
// The program is named by its bare name when the PATH finds that very file, else by its path, and
// is also the entry's TryExec: a session skips the entry once the program is gone.
Result setEnabled(const QString &identifier, bool enabled, const QStringList &command = {},
                  const QString &displayName = QString());
// An entry of ours is there and not hidden.
bool isEnabled(const QString &identifier);
// The command of the entry (program and arguments) as the session reads its Exec line; empty
// without an entry.
QStringList command(const QString &identifier);
// The entry's program is there to start: an executable file at its path, or on the PATH for a
// bare name.
bool canStart(const QString &identifier);

// One argument of an Exec line, quoted as the Desktop Entry format asks ("%" doubled, reserved
// characters in double quotes with their escapes) and escaped as a string value of the file.
QString execArgument(const QString &argument);

} // namespace LoginItem
