#pragma once
// The history store of the application: watches the general pasteboard, turns each new copy into
// a de-duplicated history item, keeps the stored history and answers every query and change on
// it. One shared instance; tests make their own on an in-memory pasteboard and workspace.
//
// Threads: the poll and the item pipeline run on the serial capture queue "com.tavi.pbQueue";
// everything else may be called from any thread (the store's context is locked). Notifications
// are always posted on the main thread. The capture queue never waits for the main thread.

#include "capture/HistorySaver.h"
#include "capture/PBItemPipeline.h"
#include "capture/PBNote.h"
#include "capture/PBSearchFilter.h"
#include "capture/PasteboardProcessResult.h"
#include "capture/RecordSorter.h"
#include "capture/SaveScheduler.h"
#include "core/PBCategory.h"
#include "core/PBItem.h"
#include "core/store/CoreDataManager.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "platform/DispatchQueue.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QList>
#include <QMap>
#include <QMultiHash>
#include <QString>

#include <atomic>
#include <deque>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class PBCategoryManager;
class QTimer;

class TaviPBManager {
public:
    using ItemsCompletion = std::function<void(const QList<PBItem> &)>;

    // What one history list shows: the items of a category (every item without one, or for All),
    // pinned first and newest first, then the others in `order`; with a search, only its matches.
    // A list passes its own search here; the shared filter() is never read. An empty order key
    // means newest first.
    struct ListQuery {
        std::optional<PBCategory> category;
        std::optional<PBSearchFilter> search;
        SortDescriptor order{QStringLiteral("modifiedAt"), false};
    };
    // Rows of a list named for a delete: the ids of the items known, and runs (first row, count)
    // of the list's rows whose items are not, found in the store when deleted. Per run, the ids
    // of the items the list showed just before and after it (null when it did not know them):
    // when the store has other items there, the list has moved since and nothing is deleted.
    struct ListRows {
        ListQuery query;
        QList<QUuid> uuids;
        QList<std::pair<int, int>> runs;
        QList<std::pair<QUuid, QUuid>> anchors;
    };
    // Category id -> the items of a batch filed under it (each item once per id).
    using ItemsByCategory = QMap<QString, QList<PBItem>>;

    // What clearItems(in:...) spares unless included.
    struct ClearOptions {
        bool includeSticky = false;
        bool includeNotes = false;
        bool includeLock = false;
        bool includeCustom = false;
    };

    // Made on first use and never destroyed: shutDown() stops it before the program ends.
    static TaviPBManager &shared();

    // A manager on these backends and the shared store. The first change count seen is the
    // pasteboard's current one: what is on it now is never recorded.
    TaviPBManager(Pasteboard &pasteboard, Workspace &workspace, PBCategoryManager &categoryManager);
    ~TaviPBManager();
    TaviPBManager(const TaviPBManager &) = delete;
    TaviPBManager &operator=(const TaviPBManager &) = delete;

    // --- State (any thread)
    Pasteboard &pasteboard() const { return m_pasteboard; }
    std::optional<PBSearchFilter> filter() const;
    void setFilter(std::optional<PBSearchFilter> filter);
    bool isPaused() const { return m_isPaused.load(); }
    void setPaused(bool paused) { m_isPaused.store(paused); }
    bool isProcessing() const { return m_isProcessing.load(); }
    qint64 lastChangeCount() const { return m_lastChangeCount.load(); }
    bool needIgnoreFromSelfCopy() const { return m_needIgnoreFromSelfCopy.load(); }
    // The item records; the two lists are brought up to date before they are handed out.
    CoreDataManager<PBItemRecord> &storage();
    PBCategoryManager &categoryManager() const { return m_categoryManager; }
    // Asked after each batch, on the capture thread, with the copied files of the change (not when
    // it copied no file); a folder path it returns is posted as "needCheckAuthorize" on the main
    // thread. The shell sets it before monitoring starts. Main thread.
    void setFolderAuthorizationCheck(std::function<std::optional<QString>(const QList<PasteboardItem> &)> check);

