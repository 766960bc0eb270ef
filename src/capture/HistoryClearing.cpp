#include "capture/HistoryClearing.h"

#include "capture/HistoryAnnouncements.h"
#include "capture/HistoryQueries.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/Log.h"

namespace {
std::optional<Predicate> both(const std::optional<Predicate> &a, const std::optional<Predicate> &b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return *a && *b;
}
} // namespace

HistoryClearing::HistoryClearing(TaviSettings &settings, HistoryRecords &records, HistoryQueries &queries,
                                 UnreadableSettingNotice &unreadableSettings)
    : m_settings(settings),
      m_records(records),
      m_queries(queries),
      m_unreadableSettings(unreadableSettings)
{
}

void HistoryClearing::removeBookmarks(const QList<PBItem> &items)
{
    QList<QUrl> urls;
    for (const PBItem &item : items) {
        if (item.dataProvider()) {
            if (const PBFileItemProvider *file = item.dataProvider()->as<PBFileItemProvider>())
                urls.append(file->url());
        }
    }
    if (!urls.isEmpty())
        TPBookMarkCacher::shared().deleteBookMarks(urls);
}

void HistoryClearing::deleteItem(const PBItem &item)
{
    const char *const function = "deleteItem(item:)";
    LOG_DEBUG(function, QStringLiteral("[-] -> delete item"));
    LOG_DEBUG(function, QStringLiteral("[-] item: ")
                            + (item.dataProvider() ? Log::redacted(item.dataProvider()->representedText())
                                                   : QStringLiteral("nil")));
    const RecordPtr record = m_records.recordFor(item);
    if (!record) {
        LOG_DEBUG(function, QStringLiteral("[-] ! no item found"));
        return;
    }
    m_records.storage().deleteRecord(record);
    m_records.refreshLists();
    removeBookmarks({item});
    m_records.changed();
    LOG_DEBUG(function, QStringLiteral("[-] <- delete done"));
    m_announcements.post(NotificationName::historyItemDidDelete, NotificationPayload::ChangedItem::encode(item));
}

void HistoryClearing::deleteItems(const QList<PBItem> &items)
{
    if (items.size() == 1) {
        deleteItem(items.first());
        return;
    }
    QList<QUuid> uuids;
    uuids.reserve(items.size());
    for (const PBItem &item : items)
        uuids.append(item.uuid());
    deleteItems(uuids);
}

void HistoryClearing::deleteItems(const QList<QUuid> &uuids) { deleteItems(ListRows{{}, uuids, {}, {}}); }

void HistoryClearing::deleteItems(const ListRows &rows)
{
    const char *const function = "deleteItems(items:)";
    qsizetype named = rows.uuids.size();
    for (const auto &run : rows.runs)
        named += std::max(run.second, 0);
    LOG_DEBUG(function, QStringLiteral("[x] -> clear items with count:") + QString::number(named));
    if (named == 1 && rows.uuids.size() == 1) {
        // One item is announced as itself.
        const RecordPtr record = m_records.storage()
                                     .fetch(Predicate::equal(kUuid, rows.uuids.first()))
                                     .value_or(QList<RecordPtr>())
                                     .value(0);
        const QList<PBItem> item = record ? m_records.itemsOf({record}) : QList<PBItem>();
        if (!item.isEmpty())
            deleteItem(item.first());
        return;
    }
    bool moved = false;
    const std::optional<qsizetype> deleted = removeRows(rows, moved);
    if (!deleted) {
        LOG_ERROR(function, QStringLiteral("[x] ! delete failed, the history is unchanged"));
        return;
    }
    if (moved) {
        LOG_WARNING(function, QStringLiteral("[x] ! the list changed under the selection; nothing deleted"));
        return;
    }
    if (*deleted == 0)
        return;
    m_records.refreshLists();
    m_records.changed();
    LOG_DEBUG(function, QStringLiteral("[x] <- deleted: ") + QString::number(*deleted));
    m_announcements.post(NotificationName::historyItemsDidClear);
}

std::optional<qsizetype> HistoryClearing::removeRows(const ListRows &rows, bool &moved)
{
    // The records are found by id and by position, never built into items (only the file items
    // are, for their bookmarks). Reading and deleting hold the context, so nothing can change
    // in between.
    return m_records.storage().context()->performAndWait([&]() -> std::optional<qsizetype> {
        QList<RecordPtr> records;
        if (!rows.uuids.isEmpty()) {
            QVariantList ids;
            ids.reserve(rows.uuids.size());
            for (const QUuid &uuid : rows.uuids)
                ids.append(uuid);
            records += m_records.storage().fetch(Predicate::in(kUuid, ids)).value_or(QList<RecordPtr>());
        }
        for (qsizetype i = 0; i < rows.runs.size(); ++i) {
            const auto &[first, count] = rows.runs.at(i);
            const auto [before, after] = rows.anchors.value(i);
            const int lead = !before.isNull() && first > 0 ? 1 : 0;
            const int tail = after.isNull() ? 0 : 1;
            // Only the neighbours' ids are read; the rest is deleted unread.
            QList<RecordPtr> page = m_queries.listRecordsPage(rows.query, first - lead, count + lead + tail,
                                                              HistoryQueries::RecordValues::OnFirstUse);
            // An item came or went since the list showed these rows: by position, a neighbour
            // of the selection would go.
            if ((lead && (page.isEmpty() || page.first()->uuid() != before))
                || (tail && (page.size() != count + lead + tail || page.last()->uuid() != after))) {
                moved = true;
                return 0;
            }
            records += page.mid(lead, count);
        }
        if (records.isEmpty())
            return 0;
        const QList<PBItem> files = fileItemsAmong(exactly(records));
        if (!m_records.removeRecords(records))
            return std::nullopt;
        removeBookmarks(files);
        return records.size();
    });
}

