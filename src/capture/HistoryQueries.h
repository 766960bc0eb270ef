#pragma once
// What the history lists read: the main history's lists, a category's items, a list's pages and
// counts read from the store without the other rows, and the search (the shared filter and a
// list's own). Pages and counts outside searches are read on one of the store's readers while
// the store holds the context's state, so that no write delays them. Any thread; a search by
// the shared filter answers on the main thread.

#include "capture/HistoryRecords.h"
#include "capture/RecordSorter.h"
#include "capture/TaviPBManager.h"

#include <functional>
#include <mutex>

class TaviSettings;

class HistoryQueries {
public:
    using RecordPtr = HistoryRecords::RecordPtr;
    using ItemsCompletion = TaviPBManager::ItemsCompletion;
    using ListQuery = TaviPBManager::ListQuery;
    // When fetched records read their values: with the fetch, or each on its first use.
    enum class RecordValues { WithFetch, OnFirstUse };

    HistoryQueries(TaviSettings &settings, HistoryRecords &records);

    std::optional<PBSearchFilter> filter() const;
    void setFilter(std::optional<PBSearchFilter> filter);

    void reloadRecords(RecordSorter sorter, bool ascending);
    QList<PBItem> getAllItems();
    QList<PBItem> getItemsPage(qsizetype offset, qsizetype limit);
    qsizetype itemCount();
    qsizetype itemCount(const PBCategory &category);
    void getItems(PBDefaultCategory categoryType, bool useFilter, const ItemsCompletion &completion);
    void getItems(const PBCategory &category, bool useFilter, const ItemsCompletion &completion);
    QList<PBItem> getFilterItemsPage(const PBSearchFilter &filter, qsizetype offset, qsizetype limit);
    qsizetype filterItemCount(const PBSearchFilter &filter);
    QList<PBItem> getItemsPage(const ListQuery &query, qsizetype offset, qsizetype limit);
    qsizetype itemCount(const ListQuery &query);
    void getFilterItems(PBDefaultCategory categoryType, const ItemsCompletion &completion);
    void getFilterItems(const PBCategory &category, const ItemsCompletion &completion);

    // The records of a page of getItemsPage(query...), without their items.
    QList<RecordPtr> listRecordsPage(const ListQuery &query, qsizetype offset, qsizetype limit,
                                     RecordValues values = RecordValues::WithFetch);

private:
    // A category's record by id in a context (null when there is none).
    using CategoryLookup = std::function<std::shared_ptr<PBCategoryRecord>(const QString &id)>;
    CategoryLookup mainLookup();
    // On a reader a failed look-up throws, so that the read is made through the main context.
    static CategoryLookup readerLookup(ManagedObjectContext &reader);

    // The list's pinned or unpinned records; absent when the query can match nothing.
    static std::optional<FetchRequest<PBItemRecord>> listRequest(const ListQuery &query, bool sticky,
                                                                 const CategoryLookup &categoryRecord);
    // Every item of the query's category; absent when there is no such category.
    static std::optional<FetchRequest<PBItemRecord>> categoryRequest(const ListQuery &query,
                                                                     const CategoryLookup &categoryRecord);
    // A page of the list in `context`; a read that fails counts as empty and sets `failed`.
    static QList<RecordPtr> recordsPage(ManagedObjectContext &context, const CategoryLookup &categoryRecord,
                                        const ListQuery &query, qsizetype offset, qsizetype limit, RecordValues values,
                                        bool *failed);

    TaviSettings &m_settings;
    HistoryRecords &m_records;
    mutable std::mutex m_filterMutex;
    std::optional<PBSearchFilter> m_filter;
};