    // --- Capture (poll: capture queue)
    // Each pasteboard change starts a batch at once; a pasteboard that is not told of its
    // changes is polled on the main loop instead (every `fallback`). Main thread.
    void startMonitoring(std::chrono::milliseconds fallback = std::chrono::milliseconds(250));
    void stopMonitoring();
    // Whether the fallback poll runs. Main thread.
    bool isPolling() const { return m_timer != nullptr; }
    // One poll: every change since the last one, in order. Runs on the capture queue (waits for
    // it when called elsewhere). Never from the main thread's context lock.
    void retreivePasteboardInfo();
    std::optional<RunningApplication> getCurrentActiveApp();
    // Calls the completion exactly once, before it returns, on the calling thread.
    void processPasteboardItem(const PasteboardItem &item, const std::optional<RunningApplication> &app,
                               const std::function<void(const PasteboardProcessResult &)> &resultCompletion);
    // The stored item with this hash: pinned first, else the newest. Ignores the search.
    std::optional<PBItem> findItem(const QString &hash);

    // --- Storing
    // False when nothing was stored (no category record to file it under).
    bool add(const PBItem &item);
    // A batch saves what is pending after this many items, however many it holds; copies made
    // meanwhile with fewer items are taken after every kInterleaveEveryItems of them.
    static constexpr qsizetype kSaveEveryItems = 500;
    static constexpr qsizetype kInterleaveEveryItems = 100;
    // Bumps the stored item's modification time (unless pinned) and attaches the category.
    // False when the item's record is gone.
    bool update(const PBItem &item, const std::optional<PBCategory> &activeCategory);

    // --- Queries
    // Sets the order of the main list (the pinned list keeps its own).
    void reloadRecords(RecordSorter sorter, bool ascending);
    // Every item: pinned first, then the main list's order.
    QList<PBItem> getAllItems();
    // A page of getAllItems() without converting the rest; and the number of items.
    QList<PBItem> getItemsPage(qsizetype offset, qsizetype limit);
    qsizetype itemCount();
    // The number of items getItems(category:useFilter:false) lists, counted in the store's indexes.
    qsizetype itemCount(const PBCategory &category);
    // Without search: before returning. With useFilter and an active search: on the main thread.
    void getItems(PBDefaultCategory categoryType, bool useFilter, const ItemsCompletion &completion);
    void getItems(const PBCategory &category, bool useFilter, const ItemsCompletion &completion);
    // A page of the search's matches over the whole history (pinned first, then newest) and
    // their number, without reading the other matches; nothing for an empty search. Any thread.
    QList<PBItem> getFilterItemsPage(const PBSearchFilter &filter, qsizetype offset, qsizetype limit);
    qsizetype filterItemCount(const PBSearchFilter &filter);
    // A page of a list's rows, and their number, read from the store without the other rows. Any thread.
    QList<PBItem> getItemsPage(const ListQuery &query, qsizetype offset, qsizetype limit);
    qsizetype itemCount(const ListQuery &query);
    void getFilterItems(PBDefaultCategory categoryType, const ItemsCompletion &completion);
    void getFilterItems(const PBCategory &category, const ItemsCompletion &completion);
    // The whole item (stored representations included) of a listed one; lists leave them out.
    // When the store cannot be read the item comes back as given and `readFailed` says so.
    PBItem loadFullItem(const PBItem &item, bool *readFailed = nullptr);

    // --- Copy-out (main thread)
    // False, with the clipboard left as it was and the user told, when an item's stored data
    // could not be read.
    bool copy(const QList<PBItem> &items, const std::optional<PBCategory> &category);
    // Absent for an item without a payload; also when its stored data could not be read, which
    // `readFailed` then tells.
    std::optional<PasteboardItem> getPasteboardItem(const PBItem &item, const std::optional<PBCategory> &category,
                                                    bool *readFailed = nullptr);
    // What a drag of the items out of a list carries: what copy() would put on the clipboard,
    // under the same MIME names; none (the user told) when an item could not be read. Neither
    // the clipboard nor the copy-out count changes.
    std::unique_ptr<QMimeData> mimeDataForDrag(const QList<PBItem> &items, const std::optional<PBCategory> &category);

