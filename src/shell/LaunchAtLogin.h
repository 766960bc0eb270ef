#pragma once
// Launch at login through the login helper: its autostart entry written or removed, checked at
// start, and the helper found. GUI thread.

#include "platform/LoginItem.h"

#include <QString>

namespace LaunchAtLogin {

// Writes or removes the login helper's autostart entry. Only when the entry's state matches the
// request is "isAutoLaunch" stored; the result's error says why not.
LoginItem::Result setEnabled(bool enabled);
// At start: with launch at login on, an entry that can no longer start anything (the program
// moved, the helper it names was removed) is written again for this installation's helper;
// without one the entry goes, the setting is turned off and the user told. An entry removed or
// disabled outside TaviPaste turns the setting off.
void check();
// The installed helper next to this program; empty when it is missing.
QString helperExecutablePath();
// A login helper waits for this program's word.
bool isHelperRunning();
// The id the login helper and the launcher know this program by.
QString ownBundleIdentifier();

} // namespace LaunchAtLogin
