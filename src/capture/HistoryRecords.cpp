#include "capture/HistoryRecords.h"

#include "capture/PBItemRecordConversion.h"
#include "core/PBCategoryManager.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"

#include <QSet>

const QString kIsSticky = QStringLiteral("is_sticky");
const QString kModifiedAt = QStringLiteral("modifiedAt");
const QString kUuid = QStringLiteral("uuid");

Predicate notSticky() { return Predicate::equal(kIsSticky, false); }

namespace {
// Texts, links and addresses are read back from their text alone: a payload that only repeats
// it is not stored a second time.
bool repeatsItsText(const PBItemProvider &provider, const QByteArray &payload)
{
    return !provider.is<PBImageItemProvider>() && repeatsOwnContent(provider, PasteboardType::string, payload);
}
} // namespace

Predicate exactly(const QList<std::shared_ptr<PBItemRecord>> &records)
{
    QList<ManagedObjectPtr> objects;
    objects.reserve(records.size());
    for (const auto &record : records)
        objects.append(record);
    return Predicate::selfIn(objects);
}

HistoryRecords::HistoryRecords(PBCategoryManager &categoryManager, SaveScheduler &saveScheduler)
    : m_categoryManager(categoryManager),
      m_saveScheduler(saveScheduler),
      m_storage(categoryManager.context()),
      m_pasteboardStorage(categoryManager.context())
{
}

void HistoryRecords::refreshLists()
{
    // The lists are rebuilt, in their default order, when they are next read: a capture costs
    // the same at any size of history.
    m_listsStale.store(true);
}

void HistoryRecords::ensureListsFresh()
{
    if (!m_listsStale.exchange(false))
        return;
    m_storage.setupStickyFetchedResultsController();
    m_storage.setupFetchedResultsController(notSticky(), {{kModifiedAt, false}});
}

void HistoryRecords::reloadLists(const SortKey &order)
{
    m_listsStale.store(false);
    m_storage.setupStickyFetchedResultsController();
    m_storage.setupFetchedResultsController(notSticky(), {order});
}

void HistoryRecords::changed() { m_saveScheduler.schedule(); }

HistoryRecords::RecordPtr HistoryRecords::recordFor(const PBItem &item, bool *readFailed)
{
    const auto records = m_storage.fetch(Predicate::equal(kUuid, item.uuid()));
    if (readFailed)
        *readFailed = !records;
    if (!records || records->isEmpty())
        return nullptr;
    return records->first();
}

std::shared_ptr<PBCategoryRecord> HistoryRecords::categoryRecord(const QString &id)
{
    const auto records = m_categoryManager.storage().fetch(Predicate::equal(QStringLiteral("id"), id));
    if (!records || records->isEmpty())
        return nullptr;
    return records->first();
}

QList<PBItem> HistoryRecords::itemsOf(const QList<RecordPtr> &records, bool withPayload)
{
    QList<PBItem> items;
    items.reserve(records.size());
    const PayloadLoading loading =
        withPayload ? PayloadLoading::WithRepresentations : PayloadLoading::WithoutRepresentations;
    int unreadable = 0;
    for (const RecordPtr &record : records) {
        bool readFailed = false;
        if (auto item = pbItem(*record, loading, &readFailed))
            items.append(std::move(*item));
        else if (readFailed)
            ++unreadable;
    }
    // Left out rather than listed empty; they show again once the store can be read.
    if (unreadable > 0)
        LOG_ERROR("itemsOf()",
                  QStringLiteral("[-] %1 items could not be read from the store; left out").arg(unreadable));
    return items;
}

std::optional<PBItem> HistoryRecords::findItem(const QString &hash)
{
    // An indexed look-up of the hash over the whole history, whatever a list shows or searches.
    const auto records = m_storage.fetch(Predicate::equal(QStringLiteral("dataHash"), hash));
    if (!records)
        return std::nullopt;
    std::shared_ptr<PBItemRecord> best;
    for (const auto &record : *records) {
        if (!best
            || std::pair(record->is_sticky(), record->modifiedAt()) > std::pair(best->is_sticky(), best->modifiedAt()))
            best = record;
    }
    for (const auto &record : *records) {
        // The best one first; another one with the hash serves when the best cannot be read.
        if (record != best)
            continue;
        if (auto item = pbItem(*record, PayloadLoading::WithoutRepresentations))
            return item;
    }
    for (const auto &record : *records) {
        if (auto item = pbItem(*record, PayloadLoading::WithoutRepresentations))
            return item;
    }
    return std::nullopt;
}

PBItem HistoryRecords::loadFullItem(const PBItem &item, bool *readFailed)
{
    bool failed = false;
    PBItem result = item;
    if (const RecordPtr record = recordFor(item, &failed)) {
        if (auto full = pbItem(*record, PayloadLoading::WithRepresentations, &failed))
            result = std::move(*full);
    }
    if (failed)
        LOG_ERROR("loadFullItem()", QStringLiteral("[-] the stored data of an item could not be read"));
    if (readFailed)
        *readFailed = failed;
    return result;
}