    // --- Edits (completions run before returning; not run when the item is gone)
    void updateComment(const PBItem &item, const std::optional<QString> &comment, const std::function<void()> &completion = {});
    void updateText(const PBItem &item, const QString &text, const std::function<void()> &completion = {});
    void stickItem(const PBItem &item, bool is_sticky, const std::function<void()> &completion = {});
    void addItem(const PBItem &item, const PBCategory &to);
    void addItems(const QList<PBItem> &items, const PBCategory &to);
    void removeItem(const PBItem &item, const PBCategory &from);
    void removeCategoryFromAllItems(const PBCategory &category);

    // --- Deleting and clearing
    void deleteItem(const PBItem &item);
    void deleteItems(const QList<PBItem> &items);
    // The items with these ids, in one store transaction and one announcement; ids no longer
    // stored are passed over. Any thread.
    void deleteItems(const QList<QUuid> &uuids);
    void deleteItems(const ListRows &rows);
    void clearAllItems(bool withNotes);
    void clearItems(const PBCategory &in, const ClearOptions &options);
    // The same, on a queue of the manager's own, so a large history never holds the caller; a
    // clear under way when the manager shuts down is finished first. `done` runs on that queue.
    void clearAllItemsInBackground(bool withNotes);
    void clearItemsInBackground(const PBCategory &in, const ClearOptions &options, std::function<void()> done = {});
    void clearHistoryItems(const QList<PBItem> &items);

    // --- Auto-clean
    void autoCleanHistory();
    void getAutoCleanCandidates(const ItemsCompletion &completion);

    // --- Notes (main thread)
    PBItem addNote(const QString &title, const QString &body);
    void updateNote(const PBItem &item);

    // --- Lost copies
    // The copies not recorded since this manager started: replaced by a newer one before they
    // could be read, given up because their program did not answer or stopped sending them, or
    // come faster than they could be taken. Each loss is logged and announced with the new total
    // ("historyCopiesLost"); the first of each cause is told the user. Any thread.
    qint64 lostCopyCount() const { return m_lostCopies.load(); }

    // --- Saving
    // Saves the pending changes now (termination, SIGTERM, the end of the session); false when
    // that failed (a retry stays scheduled). A failed save is told to the user once per cause.
    // Any thread.
    bool saveNow();
    // Stops for good: no more pasteboard changes are taken, a copy in progress stops at its next
    // item (what it took is kept), the capture queue is stopped, and pending changes are written.
    // At quit, before the history is saved; the destructor calls it. Main thread.
    void shutDown();
    // The items whose changes are not written yet. Any thread.
    int unsavedItemCount() const { return m_saver.unsavedItemCount(); }
    SaveScheduler &saveScheduler() { return m_saveScheduler; }

private:
    using RecordPtr = std::shared_ptr<PBItemRecord>;
    // Category records by id, as one batch found them.
    using CategoryRecords = QMultiHash<QString, std::shared_ptr<PBCategoryRecord>>;
    enum class LossCause { Replaced, NoAnswer, NotTaken };

