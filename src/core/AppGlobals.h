#pragma once
// Facts about the running program. Any thread. (The values it keeps are TaviSettings'.)

#include "core/TaviSettings.h"

#include <QString>

#include <optional>

// This program's identifier, compared with the source application of a copy ("tavipaste").
std::optional<QString> appBundleIdentifier();
// The running version; "1.0" when none is set.
QString appVersion();
// The name shown to the user; nothing when none is set.
std::optional<QString> appName();
// The machine's identifier; nothing when it cannot be read.
std::optional<QString> platformUUID();
