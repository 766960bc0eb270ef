#pragma once
// Writes this device's logged store changes to the sync folder as sealed segments: the changes of
// a burst go out together (at most kMaxRecords records per segment), each record stamped with a
// time later than every stamp its attributes had, so a local edit wins over what it replaced.
// Sync engine thread.

#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"

class SyncExporter {
public:
    static constexpr int kMaxRecords = 2000;
    static constexpr qint64 kMaxSegmentBytes = 32 * 1024 * 1024;

    SyncExporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);
    void setBudget(qint64 bytes) { m_budget = bytes; }

    struct Result {
        int segments = 0;
        int records = 0;
        std::optional<SyncFailure> failure;
        QStringList skipped; // ids of records too large to travel
    };
    // Exports everything logged so far. On a failure the unwritten changes stay logged.
    Result exportChanges();

private:
    bool exportOne(Result &result);

    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    qint64 m_budget = 0;
};
