#include "capture/HistoryQueries.h"

#include "core/TaviSettings.h"
#include "platform/Log.h"

#include <QSet>

#include <algorithm>
#include <stdexcept>

namespace {
bool hasKind(const PBItem &item, PBDefaultCategory kind)
{
    return std::any_of(item.categories().cbegin(), item.categories().cend(),
                       [&](const PBCategory &category) { return category.type() == kind; });
}

std::optional<Predicate> searchPredicate(const std::optional<PBSearchFilter> &filter)
{
    if (!filter || filter->keywords.isEmpty() || filter->keywords.first().isEmpty())
        return std::nullopt;
    const QString keyword = filter->keywords.first();
    return Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, keyword);
}

FetchRequest<PBItemRecord> searchRequest(const Predicate &predicate)
{
    auto request = PBItemRecord::fetchRequest();
    request.predicate = predicate;
    request.sortDescriptors = PBItemRecord::pinnedThenNewest();
    return request;
}

// What a read on a reader could not answer: the caller reads through the main context instead.
struct ReaderReadFailed : std::runtime_error {
    ReaderReadFailed() : std::runtime_error("a read on a reader failed") {}
};

template <class T>
T answered(std::optional<T> value)
{
    if (!value)
        throw ReaderReadFailed();
    return std::move(*value);
}

std::shared_ptr<PBCategoryRecord> categoryIn(ManagedObjectContext &context, const QString &id)
{
    auto request = PBCategoryRecord::fetchRequest();
    request.predicate = Predicate::equal(QStringLiteral("id"), id);
    request.fetchLimit = 1;
    const QList<std::shared_ptr<PBCategoryRecord>> records = answered(context.fetch(request));
    return records.isEmpty() ? nullptr : records.first();
}

} // namespace

HistoryQueries::HistoryQueries(TaviSettings &settings, HistoryRecords &records)
    : m_settings(settings),
      m_records(records)
{
}

std::optional<PBSearchFilter> HistoryQueries::filter() const
{
    std::lock_guard lock(m_filterMutex);
    return m_filter;
}

void HistoryQueries::setFilter(std::optional<PBSearchFilter> filter)
{
    std::lock_guard lock(m_filterMutex);
    m_filter = std::move(filter);
}

void HistoryQueries::reloadRecords(RecordSorter sorter, bool ascending)
{
    m_records.reloadLists({sortKey(sorter), ascending});
}

QList<PBItem> HistoryQueries::getAllItems()
{
    m_records.ensureListsFresh();
    return m_records.itemsOf(m_records.storage().objects().value_or(QList<RecordPtr>()));
}

QList<PBItem> HistoryQueries::getItemsPage(qsizetype offset, qsizetype limit)
{
    m_records.ensureListsFresh();
    if (offset < 0 || limit <= 0)
        return {};
    return m_records.itemsOf(m_records.storage().objectsPage(offset, limit).value_or(QList<RecordPtr>()));
}

qsizetype HistoryQueries::itemCount()
{
    m_records.ensureListsFresh();
    return m_records.storage().objectCount().value_or(0);
}

qsizetype HistoryQueries::itemCount(const PBCategory &category)
{
    ListQuery query;
    query.category = category;
    return itemCount(query);
}

void HistoryQueries::getItems(PBDefaultCategory categoryType, bool useFilter, const ItemsCompletion &completion)
{
    if (useFilter && filter()) {
        getFilterItems(categoryType, completion);
        return;
    }
    QList<PBItem> items = getAllItems();
    if (categoryType != PBDefaultCategory::all)
        items.removeIf([&](const PBItem &item) { return !hasKind(item, categoryType); });
    completion(items);
}

void HistoryQueries::getItems(const PBCategory &category, bool useFilter, const ItemsCompletion &completion)
{
    if (useFilter && filter()) {
        getFilterItems(category, completion);
        return;
    }
    if (category.type() == PBDefaultCategory::all) {
        completion(getAllItems());
        return;
    }
    m_records.ensureListsFresh();
    const QList<RecordPtr> records = m_records.storage().objects().value_or(QList<RecordPtr>());
    QSet<const PBItemRecord *> members;
    if (const auto categoryRow = m_records.categoryRecord(category.id())) {
        for (const auto &member : categoryRow->records())
            members.insert(member.get());
    }
    QList<RecordPtr> kept;
    for (const RecordPtr &record : records) {
        if (members.contains(record.get()))
            kept.append(record);
    }
    completion(m_records.itemsOf(kept));
}

QList<PBItem> HistoryQueries::getFilterItemsPage(const PBSearchFilter &filter, qsizetype offset, qsizetype limit)
{
    const std::optional<Predicate> predicate = searchPredicate(filter);
    if (!predicate || offset < 0 || limit <= 0)
        return {};
    FetchRequest<PBItemRecord> request = searchRequest(*predicate);
    request.fetchOffset = offset;
    request.fetchLimit = limit;
    const std::shared_ptr<ManagedObjectContext> &context = m_records.storage().context();
    QList<PBItem> items;
    if (context->readOnReader(
            [&](ManagedObjectContext &reader) { items = m_records.itemsOf(answered(reader.fetch(request))); }))
        return items;
    return m_records.itemsOf(context->fetch(request).value_or(QList<RecordPtr>()));
}