bool HistoryRecords::add(const PBItem &item)
{
    CategoryRecords categoryRecords;
    if (add(item, categoryRecords))
        return true;
    LOG_ERROR("add(item:)", QStringLiteral("Not matched category record!"));
    return false;
}

bool HistoryRecords::add(const PBItem &item, CategoryRecords &categoryRecords)
{
    const std::optional<PBItemProvider> &provider = item.dataProvider();
    const QString text = provider ? provider->representedText() : QString();
    // What is written is settled before the context is locked: comparing large payloads takes a
    // while, and the interface reads through the same context.
    std::optional<QByteArray> payload;
    QList<std::pair<QString, QByteArray>> representations;
    if (provider) {
        const QVariant associated = provider->accosicatedData();
        if (associated.typeId() == QMetaType::QByteArray && !repeatsItsText(*provider, associated.toByteArray()))
            payload = associated.toByteArray();
        const PasteboardDataMap &map = provider->pasteboardData();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            representations.append(
                {it.key(), repeatsOwnContent(*provider, it.key(), it.value()) ? QByteArray() : it.value()});
    }
    // The category records are looked up once for a whole batch.
    QVariantList missing;
    for (const PBCategory &category : item.categories()) {
        if (!categoryRecords.contains(category.id()))
            missing.append(category.id());
    }
    if (!missing.isEmpty()) {
        const auto found = m_categoryManager.storage().fetch(Predicate::in(QStringLiteral("id"), missing));
        if (!found)
            return false; // the store could not be read: nothing is remembered as missing
        for (const auto &record : *found)
            categoryRecords.insert(record->id(), record);
        for (const QVariant &id : std::as_const(missing)) {
            if (!categoryRecords.contains(id.toString()))
                categoryRecords.insert(id.toString(), nullptr); // no such category: not asked again
        }
    }
    QList<std::shared_ptr<PBCategoryRecord>> filedUnder;
    QSet<PBCategoryRecord *> seen;
    for (const PBCategory &category : item.categories()) {
        for (const auto &record : categoryRecords.values(category.id())) {
            if (record && !seen.contains(record.get())) {
                seen.insert(record.get());
                filedUnder.append(record);
            }
        }
    }
    if (filedUnder.isEmpty())
        return false;
    m_storage.context()->performAndWait([&] {
        const auto record = m_storage.newRecord();
        record->setUuid(item.uuid());
        record->setDataHash(item.hash());
        record->addCategories(filedUnder);
        record->setCreatedAt(item.createTime());
        record->setModifiedAt(item.modifiedTime());
        if (payload)
            record->setData(*payload);
        if (provider)
            record->setText(text);
        if (const std::optional<PBAppInfo> &app = item.sourceApp()) {
            record->setAppName(app->name);
            if (app->bundleId)
                record->setAppId(*app->bundleId);
            if (app->bundlePath)
                record->setAppPath(*app->bundlePath);
        }
        if (!representations.isEmpty()) {
            QList<std::shared_ptr<PBPasteboardDataRecord>> pasteboards;
            for (const auto &[type, bytes] : representations) {
                const auto pasteboard = m_pasteboardStorage.newRecord();
                pasteboard->setType(type);
                pasteboard->setData(bytes);
                pasteboards.append(pasteboard);
            }
            record->addPasteboards(pasteboards);
        }
    });
    refreshLists();
    return true;
}

bool HistoryRecords::update(const PBItem &item, const std::optional<PBCategory> &activeCategory, const QDateTime &at)
{
    const RecordPtr record = recordFor(item);
    if (!record) {
        LOG_DEBUG("update(item:activeCategory:)", QStringLiteral("[-] ! no item found"));
        return false;
    }
    // Never back in time: a newer copy recorded first (while a large one was stored) keeps its place.
    if (!item.isSticky() && !record->is_sticky() && !(at <= record->modifiedAt()))
        record->setModifiedAt(at);
    if (activeCategory) {
        if (const auto category = categoryRecord(activeCategory->id()))
            record->addCategoriesObject(category);
    }
    refreshLists();
    return true;
}

bool HistoryRecords::removeRecords(const QList<RecordPtr> &records)
{
    if (records.isEmpty())
        return true;
    // One transaction and one pass over the loaded records, whatever the number.
    if (!m_storage.batchDelete(exactly(records)))
        return false;
    m_storage.mergeDeletedObjects(records);
    return true;
}

std::optional<qsizetype> HistoryRecords::removeWhere(const std::optional<Predicate> &predicate)
{
    const std::optional<QList<qint64>> rows = m_storage.batchDelete(predicate);
    if (!rows)
        return std::nullopt;
    // Loaded records of the deleted rows leave the context.
    m_storage.context()->mergeStoreChanges(PBItemRecord::entityDescription(), {}, *rows);
    return rows->size();
}
