#pragma once
// Taking items out of the history: deleting the ones a list names (by id, or by their rows),
// clearing a category or everything but what the user spares, and the auto-clean by the
// history's size or age. Each removal is one store transaction, drops the bookmarks of the files
// it removed, and is announced after it succeeded. Any thread; the background clears run on a
// queue of their own, "com.tavi.clearQueue".

#include "capture/HistoryRecords.h"
#include "capture/SlicedAnnouncements.h"
#include "capture/TaviPBManager.h"
#include "platform/DispatchQueue.h"

class HistoryQueries;
class TaviSettings;
class UnreadableSettingNotice;

class HistoryClearing {
public:
    using ClearOptions = TaviPBManager::ClearOptions;
    using ListRows = TaviPBManager::ListRows;

    HistoryClearing(TaviSettings &settings, HistoryRecords &records, HistoryQueries &queries,
                    UnreadableSettingNotice &unreadableSettings);

    void deleteItem(const PBItem &item);
    void deleteItems(const QList<PBItem> &items);
    void deleteItems(const QList<QUuid> &uuids);
    void deleteItems(const ListRows &rows);
    void clearAllItems(bool withNotes);
    void clearItems(const PBCategory &in, const ClearOptions &options);
    void clearAllItemsInBackground(bool withNotes);
    void clearItemsInBackground(const PBCategory &in, const ClearOptions &options, std::function<void()> done);
    // Finishes a clear under way and takes no more.
    void finishBackgroundClears();
    void clearHistoryItems(const QList<PBItem> &items);

    void autoCleanHistory();
    void autoCleanHistoryInBackground();
    void getAutoCleanCandidates(const TaviPBManager::ItemsCompletion &completion);

private:
    using RecordPtr = HistoryRecords::RecordPtr;

    QList<PBDefaultCategory> sparedKinds(bool includeLock, bool includeCustom, bool includeNotes) const;
    // Records filed under some category of these kinds; absent when there is no such category.
    std::optional<Predicate> filedUnder(const QList<PBDefaultCategory> &kinds);
    // Records filed under no category of these kinds; absent when nothing is filed so.
    std::optional<Predicate> notFiledUnder(const QList<PBDefaultCategory> &kinds);
    // The items of the records the predicate selects that may hold a file, for their bookmarks.
    QList<PBItem> fileItemsAmong(const std::optional<Predicate> &predicate);
    void removeBookmarks(const QList<PBItem> &items);
    // The records a list's rows name, found and deleted under one hold of the context; zero when
    // the list moved since (`moved`), absent on a store error.
    std::optional<qsizetype> removeRows(const ListRows &rows, bool &moved);
    // Deletes the records the predicate selects, then the bookmarks of the file items among them
    // (`withFiles`), and announces the clear with this user info; nothing is dropped or announced
    // on a store error.
    void removeAndAnnounce(const char *function, const std::optional<Predicate> &predicate, bool withFiles,
                           const QVariantMap &userInfo);
    // Deletes the records of these items and tells the interface: each item, then the clear, in
    // one hop and over as many turns of the event loop as the listeners need.
    void discard(const QList<RecordPtr> &records, const QList<PBItem> &items);
    // Every record auto-clean may take, in the default order (pinned first, then newest).
    FetchRequest<PBItemRecord> autoCleanRequest();

    TaviSettings &m_settings;
    HistoryRecords &m_records;
    HistoryQueries &m_queries;
    UnreadableSettingNotice &m_unreadableSettings;
    // Every announcement of this class, in the order made; outlives the clear queue's work.
    SlicedAnnouncements m_announcements;
    SerialQueue m_clearQueue{QStringLiteral("com.tavi.clearQueue")};
};
