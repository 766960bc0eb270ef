#pragma once
// This machine's own sync settings, which never travel: the folder, the key derived from the
// passphrase (never the passphrase itself) and the byte budget, read through TaviSettings (the
// standard defaults, a 0600 file). Any thread.

#include "core/sync/SyncCrypto.h"

#include <QString>

namespace SyncSettings {
QString folder();
void setFolder(const QString &path);
SyncKey key();
void setKey(const SyncKey &key);
// Bytes this device may keep in the folder; 0: no budget beyond the disk's free space.
qint64 budget();
void setBudget(qint64 bytes);
// The last sync failure in plain words (empty after a success), for the Sync pane.
QString lastError();
void setLastError(const QString &message);
} // namespace SyncSettings
