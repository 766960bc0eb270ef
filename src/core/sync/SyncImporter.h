#pragma once
// Reads other devices' segments from the sync folder, past this store's cursor for each device,
// and merges them: last writer wins per attribute on (time, device); a deletion is final for its
// record unless the record is inserted anew later; links travel as added or removed pairs; an
// edit of a record not seen yet waits in its stamps until the record arrives. A device's snapshot
// stands in for the segments it covers when they are gone (or on a first import). A record whose
// blobs have not arrived waits until they do. A deletion or a link change made here and not
// exported yet stays: it goes out stamped later than what arrives meanwhile, which only adds to
// the stamps. A segment that is missing, partial or not ours yet
// is waited for: only once it has stayed unchanged (size, times, content) for kGiveUpMs while a
// later file of its device opens are the later ones read past it, and it is then remembered and
// read when it changes, or when a snapshot that covers it arrives. One that is sealed but
// malformed is dropped with a log line. Work is done in rounds of bounded size, each in short
// transactions; every round either makes progress or ends. The next file of a device is read and
// opened on a thread of its own while the one before it is applied. Sync engine thread.

#include "core/sync/SyncBlobs.h"
#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"
#include "core/sync/SyncRecords.h"
#include "core/sync/SyncSegment.h"

#include <QHash>
#include <QMap>
#include <QVariantMap>

#include <functional>
#include <memory>

class SerialQueue;

class SyncImporter {
public:
    // How long a segment that cannot be opened stays unchanged, with a later file of its device
    // that opens, before the later ones are read past it.
    static constexpr qint64 kGiveUpMs = 10 * 60 * 1000;
    // Records stamped further ahead of this machine's clock are skipped.
    static constexpr qint64 kFutureToleranceMs = 24LL * 3600 * 1000;
    // Records applied per round (more segments wait for the next round), records read ahead of
    // the store's lock, and how long one transaction may hold it: that much of this thread's own
    // work, and at most the longer time by the clock. (Bounded by the clock alone, a transaction
    // on a busy machine holds a few records, and the import spends its share of the processor
    // committing.)
    static constexpr int kRecordsPerRound = 5000;
    static constexpr int kRecordsPerTransaction = 1000;
    static constexpr qint64 kTransactionMs = 40;
    static constexpr qint64 kTransactionClockMs = 200;
    // Blob bytes read ahead of one transaction.
    static constexpr qint64 kBlobBytesPerTransaction = 64 * 1024 * 1024;

    SyncImporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);
    ~SyncImporter(); // waits for a file being read ahead
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
    // The device's files: the numbers of its segments and of its snapshots, ascending.
    struct Files {
        QList<quint64> segments;
        QList<quint64> snapshots;
    };
    Outcome importSegment(const QString &device, quint64 number, const Files &files, Result &result);
    // Waits for a segment that cannot be opened, or reads past it once it has been given up on.
    Outcome waitFor(const QString &device, quint64 number, const std::optional<QByteArray> &bytes, const Files &files);
    // Whether a file opens with the key at its place: sealed, whole, by a holder of the key.
    bool opens(const QString &device, const QString &name, qint64 cap) const;
    // The newest snapshot numbered `from` or above whose manifest opens.
    Outcome importSnapshot(const QString &device, const QList<quint64> &snapshots, quint64 from, int recordBudget,
                           Result &result);
    Outcome applySnapshot(const QString &device, quint64 number, int parts, int recordBudget, Result &result);
    // Segments read past (number -> file version when given up on), persisted per device.
    QMap<quint64, QByteArray> skipped(const QString &device);
    void setSkipped(const QString &device, const QMap<quint64, QByteArray> &skipped);
    void retrySkipped(const QString &device, const Files &files, int recordBudget, Result &result);
    // Whether a state (of a file, usually) differs from the one last logged under the key: each
    // state is logged once, not on every round.
    bool isNews(const QString &key, const QByteArray &state);
    // Applies records in short transactions; `finish` runs in the last one (cursor, progress).
    bool applyRecords(const QString &device, const QJsonArray &records, const std::function<void()> &finish,
                      Result &result);
    void retryWaiting(Result &result);
    // Reads the blobs a record refers to; false (with the state) when one is missing or damaged.
    bool fetchBlobs(const QString &device, const QJsonObject &record, SyncRecords::BlobContents &blobs,
                    SyncBlobs::State *state);
    // A segment or snapshot part, read and opened; the one read ahead when it is that file and
    // opened (a file that did not open is read again: it may have been whole meanwhile).
    struct OpenedFile {
        std::optional<QByteArray> bytes;
        std::optional<QJsonObject> content;
        SyncSegment::OpenError error = SyncSegment::OpenError::Unreadable;
    };
    OpenedFile openFile(const QString &device, const QString &name);
    static OpenedFile readAndOpen(const SyncFolder &folder, const SyncKey &key, const QString &device,
                                  const QString &name);
    void readAhead(const QString &device, const QString &name);

    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    SyncBlobs m_blobs;
    std::function<qint64()> m_now;
    struct Unopened {
        QByteArray version; // file version and content hash
        qint64 since = 0;   // when it was first seen so
    };
    QHash<QString, Unopened> m_unopened; // by device/name
    QHash<QString, QByteArray> m_logged;
    qint64 m_waitingAfter = 0; // where the next retry of waiting records starts
    struct Ahead;
    std::shared_ptr<Ahead> m_ahead;        // the file being read ahead, if any
    std::unique_ptr<SerialQueue> m_reader; // last: joined before the folder and key may go
};
