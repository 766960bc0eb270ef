#pragma once
// Facts about the machine. Any thread.

#include <QString>
#include <QStringList>

#include <optional>

namespace DeviceInfo {
// The machine's identifier as an upper-case UUID: the firmware's product UUID when readable,
// else the installation's machine id; nothing when neither can be read.
std::optional<QString> platformUUID();
// The same, read from the given files in order (tests).
std::optional<QString> platformUUID(const QStringList &sources);
// "Debian GNU/Linux 12 (bookworm)" and the like.
QString osVersionString();
} // namespace DeviceInfo