QList<PBDefaultCategory> HistoryClearing::sparedKinds(bool includeLock, bool includeCustom, bool includeNotes) const
{
    QList<PBDefaultCategory> spared;
    for (const PBCategory &category : m_records.categoryManager().categories()) {
        if (!includeLock && category.isLocked())
            spared.append(category.type());
        if (!includeCustom && category.type() == PBDefaultCategory::custom)
            spared.append(PBDefaultCategory::custom);
    }
    if (!includeNotes)
        spared.append(PBDefaultCategory::note);
    return spared;
}

std::optional<Predicate> HistoryClearing::filedUnder(const QList<PBDefaultCategory> &kinds)
{
    if (kinds.isEmpty())
        return std::nullopt;
    QVariantList names;
    for (PBDefaultCategory kind : kinds)
        names.append(rawValue(kind));
    QList<Predicate> filed;
    const auto rows = m_records.categoryManager().storage().fetch(Predicate::in(QStringLiteral("type"), names));
    for (const auto &row : rows.value_or(QList<std::shared_ptr<PBCategoryRecord>>()))
        filed.append(Predicate::relationshipContains(QStringLiteral("categories"), row));
    if (filed.isEmpty())
        return std::nullopt;
    return Predicate::orPredicate(filed);
}

std::optional<Predicate> HistoryClearing::notFiledUnder(const QList<PBDefaultCategory> &kinds)
{
    if (const std::optional<Predicate> filed = filedUnder(kinds))
        return !*filed;
    return std::nullopt;
}

QList<PBItem> HistoryClearing::fileItemsAmong(const std::optional<Predicate> &predicate)
{
    // Only items of the file and image kinds can hold a file; the others are not read.
    const std::optional<Predicate> files = filedUnder({PBDefaultCategory::file, PBDefaultCategory::image});
    if (!files)
        return {};
    return m_records.itemsOf(m_records.storage().fetch(both(predicate, *files)).value_or(QList<RecordPtr>()));
}

void HistoryClearing::clearAllItems(bool withNotes)
{
    const char *const function = "clearAllItems(withNotes:)";
    LOG_DEBUG(function, QStringLiteral("[x] -> clear all items"));
    removeAndAnnounce(function, withNotes ? std::nullopt : notFiledUnder({PBDefaultCategory::note}), true, {});
}

void HistoryClearing::removeAndAnnounce(const char *function, const std::optional<Predicate> &predicate, bool withFiles,
                                        const QVariantMap &userInfo)
{
    // What is removed is never read; the file items alone are, before their records go, for
    // their bookmarks. Both under one hold of the context, so nothing comes in between.
    const std::optional<qsizetype> removed =
        m_records.storage().context()->performAndWait([&]() -> std::optional<qsizetype> {
            const QList<PBItem> files = withFiles ? fileItemsAmong(predicate) : QList<PBItem>();
            const std::optional<qsizetype> count = m_records.removeWhere(predicate);
            if (count)
                removeBookmarks(files); // only once the records are gone
            return count;
        });
    if (!removed) {
        LOG_ERROR(function, QStringLiteral("[x] ! clear failed, the history is unchanged"));
        return;
    }
    LOG_INFO(function, QStringLiteral("Trashing PBItemRecord of count: ") + QString::number(*removed));
    m_records.refreshLists();
    m_records.changed();
    LOG_DEBUG(function, QStringLiteral("[x] <- clear done"));
    m_announcements.post(NotificationName::historyItemsDidClear, userInfo);
}

void HistoryClearing::clearAllItemsInBackground(bool withNotes)
{
    m_clearQueue.async([this, withNotes] { clearAllItems(withNotes); });
}

void HistoryClearing::clearItemsInBackground(const PBCategory &in, const ClearOptions &options,
                                             std::function<void()> done)
{
    m_clearQueue.async([this, in, options, done = std::move(done)] {
        clearItems(in, options);
        if (done)
            done();
    });
}

void HistoryClearing::autoCleanHistoryInBackground()
{
    m_clearQueue.async([this] { autoCleanHistory(); });
}

void HistoryClearing::finishBackgroundClears() { m_clearQueue.shutdown(); }

