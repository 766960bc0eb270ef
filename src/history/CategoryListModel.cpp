#include "history/CategoryListModel.h"

#include "platform/DispatchQueue.h"

#include <QMap>
#include <QPointer>
#include <QScopeGuard>

#include <algorithm>

CategoryListModel::CategoryListModel(TaviPBManager &manager, QObject *parent)
    : QAbstractListModel(parent),
      m_manager(manager)
{
}

CategoryListModel::~CategoryListModel()
{
    // Work still queued sees a newer request and stops before reading the store.
    m_latest->store(~quint64(0));
    m_queue.shutdown();
    m_countQueue.shutdown();
    m_titleQueue.shutdown();
}

void CategoryListModel::fetch(const TaviPBManager::ListQuery &query, std::function<void()> done)
{
    const quint64 generation = ++m_generation;
    m_latest->store(generation);
    m_fetching = true;
    m_latestReadsRichTitles = m_readRichTitles;
    TaviPBManager *manager = &m_manager;
    const QPointer<CategoryListModel> self(this);
    const auto latest = m_latest;
    SerialQueue *counts = &m_countQueue;
    m_queue.async([self, manager, query, generation, done, latest, counts] {
        if (latest->load() != generation)
            return;
        QList<PBItem> first = manager->getItemsPage(query, 0, kPageSize);
        const bool complete = first.size() < kPageSize;
        MainQueue::async([self, query, generation, done, first] {
            if (!self || self->m_generation != generation)
                return;
            self->beginResetModel();
            self->m_query = query;
            self->m_pages.clear();
            self->m_richTitles.clear();
            self->m_recent.clear();
            self->m_requested.clear();
            self->m_wanted.clear();
            self->m_reading = false;
            self->m_count = int(first.size());
            if (!first.isEmpty())
                self->m_pages.insert(0, first);
            self->m_recent.append(0);
            self->m_fetching = false;
            self->endResetModel();
            self->readRichTitles(generation, first);
            if (done)
                done();
            Q_EMIT self->fetched();
        });
        if (complete || latest->load() != generation)
            return;
        // Counting a large category takes a while: on its own queue, so that the next list's first
        // page does not wait behind it.
        counts->async([self, manager, query, generation, latest] {
            if (latest->load() != generation)
                return;
            const qsizetype count = manager->itemCount(query);
            MainQueue::async([self, generation, count] {
                if (!self || self->m_generation != generation || count <= self->m_count)
                    return;
                self->beginInsertRows({}, self->m_count, int(count) - 1);
                self->m_count = int(count);
                self->endInsertRows();
                Q_EMIT self->countChanged(self->m_count);
            });
        });
    });
}

int CategoryListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_count; }

QVariant CategoryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == RichTitleRole) {
        const PBItem *item = inMemory(index.row());
        const auto found = item ? m_richTitles.constFind(item->uuid()) : m_richTitles.constEnd();
        return found != m_richTitles.constEnd() ? QVariant::fromValue(*found) : QVariant();
    }
    if (role != ItemRole)
        return {};
    if (const auto found = cachedItem(index.row()))
        return QVariant::fromValue(*found);
    return {};
}

Qt::ItemFlags CategoryListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

const PBItem *CategoryListModel::inMemory(int row) const
{
    if (row < 0 || row >= m_count)
        return nullptr;
    const auto found = m_pages.constFind(row / kPageSize);
    return found != m_pages.constEnd() && row % kPageSize < found->size() ? &found->at(row % kPageSize) : nullptr;
}

std::optional<PBItem> CategoryListModel::cachedItem(int row) const
{
    if (row < 0 || row >= m_count)
        return std::nullopt;
    const PBItem *item = inMemory(row);
    if (!item) {
        requestPage(row / kPageSize);
        return std::nullopt;
    }
    touch(row / kPageSize);
    return *item;
}

PBItem CategoryListModel::item(int row)
{
    if (row < 0 || row >= m_count)
        return {};
    if (auto cached = cachedItem(row))
        return *cached;
    const QList<PBItem> one = m_manager.getItemsPage(m_query, row, 1);
    return one.value(0);
}

int CategoryListModel::rowOf(const QUuid &uuid) const
{
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
        for (int i = 0; i < it->size(); ++i) {
            if (it->at(i).uuid() == uuid)
                return it.key() * kPageSize + i;
        }
    }
    return -1;
}

void CategoryListModel::removeRowAt(int row) { removeRange(row, row); }