qsizetype HistoryQueries::filterItemCount(const PBSearchFilter &filter)
{
    const std::optional<Predicate> predicate = searchPredicate(filter);
    if (!predicate)
        return 0;
    const std::shared_ptr<ManagedObjectContext> &context = m_records.storage().context();
    const FetchRequest<PBItemRecord> request = searchRequest(*predicate);
    qsizetype count = 0;
    if (context->readOnReader([&](ManagedObjectContext &reader) { count = answered(reader.count(request)); }))
        return count;
    return context->count(request).value_or(0);
}

std::optional<FetchRequest<PBItemRecord>> HistoryQueries::listRequest(const ListQuery &query, bool sticky,
                                                                      const CategoryLookup &categoryRecord)
{
    QList<Predicate> parts{Predicate::equal(kIsSticky, sticky)};
    if (query.category && query.category->type() != PBDefaultCategory::all) {
        const auto record = categoryRecord(query.category->id());
        if (!record)
            return std::nullopt;
        parts.append(Predicate::relationshipContains(QStringLiteral("categories"), record));
    }
    if (query.search) {
        const std::optional<Predicate> search = searchPredicate(query.search);
        if (!search)
            return std::nullopt;
        parts.append(*search);
    }
    auto request = PBItemRecord::fetchRequest();
    request.predicate = Predicate::andPredicate(parts);
    // Pinned rows keep the pinned list's order; the others take the query's (newest first without one).
    const bool ordered = !sticky && !query.order.key.isEmpty();
    request.sortDescriptors = {ordered ? query.order : SortDescriptor{kModifiedAt, false}};
    return request;
}

HistoryQueries::CategoryLookup HistoryQueries::mainLookup()
{
    return [this](const QString &id) { return m_records.categoryRecord(id); };
}

QList<PBItem> HistoryQueries::getItemsPage(const ListQuery &query, qsizetype offset, qsizetype limit)
{
    // A search in every category, newest first: pinned and other items in one read of the search
    // index, in the same order, as itemCount(query) counts them.
    if (query.search && (!query.category || query.category->type() == PBDefaultCategory::all)
        && query.order.key == kModifiedAt && !query.order.ascending)
        return getFilterItemsPage(*query.search, offset, limit);
    if (offset < 0 || limit <= 0)
        return {};
    // On a reader, with the unsaved changes.
    QList<PBItem> items;
    if (m_records.storage().context()->readOnReader([&](ManagedObjectContext &reader) {
            bool failed = false;
            const QList<RecordPtr> records =
                recordsPage(reader, readerLookup(reader), query, offset, limit, RecordValues::WithFetch, &failed);
            if (failed)
                throw ReaderReadFailed();
            items = m_records.itemsOf(records);
        }))
        return items;
    return m_records.itemsOf(listRecordsPage(query, offset, limit));
}

QList<HistoryQueries::RecordPtr> HistoryQueries::listRecordsPage(const ListQuery &query, qsizetype offset,
                                                                 qsizetype limit, RecordValues values)
{
    if (offset < 0 || limit <= 0)
        return {};
    return recordsPage(*m_records.storage().context(), mainLookup(), query, offset, limit, values, nullptr);
}

HistoryQueries::CategoryLookup HistoryQueries::readerLookup(ManagedObjectContext &reader)
{
    return [&reader](const QString &id) { return categoryIn(reader, id); };
}

QList<HistoryQueries::RecordPtr> HistoryQueries::recordsPage(ManagedObjectContext &context,
                                                             const CategoryLookup &categoryRecord,
                                                             const ListQuery &query, qsizetype offset, qsizetype limit,
                                                             RecordValues values, bool *failed)
{
    const auto got = [failed](auto value) {
        if (!value && failed)
            *failed = true;
        return value.value_or(typename decltype(value)::value_type());
    };
    QList<RecordPtr> records;
    qsizetype mainOffset = offset;
    if (auto pinned = listRequest(query, true, categoryRecord)) {
        const qsizetype pinnedCount = got(context.count(*pinned));
        if (offset < pinnedCount) {
            pinned->fetchOffset = offset;
            pinned->fetchLimit = limit;
            pinned->includesPropertyValues = values == RecordValues::WithFetch;
            records = got(context.fetch(*pinned));
        }
        mainOffset = std::max<qsizetype>(0, offset - pinnedCount);
    }
    if (records.size() < limit) {
        if (auto rest = listRequest(query, false, categoryRecord)) {
            rest->fetchOffset = mainOffset;
            rest->fetchLimit = limit - records.size();
            rest->includesPropertyValues = values == RecordValues::WithFetch;
            records += got(context.fetch(*rest));
        }
    }
    return records;
}

