#pragma once
// Reads other devices' segments from the sync folder, past this store's cursor for each device,
// and merges them: last writer wins per attribute on (time, device); a deletion is final for its
// record unless the record is inserted anew later; links travel as added or removed pairs; an
// edit of a record not seen yet waits in its stamps until the record arrives. A segment that is
// missing, partial or not ours yet is retried later; one that stays unreadable behind later ones,
// or that is malformed, is dropped with a log line. Sync engine thread.

#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"

#include <QHash>
#include <QVariantMap>

#include <functional>

class SyncImporter {
public:
    // Attempts before a segment that cannot be opened, with later ones behind it, is dropped.
    static constexpr int kAttemptsBeforeDrop = 3;
    // Records stamped further ahead of this machine's clock are skipped.
    static constexpr qint64 kFutureToleranceMs = 24LL * 3600 * 1000;

    SyncImporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);
    void setClock(std::function<qint64()> nowMs) { m_now = std::move(nowMs); }

    struct Result {
        // Rows changed or deleted per table, for the main context to take in.
        QHash<QString, QList<qint64>> changedRows;
        QHash<QString, QList<qint64>> deletedRows;
        int segments = 0;
        int records = 0;
        std::optional<SyncFailure> failure;
        QVariantMap partialErrors; // record id -> reason, for records that were refused
        bool hasChanges() const { return !changedRows.isEmpty() || !deletedRows.isEmpty(); }
    };
    Result importChanges();

private:
    enum class Outcome { Applied, Retry, Stop };
    Outcome importSegment(const QString &device, quint64 number, bool laterExists, Result &result);
    void applyRecord(const QString &device, const QJsonObject &record, Result &result);
    void applyEntity(const SyncEntity &entity, const QString &id, const QString &op, const SyncStamp &stamp,
                     const QJsonObject &record, Result &result);
    void applyLink(const QString &id, bool linked, const SyncStamp &stamp, Result &result);
    // Links that arrived before their item or category.
    void applyWaitingLinks(const SyncEntity &entity, const QString &id, Result &result);
    bool setLink(const QString &itemId, const QString &categoryId, bool linked, Result &result);

    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    std::function<qint64()> m_now;
    QHash<QString, int> m_attempts;
};
