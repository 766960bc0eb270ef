#pragma once
// The history store of the application: watches the general pasteboard, turns each new copy into
// a de-duplicated history item, keeps the stored history and answers every query and change on
// it. One shared instance; tests make their own on an in-memory pasteboard and workspace. The work
// is done by collaborators, each with one job: PasteboardCapture (capture batches), HistoryQueries
// (lists, counts, search), HistoryCopyOut, HistoryEdits, HistoryClearing (deleting, clearing,
// auto-clean) and HistoryNotes, over HistoryRecords (the stored records they share).
//
// Threads: the poll and the item pipeline run on the serial capture queue "com.tavi.pbQueue";
// everything else may be called from any thread (the store's context is locked). Notifications
// are always posted, and problems() signalled, on the main thread. The capture queue never waits for the main thread.

#include "capture/HistoryProblems.h"
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

class HistoryClearing;
class HistoryCopyOut;
class HistoryEdits;
class HistoryNotes;
class HistoryQueries;
class HistoryRecords;
class PasteboardCapture;
class PBCategoryManager;
class QTimer;
class TaviSettings;
class UnreadableSettingNotice;

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
        ListQuery query{};
        QList<QUuid> uuids{};
        QList<std::pair<int, int>> runs{};
        QList<std::pair<QUuid, QUuid>> anchors{};
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
    bool isPaused() const;
    void setPaused(bool paused);
    bool isProcessing() const;
    qint64 lastChangeCount() const;
    bool needIgnoreFromSelfCopy() const;
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
    bool isPolling() const;
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
    void updateComment(const PBItem &item, const std::optional<QString> &comment,
                       const std::function<void()> &completion = {});
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
    // The same on the clear queue, so that the GUI thread never waits for the deletion.
    void autoCleanHistoryInBackground();
    void getAutoCleanCandidates(const ItemsCompletion &completion);

    // --- Notes (main thread)
    PBItem addNote(const QString &title, const QString &body);
    void updateNote(const PBItem &item);

    // --- Lost copies
    // The copies not recorded since this manager started: replaced by a newer one before they
    // could be read, given up because their program did not answer or stopped sending them, or
    // come faster than they could be taken. Each loss is logged and announced with the new total
    // (problems().copiesLost); the first of each cause is told the user. Any thread.
    qint64 lostCopyCount() const;

    // --- Problems
    // Where the user is told of the history's problems (a failed save or read, lost copies, an
    // unreadable setting), each cause once. Any thread; its signals come on the main thread.
    HistoryProblems &problems() { return m_problems; }

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
    Pasteboard &m_pasteboard;
    PBCategoryManager &m_categoryManager;
    TaviSettings &m_settings;

    HistoryProblems m_problems;
    HistorySaver m_saver;
    SaveScheduler m_saveScheduler;
    std::unique_ptr<UnreadableSettingNotice> m_unreadableSettings;
    std::unique_ptr<HistoryRecords> m_records;
    std::unique_ptr<PasteboardCapture> m_capture;
    std::unique_ptr<HistoryQueries> m_queries;
    std::unique_ptr<HistoryCopyOut> m_copyOut;
    std::unique_ptr<HistoryEdits> m_edits;
    std::unique_ptr<HistoryClearing> m_clearing;
    std::unique_ptr<HistoryNotes> m_notes;
};
