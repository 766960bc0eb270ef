#pragma once
// The cloud key-value store's side of sync: this device's values, each stamped when written here,
// go to its own values file; other devices' newer values come back one key at a time. Keys never
// written while syncing carry the oldest stamp, so a device that joins adopts what is there.
// Sync engine thread.

#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"

#include <QHash>
#include <QVariantMap>

class SyncKeyValues {
public:
    static constexpr qint64 kMaxFileBytes = 1024 * 1024;

    SyncKeyValues(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);

    // Stamps values written on this machine (`now` in ms since the epoch).
    void recordLocal(const QStringList &keys, qint64 now);
    // Writes this device's values file from the local values.
    std::optional<SyncFailure> exportValues(const QVariantMap &local);
    // Other devices' values newer than ours and different from `local`: key -> value.
    QVariantMap importValues(const QVariantMap &local);

private:
    SyncStamp stamp(const QString &key);
    void setStamp(const QString &key, const SyncStamp &stamp);

    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    QHash<QString, QByteArray> m_unopened; // device -> version of its values file told as unopened
};