    void processBatch();
    // Moves the changes recorded since the last look onto `waiting`, counting those let go.
    void takeNewChanges(std::deque<PasteboardChange> &waiting);
    // Takes the changes made meanwhile and stores the small ones now.
    void takeSmallChangesMeanwhile(std::deque<PasteboardChange> &waiting);
    void processChange(const PasteboardChange &change, std::deque<PasteboardChange> &waiting);
    // Stores a new item filed under the records found in (or added to) `categoryRecords`; false,
    // unlogged, when there is none to file it under.
    bool add(const PBItem &item, CategoryRecords &categoryRecords);
    bool update(const PBItem &item, const std::optional<PBCategory> &activeCategory, const QDateTime &at);
    void noteLostCopies(LossCause cause, qint64 count);
    void schedulePoll();
    void refreshLists();
    void ensureListsFresh();
    std::optional<PBCategory> activeCategory() const;
    // The list's pinned or unpinned records; absent when the query can match nothing.
    std::optional<FetchRequest<PBItemRecord>> listRequest(const ListQuery &query, bool sticky);
    // When fetched records read their values: with the fetch, or each on its first use.
    enum class RecordValues { WithFetch, OnFirstUse };
    // The records of a page of getItemsPage(query...), without their items.
    QList<RecordPtr> listRecordsPage(const ListQuery &query, qsizetype offset, qsizetype limit,
                                     RecordValues values = RecordValues::WithFetch);
    // Null when there is no such record, or when the store could not be read (`readFailed`).
    RecordPtr recordFor(const PBItem &item, bool *readFailed = nullptr);
    std::shared_ptr<PBCategoryRecord> categoryRecord(const QString &id);
    // Every record auto-clean may take, in the default order (pinned first, then newest).
    FetchRequest<PBItemRecord> autoCleanRequest();
    // Tells the user once per setting that its stored value cannot be read, and what follows
    // (the text under `consequence`, naming the setting). Any thread.
    void tellUnreadableSetting(const QString &key, const char *consequence);
    // Tells the user once when the size limit for new copies is on but cannot be read.
    void tellIfSizeLimitIsUnreadable();
    QList<PBItem> itemsOf(const QList<RecordPtr> &records, bool withPayload = false);
    QList<PBDefaultCategory> sparedKinds(bool includeLock, bool includeCustom, bool includeNotes) const;
    // The pasteboard items of a copy-out: the last item first, items without data left out;
    // none, the user told, when an item's stored data could not be read.
    std::optional<QList<PasteboardItem>> pasteboardItems(const QList<PBItem> &items, const std::optional<PBCategory> &category);
    // Deletes the records from the store at once; false (nothing deleted) on a store error.
    bool removeRecords(const QList<RecordPtr> &records);
    // Deletes the records of these items and tells the interface: each item, then the clear.
    void discard(const QList<RecordPtr> &records, const QList<PBItem> &items);
    // Records filed under some category of these kinds; absent when there is no such category.
    std::optional<Predicate> filedUnder(const QList<PBDefaultCategory> &kinds);
    // Records filed under no category of these kinds; absent when nothing is filed so.
    std::optional<Predicate> notFiledUnder(const QList<PBDefaultCategory> &kinds);
    // The items of the records the predicate selects that may hold a file, for their bookmarks.
    QList<PBItem> fileItemsAmong(const std::optional<Predicate> &predicate);
    void removeBookmarks(const QList<PBItem> &items);
    // Files the item's record under the category or takes it out, and tells the interface.
    bool retag(const PBItem &item, const PBCategory &category, bool adding, const char *function);
    void postOnMain(const QString &name, const QVariantMap &userInfo = {});
    void changed();

    Pasteboard &m_pasteboard;
    Workspace &m_workspace;
    PBCategoryManager &m_categoryManager;

    mutable std::mutex m_filterMutex;
    std::optional<PBSearchFilter> m_filter;
    std::atomic<bool> m_isPaused{false};
    std::atomic<bool> m_isProcessing{false};
    std::atomic<bool> m_shuttingDown{false}; // a copy in progress stops at its next item
    std::atomic<qint64> m_lastChangeCount{-1};
    std::atomic<bool> m_needIgnoreFromSelfCopy{false};
    std::atomic<bool> m_listsStale{true};
    std::atomic<bool> m_pollQueued{false};
    std::function<std::optional<QString>(const QList<PasteboardItem> &)> m_folderAuthorizationCheck;

    CoreDataManager<PBItemRecord> m_storage;
    CoreDataManager<PBPasteboardDataRecord> m_pasteboardStorage;
    HistorySaver m_saver;
    SaveScheduler m_saveScheduler;
    ToldOnce m_toldSettings; // unreadable settings the user was told about
    ToldOnce m_toldLosses;   // causes of lost copies the user was told about
    std::atomic<qint64> m_lostCopies{0};
    std::unique_ptr<QTimer> m_timer;
    SerialQueue m_pbQueue{QStringLiteral("com.tavi.pbQueue")};
    SerialQueue m_clearQueue{QStringLiteral("com.tavi.clearQueue")};
};
