#pragma once
// Compaction of this device's files in the sync folder. Now and then (when the segments since the
// last snapshot pass a count, or outgrow it) the device writes a snapshot: every value, deletion
// and link it is the latest writer of, with their own times, in sealed parts and then a manifest
// that names the segment it reaches to. Others read it in place of those segments. The files it
// replaces (older segments, snapshots and blobs) go only after a grace period, so a peer that is
// reading them finishes, and one that is behind simply reads the snapshot. Compaction is what
// keeps the folder within its byte budget, so it is not refused for passing it for a while (the
// disk's free space is still checked). Sync engine thread.

#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"

#include <QSet>

#include <functional>

class SyncSnapshots {
public:
    // A snapshot is due after this many segments, or once they outgrow the last snapshot
    // (and at least kMinimumBytes).
    static constexpr int kSegmentsPerSnapshot = 64;
    static constexpr qint64 kMinimumBytes = 4 * 1024 * 1024;
    // Records and plain bytes per part.
    static constexpr int kRecordsPerPart = 2000;
    static constexpr qint64 kBytesPerPart = 8 * 1024 * 1024;
    // How long replaced files stay for peers that are reading them.
    static constexpr qint64 kGraceMs = 10 * 60 * 1000;

    SyncSnapshots(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);
    void setClock(std::function<qint64()> nowMs) { m_now = std::move(nowMs); }
    void setRecordsPerPart(int records) { m_recordsPerPart = records; }

    // Counts only the segments this device wrote (up to its last one).
    bool isDue();
    struct Result {
        quint64 number = 0; // the snapshot written (0: none)
        int records = 0;
        int removed = 0; // files removed by the clean-up
        std::optional<SyncFailure> failure;
    };
    // Writes a snapshot when one is due and nothing waits to be exported; then removes what an
    // earlier snapshot replaced once its grace period is over.
    Result compact();
    // Writes a snapshot of everything exported so far (nothing when changes wait to be exported).
    Result write();
    // Removes the files the latest snapshot replaced, once its grace period is over.
    int cleanUp();

private:
    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    int m_recordsPerPart = kRecordsPerPart;
    std::function<qint64()> m_now;
    QSet<quint64> m_foreign; // files numbered past our last segment, told once
};