void CategoryListModel::removeRows(QList<int> rows)
{
    // Bottom-most run first, so the rows of the runs above keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    qsizetype at = 0;
    while (at < rows.size()) {
        const int last = rows.at(at);
        int first = last;
        while (++at < rows.size() && rows.at(at) == first - 1)
            first = rows.at(at);
        removeRange(first, last);
    }
}

void CategoryListModel::removeRange(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, m_count - 1);
    if (first > last)
        return;
    const int removed = last - first + 1;
    beginRemoveRows({}, first, last);
    // The rows in memory, moved up past the removed ones, regrouped into the pages they now
    // fall in; a page keeps the run of rows it has from its start.
    QMap<int, PBItem> rows;
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
        for (int i = 0; i < it->size(); ++i) {
            const int at = it.key() * kPageSize + i;
            if (at < first)
                rows.insert(at, it->at(i));
            else if (at > last)
                rows.insert(at - removed, it->at(i));
        }
    }
    QHash<int, QList<PBItem>> pages;
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
        QList<PBItem> page;
        for (int at = it.key() * kPageSize; at < (it.key() + 1) * kPageSize && rows.contains(at); ++at)
            page.append(rows.value(at));
        if (!page.isEmpty())
            pages.insert(it.key(), page);
    }
    m_pages = pages;
    m_recent.removeIf([&](int page) { return !m_pages.contains(page); });
    m_requested.clear();
    m_wanted.clear();
    ++m_layout;
    m_count -= removed;
    endRemoveRows();
}

QList<PBItem> CategoryListModel::items(const QList<int> &rows) { return itemsReader(rows)(); }

namespace {
// Sorted rows as runs of consecutive rows: (first row, count).
QList<std::pair<int, int>> runsOf(const QList<int> &sorted)
{
    QList<std::pair<int, int>> runs;
    qsizetype at = 0;
    while (at < sorted.size()) {
        const int first = sorted.at(at);
        int last = first;
        while (++at < sorted.size() && sorted.at(at) <= last + 1)
            last = sorted.at(at);
        runs.append({first, last - first + 1});
    }
    return runs;
}
} // namespace

void CategoryListModel::splitByMemory(const QList<int> &rows, QList<int> &inRange, QList<int> &missing,
                                      const std::function<void(int row, const PBItem &item)> &known) const
{
    // Looks into memory without asking for pages: the rows named may be far from those shown.
    for (const int row : rows) {
        if (row < 0 || row >= m_count)
            continue;
        inRange.append(row);
        if (const PBItem *item = inMemory(row))
            known(row, *item);
        else
            missing.append(row);
    }
    std::sort(missing.begin(), missing.end());
}

std::function<QList<PBItem>()> CategoryListModel::itemsReader(const QList<int> &rows) const
{
    QHash<int, PBItem> known;
    QList<int> inRange;
    QList<int> missing;
    splitByMemory(rows, inRange, missing, [&](int row, const PBItem &item) { known.insert(row, item); });
    TaviPBManager *manager = &m_manager;
    return [manager, query = m_query, known = std::move(known), runs = runsOf(missing), inRange = std::move(inRange)] {
        // Rows not in memory are read in runs of consecutive rows, one store query per run.
        QHash<int, PBItem> read = known;
        for (const auto &[first, count] : runs) {
            const QList<PBItem> run = manager->getItemsPage(query, first, count);
            for (int i = 0; i < run.size(); ++i)
                read.insert(first + i, run.at(i));
        }
        QList<PBItem> result;
        result.reserve(inRange.size());
        for (const int row : inRange) {
            if (read.contains(row))
                result.append(read.value(row));
        }
        return result;
    };
}

TaviPBManager::ListRows CategoryListModel::listRows(const QList<int> &rows) const
{
    TaviPBManager::ListRows named{m_query, {}, {}};
    QList<int> inRange;
    QList<int> missing;
    splitByMemory(rows, inRange, missing, [&](int, const PBItem &item) {
        if (!item.uuid().isNull())
            named.uuids.append(item.uuid());
    });
    named.runs = runsOf(missing);
    const auto known = [this](int row) {
        const PBItem *item = inMemory(row);
        return item ? item->uuid() : QUuid();
    };
    for (const auto &[first, count] : std::as_const(named.runs))
        named.anchors.append({known(first - 1), known(first + count)});
    return named;
}

QList<int> CategoryListModel::rowsOf(const QSet<QUuid> &uuids) const
{
    QList<int> rows;
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
        for (int i = 0; i < it->size(); ++i) {
            if (uuids.contains(it->at(i).uuid()))
                rows.append(it.key() * kPageSize + i);
        }
    }
    return rows;
}