void HistoryClearing::clearItems(const PBCategory &in, const ClearOptions &options)
{
    const char *const function = "clearItems(in:includeSticky:includeNotes:includeLock:includeCustom:)";
    LOG_DEBUG(function, QStringLiteral("[x] -> clear items in category ") + in.id());
    const auto categoryRow = m_records.categoryRecord(in.id());
    if (!categoryRow)
        return;
    std::optional<Predicate> predicate =
        notFiledUnder(sparedKinds(options.includeLock, options.includeCustom, options.includeNotes));
    if (!options.includeSticky)
        predicate = both(predicate, notSticky());
    if (in.type() != PBDefaultCategory::all)
        predicate = both(predicate, Predicate::relationshipContains(QStringLiteral("categories"), categoryRow));
    // Only the removed file items lose their bookmarks; spared ones keep their access.
    const bool withFiles = in.type() == PBDefaultCategory::file || in.type() == PBDefaultCategory::image
                           || in.type() == PBDefaultCategory::all;
    removeAndAnnounce(function, predicate, withFiles, NotificationPayload::ChangedCategory::encode(in));
}

void HistoryClearing::clearHistoryItems(const QList<PBItem> &items)
{
    if (!items.isEmpty()) {
        QVariantList uuids;
        for (const PBItem &item : items)
            uuids.append(item.uuid());
        QHash<QUuid, RecordPtr> byUuid;
        for (const RecordPtr &record :
             m_records.storage().fetch(Predicate::in(kUuid, uuids)).value_or(QList<RecordPtr>()))
            byUuid.insert(record->uuid(), record);
        QList<RecordPtr> records;
        QList<PBItem> deleted;
        QList<PBItem> gone;
        for (const PBItem &item : items) {
            if (const RecordPtr record = byUuid.take(item.uuid())) {
                records.append(record);
                deleted.append(item);
            } else {
                LOG_DEBUG("deleteItem(item:)", QStringLiteral("[-] ! no item found"));
                gone.append(item);
            }
        }
        // An item already gone from the history needs its file's bookmark no more.
        removeBookmarks(gone);
        if (records.isEmpty())
            m_announcements.post(NotificationName::historyItemsDidClear);
        else
            discard(records, deleted);
    }
    LOG_DEBUG("clearHistoryItems(items:)", QStringLiteral("[xx] <- clear done"));
}

void HistoryClearing::discard(const QList<RecordPtr> &records, const QList<PBItem> &items)
{
    if (records.isEmpty())
        return;
    if (!m_records.removeRecords(records))
        return; // still stored: nothing is announced as deleted
    QList<SlicedAnnouncements::Announcement> announcements;
    announcements.reserve(items.size() + 1);
    for (const PBItem &item : items)
        announcements.append({NotificationName::historyItemDidDelete, NotificationPayload::ChangedItem::encode(item)});
    removeBookmarks(items);
    m_records.refreshLists();
    m_records.changed();
    announcements.append({NotificationName::historyItemsDidClear, {}});
    m_announcements.post(std::move(announcements));
}

// ---------------------------------------------------------------------------------------------
// Auto-clean

FetchRequest<PBItemRecord> HistoryClearing::autoCleanRequest()
{
    auto request = PBItemRecord::fetchRequest();
    request.predicate = notFiledUnder(sparedKinds(
        m_settings.autoCleanIncludeLock(), m_settings.autoCleanIncludeCustom(), m_settings.autoCleanIncludeNote()));
    if (!m_settings.autoCleanIncludeSticky())
        request.predicate = both(request.predicate, notSticky());
    request.sortDescriptors = PBItemRecord::pinnedThenNewest();
    return request;
}

void HistoryClearing::getAutoCleanCandidates(const TaviPBManager::ItemsCompletion &completion)
{
    completion(
        m_records.itemsOf(m_records.storage().context()->fetch(autoCleanRequest()).value_or(QList<RecordPtr>())));
}

void HistoryClearing::autoCleanHistory()
{
    // Both rules work on the whole history in its default order (pinned first, then newest),
    // whatever a list shows or searches; only what goes is read.
    // A rule read as its initial value because the stored one is unreadable must not delete.
    if (const std::optional<QString> unreadable = m_settings.unreadableAutoCleanSetting()) {
        m_unreadableSettings.tell(*unreadable, "Settings.Problem.AutoCleanIgnored");
        return;
    }
    const int keep = m_settings.historyKeepLastCount();
    if (keep < 0)
        return;
    FetchRequest<PBItemRecord> request = autoCleanRequest();
    if (m_settings.clearType() == PBHistoryClearType::items) {
        request.fetchOffset = keep;
    } else {
        // An item is N days old when its modification day is N or more calendar days before today.
        const QDate today = QDate::currentDate();
        const QDateTime cutoff = today.addDays(1 - qint64(keep)).startOfDay();
        request.predicate =
            both(request.predicate, Predicate::compare(kModifiedAt, Predicate::Comparison::Less, cutoff));
    }
    const QList<RecordPtr> doomed = m_records.storage().context()->fetch(request).value_or(QList<RecordPtr>());
    discard(doomed, m_records.itemsOf(doomed));
    LOG_DEBUG("clearHistoryItems(items:)", QStringLiteral("[xx] <- clear done"));
}
