#pragma once
// The stored item records as every part of the history manager reaches them: the main history's
// two lists (pinned, then the others), look-ups by id, content hash and category, a new copy
// stored and a repeat bumped, records deleted, and a save asked for after a change. Any thread
// (the store's context is locked).

#include "capture/SaveScheduler.h"
#include "core/PBCategory.h"
#include "core/PBItem.h"
#include "core/store/CoreDataManager.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"

#include <QDateTime>
#include <QList>
#include <QMultiHash>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class PBCategoryManager;

extern const QString kIsSticky;
extern const QString kModifiedAt;
extern const QString kUuid;

Predicate notSticky();
// Selects these records and no other.
Predicate exactly(const QList<std::shared_ptr<PBItemRecord>> &records);

class HistoryRecords {
public:
    using RecordPtr = std::shared_ptr<PBItemRecord>;
    // Category records by id, as one batch found them.
    using CategoryRecords = QMultiHash<QString, std::shared_ptr<PBCategoryRecord>>;

    HistoryRecords(PBCategoryManager &categoryManager, SaveScheduler &saveScheduler);
    HistoryRecords(const HistoryRecords &) = delete;
    HistoryRecords &operator=(const HistoryRecords &) = delete;

    // The item records; the two lists as they are (see ensureListsFresh()).
    CoreDataManager<PBItemRecord> &storage() { return m_storage; }
    PBCategoryManager &categoryManager() const { return m_categoryManager; }

    // The lists are rebuilt, in their default order, when they are next read.
    void refreshLists();
    void ensureListsFresh();
    // Rebuilds them now, the unpinned one in this order.
    void reloadLists(const SortKey &order);
    // Asks for a save of the pending changes.
    void changed();

    // Null when there is no such record, or when the store could not be read (`readFailed`).
    RecordPtr recordFor(const PBItem &item, bool *readFailed = nullptr);
    std::shared_ptr<PBCategoryRecord> categoryRecord(const QString &id);
    // The items of the records, those that cannot be read left out (and logged).
    QList<PBItem> itemsOf(const QList<RecordPtr> &records, bool withPayload = false);
    // The stored item with this hash: pinned first, else the newest.
    std::optional<PBItem> findItem(const QString &hash);
    // The whole item of a listed one; as given, with `readFailed` set, when the store cannot be read.
    PBItem loadFullItem(const PBItem &item, bool *readFailed);

    // Stores a new item; false, logged, when there is no category record to file it under.
    bool add(const PBItem &item);
    // The same filed under the records found in (or added to) `categoryRecords`; false, unlogged,
    // when there is none to file it under.
    bool add(const PBItem &item, CategoryRecords &categoryRecords);
    // Moves the item's modification time to `at` (never back, never for a pinned one) and
    // attaches the category; false when the record is gone.
    bool update(const PBItem &item, const std::optional<PBCategory> &activeCategory, const QDateTime &at);
    // Deletes the records from the store at once; false (nothing deleted) on a store error.
    bool removeRecords(const QList<RecordPtr> &records);
    // Deletes the records the predicate selects (all without one) in the store at once, none of
    // them read; the number deleted, or absent (nothing deleted) on a store error.
    std::optional<qsizetype> removeWhere(const std::optional<Predicate> &predicate);

private:
    PBCategoryManager &m_categoryManager;
    SaveScheduler &m_saveScheduler;
    CoreDataManager<PBItemRecord> m_storage;
    CoreDataManager<PBPasteboardDataRecord> m_pasteboardStorage;
    std::atomic<bool> m_listsStale{true};
};
