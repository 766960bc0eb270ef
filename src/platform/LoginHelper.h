#pragma once
// What TaviPaste and its login helper know of each other: the identifiers their notifications
// carry and the session-bus names by which each sees whether the other runs.

#include <QString>

namespace LoginHelper {

// TaviPaste's identifier, the object of "killLauncher" and "killHelper"; the helper's identifier
// (the name of its autostart entry) adds "-helper".
inline const QString kMainIdentifier = QStringLiteral("tavipaste");
inline const QString kHelperIdentifier = kMainIdentifier + QStringLiteral("-helper");

// Owned by the waiting helper, so TaviPaste sees it (TaviPaste's own is SingleInstance's).
inline const QString kHelperBusName = QStringLiteral("org.tavipaste.TaviPasteHelper");

// How long the helper waits for TaviPaste's word before it quits by itself.
constexpr int kHelperTimeoutMs = 30000;

} // namespace LoginHelper