qsizetype HistoryQueries::itemCount(const ListQuery &query)
{
    // A search in every category counts pinned and other items at once, in the search index.
    if (query.search && (!query.category || query.category->type() == PBDefaultCategory::all))
        return filterItemCount(*query.search);
    const std::shared_ptr<ManagedObjectContext> &context = m_records.storage().context();
    qsizetype count = 0;
    if (!query.search) {
        if (context->readOnReader([&](ManagedObjectContext &reader) {
                if (const auto request = categoryRequest(query, readerLookup(reader)))
                    count = answered(reader.count(*request));
            }))
            return count;
        // countOnReader: a whole category takes long to count, other reads go on meanwhile.
        const auto request = categoryRequest(query, mainLookup());
        return request ? context->countOnReader(*request).value_or(0) : 0;
    }
    // A search in a category: its pinned and other items.
    const auto countIn = [&](ManagedObjectContext &in, const CategoryLookup &lookup, bool onReader) {
        qsizetype sum = 0;
        for (const bool sticky : {true, false}) {
            if (const auto request = listRequest(query, sticky, lookup))
                sum += onReader ? answered(in.count(*request)) : in.count(*request).value_or(0);
        }
        return sum;
    };
    if (context->readOnReader(
            [&](ManagedObjectContext &reader) { count = countIn(reader, readerLookup(reader), true); }))
        return count;
    return countIn(*context, mainLookup(), false);
}

std::optional<FetchRequest<PBItemRecord>> HistoryQueries::categoryRequest(const ListQuery &query,
                                                                          const CategoryLookup &categoryRecord)
{
    // Pinned or not, every item of the category: counted from its links (or the whole table)
    // instead of testing each row of the two lists.
    auto request = PBItemRecord::fetchRequest();
    if (query.category && query.category->type() != PBDefaultCategory::all) {
        const auto record = categoryRecord(query.category->id());
        if (!record)
            return std::nullopt;
        request.predicate = Predicate::relationshipContains(QStringLiteral("categories"), record);
    }
    return request;
}

void HistoryQueries::getFilterItems(PBDefaultCategory categoryType, const ItemsCompletion &completion)
{
    const std::optional<Predicate> predicate = searchPredicate(filter());
    if (!predicate) {
        completion({});
        return;
    }
    const QList<SortDescriptor> sort = PBItemRecord::pinnedThenNewest();
    m_records.storage().asyncFetch(
        predicate, sort, [this, categoryType, completion](const AsynchronousFetchResult<PBItemRecord> &result) {
            if (!result.finalResult || result.finalResult->isEmpty()) {
                LOG_DEBUG("getFilterItems(categoryType:completion:)", QStringLiteral("[-] ! no item found"));
                completion({});
                return;
            }
            QList<PBItem> items = m_records.itemsOf(*result.finalResult);
            if (categoryType != PBDefaultCategory::all)
                items.removeIf([&](const PBItem &item) { return !hasKind(item, categoryType); });
            completion(items);
        });
}

void HistoryQueries::getFilterItems(const PBCategory &category, const ItemsCompletion &completion)
{
    const std::optional<Predicate> predicate = searchPredicate(filter());
    if (!predicate) {
        completion({});
        return;
    }
    SortDescriptor second{kModifiedAt, false};
    if (category.type() == PBDefaultCategory::text) {
        second.key = sortKey(static_cast<RecordSorter>(rawValue(m_settings.textSortType())));
        second.ascending = m_settings.textOrderAscending();
    } else if (category.type() == PBDefaultCategory::note) {
        const NoteSorter sorter = m_settings.noteSortType();
        second.key = sorter == NoteSorter::createAt ? QStringLiteral("createdAt")
                     : sorter == NoteSorter::title  ? QStringLiteral("text")
                                                    : kModifiedAt;
        second.ascending = m_settings.noteOrderAscending();
    }
    const QList<SortDescriptor> sort = PBItemRecord::pinnedThen(second);
    m_records.storage().asyncFetch(
        predicate, sort, [this, category, completion](const AsynchronousFetchResult<PBItemRecord> &result) {
            if (!result.finalResult || result.finalResult->isEmpty()) {
                LOG_DEBUG("getFilterItems(category:completion:)", QStringLiteral("[-] ! no item found"));
                completion({});
                return;
            }
            if (category.type() == PBDefaultCategory::all) {
                completion(m_records.itemsOf(*result.finalResult));
                return;
            }
            QList<RecordPtr> kept;
            for (const RecordPtr &record : *result.finalResult) {
                const auto rows = record->categories();
                if (std::any_of(rows.cbegin(), rows.cend(),
                                [&](const auto &row) { return row && row->id() == category.id(); }))
                    kept.append(record);
            }
            completion(m_records.itemsOf(kept));
        });
}
