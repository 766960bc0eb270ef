#pragma once
// Values that belong to the application as a whole rather than to the user's preferences, and
// facts about the running program. Any thread.

#include "platform/AutoCache.h"

#include <QString>

#include <optional>

namespace AppValues {
AutoCache<QString> &firstVersion();     // "1stVersion": the version first installed
AutoCache<QString> &lastVersion();      // "lastVersion": the version that last ended normally
AutoCache<int> &launchTime();           // "launchTime": 1 + the number of normal terminations
AutoCache<bool> &alreadyShowTutorial(); // "alreadyShowTutorial": the welcome window was shown
AutoCache<bool> &isIRM();               // "isIRM": set by the remote configuration
// "serviceBaseURL": the maker's service, e.g. "https://service.example"; empty sends nothing.
AutoCache<QString> &serviceBaseURL();
} // namespace AppValues

// This program's identifier, compared with the source application of a copy ("tavipaste").
std::optional<QString> appBundleIdentifier();
// The running version; "1.0" when none is set.
QString appVersion();
// The name shown to the user; nothing when none is set.
std::optional<QString> appName();
// The machine's identifier; nothing when it cannot be read.
std::optional<QString> platformUUID();
