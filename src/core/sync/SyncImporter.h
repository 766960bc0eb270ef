#pragma once
// Reads other devices' segments from the sync folder, past this store's cursor for each device,
// and merges them: last writer wins per attribute on (time, device); a deletion is final for its
// record unless the record is inserted anew later; links travel as added or removed pairs; an
// edit of a record not seen yet waits in its stamps until the record arrives. A device's snapshot
// stands in for the segments it covers when they are gone (or on a first import). A record whose
// blobs have not arrived waits until they do. A segment that is missing, partial or not ours yet
// is retried later; one that stays unreadable behind later ones, or that is malformed, is dropped
// with a log line. Work is done in rounds of bounded size, each in short transactions. Sync
// engine thread.

#include "core/sync/SyncBlobs.h"
#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"
#include "core/sync/SyncRecords.h"

#include <QHash>
#include <QVariantMap>

#include <functional>

class SyncImporter {
public:
    // Attempts before a segment that cannot be opened, with later ones behind it, is dropped.
    static constexpr int kAttemptsBeforeDrop = 3;
    // Records stamped further ahead of this machine's clock are skipped.
    static constexpr qint64 kFutureToleranceMs = 24LL * 3600 * 1000;
    // Records applied per round (more segments wait for the next round), records read ahead of
    // the store's lock, and how long one transaction may hold it.
    static constexpr int kRecordsPerRound = 5000;
    static constexpr int kRecordsPerTransaction = 1000;
    static constexpr qint64 kTransactionMs = 40;
    // Blob bytes read ahead of one transaction.
    static constexpr qint64 kBlobBytesPerTransaction = 64 * 1024 * 1024;

    SyncImporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);
    void setClock(std::function<qint64()> nowMs) { m_now = std::move(nowMs); }

    struct Result {
        // Rows changed or deleted per table, for the main context to take in.
        QHash<QString, QList<qint64>> changedRows;
        QHash<QString, QList<qint64>> deletedRows;
        int segments = 0;
        int records = 0;
        bool more = false; // the round ended with files still to read
        std::optional<SyncFailure> failure;
        QVariantMap partialErrors; // record id -> reason, for records that were refused
        bool hasChanges() const { return !changedRows.isEmpty() || !deletedRows.isEmpty(); }
        // Adds the rows and refusals of a committed transaction.
        void takeChanges(const Result &applied);
    };
    Result importChanges(int recordBudget = kRecordsPerRound);

private:
    enum class Outcome { Applied, Retry, Stop };
    Outcome importSegment(const QString &device, quint64 number, bool laterExists, Result &result);
    Outcome importSnapshot(const QString &device, quint64 number, int recordBudget, Result &result);
    // Applies records in short transactions; `finish` runs in the last one (cursor, progress).
    bool applyRecords(const QString &device, const QJsonArray &records, const std::function<void()> &finish, Result &result);
    void retryWaiting(Result &result);
    // Why a record must be refused, or nothing when it is well formed.
    std::optional<QString> refusal(const QJsonObject &record) const;
    void applyRecord(const QString &device, const QJsonObject &record, const SyncRecords::BlobContents &blobs, Result &result);
    void applyEntity(const SyncEntity &entity, const QString &id, const QString &op, const SyncStamp &stamp,
                     const QJsonObject &record, const SyncRecords::BlobContents &blobs, Result &result);
    void applyLink(const QString &id, bool linked, const SyncStamp &stamp, Result &result);
    // Links that arrived before their item or category.
    void applyWaitingLinks(const SyncEntity &entity, const QString &id, Result &result);
    bool setLink(const QString &itemId, const QString &categoryId, bool linked, Result &result);
    // Whether newer stamps have replaced all a waiting record would write.
    bool isSuperseded(const QString &device, const QJsonObject &record);
    // Reads the blobs a record refers to; false (with the state) when one is missing or damaged.
    bool fetchBlobs(const QString &device, const QJsonObject &record, SyncRecords::BlobContents &blobs, SyncBlobs::State *state) const;
    void wait(const QString &device, const QJsonObject &record);

    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    SyncBlobs m_blobs;
    std::function<qint64()> m_now;
    QHash<QString, int> m_attempts;
};
