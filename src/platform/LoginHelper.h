#pragma once
// What TaviPaste and its login helper know of each other: the identifiers their notifications
// carry and the session-bus names by which each sees whether the other runs.

#include "platform/SingleInstance.h"

#include <QString>

namespace LoginHelper {

// TaviPaste's identifier, the object of "killLauncher" and "killHelper"; the helper's identifier
// (the name of its autostart entry) adds "-helper".
inline const QString kMainIdentifier = QStringLiteral("tavipaste");
inline const QString kHelperIdentifier = kMainIdentifier + QStringLiteral("-helper");

// Owned by the running TaviPaste (its single-instance name) and by the waiting helper.
inline const QString kMainBusName = QString::fromLatin1(SingleInstance::kServiceName);
inline const QString kHelperBusName = QStringLiteral("org.tavipaste.TaviPasteHelper");

// How long the helper waits for TaviPaste's word before it quits by itself.
constexpr int kHelperTimeoutMs = 30000;

} // namespace LoginHelper