void CategoryListModel::reloadRow(int row)
{
    if (row < 0 || row >= m_count)
        return;
    const int page = row / kPageSize;
    m_requested.remove(page);
    requestPage(page);
}

void CategoryListModel::requestPage(int page) const
{
    if (m_fetching || m_requested.contains(page))
        return;
    m_requested.insert(page);
    m_wanted.append(page);
    while (m_wanted.size() > kMaxWantedPages)
        m_requested.remove(m_wanted.takeFirst());
    loadNext();
}

void CategoryListModel::loadNext() const
{
    if (m_reading || m_wanted.isEmpty())
        return;
    m_reading = true;
    const int page = m_wanted.takeLast();
    TaviPBManager *manager = &m_manager;
    const TaviPBManager::ListQuery query = m_query;
    const quint64 generation = m_generation;
    const quint64 layout = m_layout;
    const QPointer<CategoryListModel> self(const_cast<CategoryListModel *>(this));
    const auto latest = m_latest;
    m_queue.async([self, manager, query, generation, layout, page, latest] {
        if (latest->load() != generation)
            return;
        const QList<PBItem> items = manager->getItemsPage(query, qsizetype(page) * kPageSize, kPageSize);
        MainQueue::async([self, generation, layout, page, items] {
            if (self)
                self->pageArrived(generation, layout, page, items);
        });
    });
}

void CategoryListModel::pageArrived(quint64 generation, quint64 layout, int page, const QList<PBItem> &items)
{
    if (generation != m_generation)
        return;
    m_reading = false;
    // Whatever this page brings, the next wanted one is read.
    const auto next = qScopeGuard([this] { loadNext(); });
    const int first = page * kPageSize;
    const int last = std::min(m_count, first + kPageSize) - 1;
    if (layout != m_layout) {
        // Read before a row was taken out: the view asks again for the rows it still shows.
        m_requested.remove(page);
        if (last >= first)
            Q_EMIT dataChanged(index(first), index(last), {ItemRole});
        return;
    }
    // A short page (the store lost rows since the count) is not asked for again until the next
    // request: its missing rows stay blank instead of asking in a loop.
    if (items.size() >= last - first + 1)
        m_requested.remove(page);
    forgetPage(page);
    m_pages.insert(page, items);
    touch(page);
    while (m_pages.size() > kMaxCachedPages && !m_recent.isEmpty())
        forgetPage(m_recent.takeFirst());
    if (last >= first)
        Q_EMIT dataChanged(index(first), index(last), {ItemRole});
    readRichTitles(generation, items);
}

void CategoryListModel::forgetPage(int page)
{
    for (const PBItem &item : m_pages.take(page))
        m_richTitles.remove(item.uuid());
}

void CategoryListModel::readRichTitles(quint64 generation, const QList<PBItem> &items) const
{
    if (!m_latestReadsRichTitles || items.isEmpty())
        return;
    TaviPBManager *manager = &m_manager;
    const QPointer<CategoryListModel> self(const_cast<CategoryListModel *>(this));
    const auto latest = m_latest;
    m_titleQueue.async([self, manager, generation, items, latest] {
        if (latest->load() != generation)
            return;
        const QHash<QUuid, RichTitle> titles = RichTitle::load(*manager, items);
        if (titles.isEmpty())
            return;
        MainQueue::async([self, generation, titles] {
            if (self)
                self->richTitlesArrived(generation, titles);
        });
    });
}

void CategoryListModel::richTitlesArrived(quint64 generation, const QHash<QUuid, RichTitle> &titles)
{
    if (generation != m_generation)
        return;
    const QList<int> rows = rowsOf(QSet<QUuid>(titles.keyBegin(), titles.keyEnd()));
    for (const int row : rows) {
        const QUuid uuid = inMemory(row)->uuid();
        m_richTitles.insert(uuid, titles.value(uuid));
    }
    if (rows.isEmpty())
        return;
    const auto [first, last] = std::minmax_element(rows.cbegin(), rows.cend());
    Q_EMIT dataChanged(index(*first), index(*last), {RichTitleRole});
}

void CategoryListModel::touch(int page) const
{
    const qsizetype at = m_recent.lastIndexOf(page);
    if (at == m_recent.size() - 1 && at >= 0)
        return;
    if (at >= 0)
        m_recent.removeAt(at);
    m_recent.append(page);
}
