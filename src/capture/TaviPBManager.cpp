#include "capture/TaviPBManager.h"

#include "capture/PBItemRecordConversion.h"
#include "core/FileTypes.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "core/Uuid.h"
#include "core/store/PBCategoryRecord.h"
#include "platform/Log.h"
#include "platform/Memory.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {
const char *const kPoll = "retreivePasteboardInfo()";
const QString kIsSticky = QStringLiteral("is_sticky");
const QString kModifiedAt = QStringLiteral("modifiedAt");
const QString kUuid = QStringLiteral("uuid");

Predicate notSticky()
{
    return Predicate::equal(kIsSticky, false);
}

QVariant itemsVariant(const QList<PBItem> &items)
{
    return QVariant::fromValue(items);
}

QVariantMap payloadOf(const TaviPBManager::ItemsByCategory &byCategory)
{
    QVariantMap map;
    for (auto it = byCategory.cbegin(); it != byCategory.cend(); ++it)
        map.insert(it.key(), itemsVariant(it.value()));
    return map;
}

bool hasKind(const PBItem &item, PBDefaultCategory kind)
{
    return std::any_of(item.categories().cbegin(), item.categories().cend(),
                       [&](const PBCategory &category) { return category.type() == kind; });
}

// Texts, links and addresses are read back from their text alone: a payload that only repeats
// it is not stored a second time.
bool repeatsItsText(const PBItemProvider &provider, const QByteArray &payload)
{
    return !provider.is<PBImageItemProvider>() && repeatsOwnContent(provider, PasteboardType::string, payload);
}

QList<ManagedObjectPtr> plain(const QList<std::shared_ptr<PBItemRecord>> &records)
{
    QList<ManagedObjectPtr> objects;
    objects.reserve(records.size());
    for (const auto &record : records)
        objects.append(record);
    return objects;
}
} // namespace

TaviPBManager &TaviPBManager::shared()
{
    // Never destroyed: its destructor would reach the pasteboard and the store, other
    // process-wide objects that may be gone at exit.
    static auto *manager = new TaviPBManager(Pasteboard::general(), Workspace::shared(), PBCategoryManager::shared());
    return *manager;
}

TaviPBManager::TaviPBManager(Pasteboard &pasteboard, Workspace &workspace, PBCategoryManager &categoryManager)
    : m_pasteboard(pasteboard),
      m_workspace(workspace),
      m_categoryManager(categoryManager),
      m_storage(categoryManager.context()),
      m_pasteboardStorage(categoryManager.context()),
      m_saver(categoryManager.context()),
      m_saveScheduler([this] {
          const bool saved = m_saver.save();
          Memory::trim(); // what the saved payloads took goes back to the system
          return saved;
      })
{
    m_lastChangeCount.store(m_pasteboard.changeCount());
}

TaviPBManager::~TaviPBManager()
{
    shutDown();
}

void TaviPBManager::shutDown()
{
    m_shuttingDown.store(true);
    m_pasteboard.setChangeHandler(nullptr);
    if (m_timer && (MainQueue::isCurrent() || !QCoreApplication::instance()))
        m_timer.reset();
    m_clearQueue.shutdown(); // finishes a clear the user confirmed
    m_pbQueue.shutdown();
    m_saveScheduler.flush();
}

std::optional<PBSearchFilter> TaviPBManager::filter() const
{
    std::lock_guard lock(m_filterMutex);
    return m_filter;
}

void TaviPBManager::setFilter(std::optional<PBSearchFilter> filter)
{
    std::lock_guard lock(m_filterMutex);
    m_filter = std::move(filter);
}

CoreDataManager<PBItemRecord> &TaviPBManager::storage()
{
    ensureListsFresh();
    return m_storage;
}

void TaviPBManager::setFolderAuthorizationCheck(std::function<std::optional<QString>(const QList<PasteboardItem> &)> check)
{
    m_folderAuthorizationCheck = std::move(check);
}

// ---------------------------------------------------------------------------------------------
// Capture

void TaviPBManager::startMonitoring(std::chrono::milliseconds fallback)
{
    m_pasteboard.setChangeHandler([this] { schedulePoll(); });
    // An idle program wakes for nothing: the poll runs only where changes go untold.
    m_timer.reset();
    if (!m_pasteboard.announcesChanges()) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setInterval(int(fallback.count()));
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] { schedulePoll(); });
        m_timer->start();
    }
    schedulePoll();
}

void TaviPBManager::stopMonitoring()
{
    m_pasteboard.setChangeHandler(nullptr);
    m_timer.reset();
}

void TaviPBManager::schedulePoll()
{
    // One poll in flight at most: it takes every change recorded until it starts.
    if (m_pollQueued.exchange(true))
        return;
    m_pbQueue.async([this] {
        m_pollQueued.store(false);
        processBatch();
    });
}

void TaviPBManager::retreivePasteboardInfo()
{
    m_pbQueue.sync([this] { processBatch(); });
}

std::optional<RunningApplication> TaviPBManager::getCurrentActiveApp()
{
    std::optional<RunningApplication> app = m_workspace.frontmostApplication();
    LOG_DEBUG("getCurrentActiveApp()", QStringLiteral("Active App --> ")
                                            + (app ? app->bundleIdentifier : QStringLiteral("nil")) + QStringLiteral(": ")
                                            + (app ? app->localizedName : QStringLiteral("nil")));
    return app;
}

void TaviPBManager::processPasteboardItem(const PasteboardItem &item, const std::optional<RunningApplication> &app,
                                          const std::function<void(const PasteboardProcessResult &)> &resultCompletion)
{
    tellIfSizeLimitIsUnreadable();
    PBItemPipeline::Environment environment{[this](const QString &hash) { return findItem(hash); },
                                            [this] { return activeCategory(); }, m_workspace.ownBundleIdentifier()};
    const PasteboardProcessResult result = PBItemPipeline::process(item, app, environment);
    if (resultCompletion)
        resultCompletion(result);
}

void TaviPBManager::processBatch()
{
    if (m_isProcessing.exchange(true))
        return;
    std::deque<PasteboardChange> waiting;
    takeNewChanges(waiting);
    while (!waiting.empty()) {
        const PasteboardChange change = std::move(waiting.front());
        waiting.pop_front();
        processChange(change, waiting);
    }
    // The batch ends here, whatever the main thread is doing; it only announces the result.
    m_isProcessing.store(false);
}

void TaviPBManager::takeNewChanges(std::deque<PasteboardChange> &waiting)
{
    if (const qint64 dropped = m_pasteboard.takeDroppedChangeCount(); dropped > 0 && !m_isPaused.load())
        noteLostCopies(LossCause::NotTaken, dropped);
    for (PasteboardChange &change : m_pasteboard.takeChanges()) {
        // What was there before this manager started is never recorded.
        if (change.changeCount <= m_lastChangeCount.load())
            continue;
        m_lastChangeCount.store(change.changeCount);
        waiting.push_back(std::move(change));
    }
}

void TaviPBManager::takeSmallChangesMeanwhile(std::deque<PasteboardChange> &waiting)
{
    takeNewChanges(waiting);
    // Each is stored under the time it was made, so the lists keep the order of the copies; large
    // ones wait for the one in progress.
    QList<PasteboardChange> small;
    for (auto it = waiting.begin(); it != waiting.end();) {
        if (!it->items || it->items->size() < kInterleaveEveryItems) {
            small.append(std::move(*it));
            it = waiting.erase(it);
        } else {
            ++it;
        }
    }
    for (const PasteboardChange &change : std::as_const(small))
        processChange(change, waiting);
}

namespace {
// The items of a batch by category id, each filed once under each of its categories.
class CategoryFiling {
public:
    void file(const PBItem &item)
    {
        for (const PBCategory &category : item.categories()) {
            QSet<QUuid> &filed = m_filed[category.id()];
            if (filed.contains(item.uuid()))
                continue;
            filed.insert(item.uuid());
            m_byCategory[category.id()].append(item);
        }
    }
    bool isEmpty() const { return m_byCategory.isEmpty(); }
    const TaviPBManager::ItemsByCategory &byCategory() const { return m_byCategory; }

private:
    TaviPBManager::ItemsByCategory m_byCategory;
    QHash<QString, QSet<QUuid>> m_filed;
};
} // namespace

void TaviPBManager::processChange(const PasteboardChange &change, std::deque<PasteboardChange> &waiting)
{
    if (m_isPaused.load())
        return;
    // Our own copy-out is skipped; another program's copy right after it, or after a pause, is
    // recorded.
    m_needIgnoreFromSelfCopy.store(false);
    if (change.isOwn)
        return;
    // The application of the moment of the change; the frontmost one now only when the backend
    // could not tell. A copy is never dropped for want of one.
    const std::optional<RunningApplication> app = change.application ? change.application : getCurrentActiveApp();
    if (app && !app->bundleIdentifier.isEmpty() && TaviSettings::shared().blackList().contains(app->bundleIdentifier))
        return;

    const std::optional<QList<PasteboardItem>> &items = change.items;
    if (!items) {
        noteLostCopies(change.unread == PasteboardChange::Unread::Replaced ? LossCause::Replaced : LossCause::NoAnswer, 1);
        return;
    }
    // Every step below is linear in the number of items: drops are counted by reason and logged
    // in one line, repeats and categories are found by id, and what is pending is saved every
    // kSaveEveryItems items so that no look-up walks an ever longer list of unsaved records.
    // Copies made meanwhile are not held up by a large one: they are taken in between its items.
    tellIfSizeLimitIsUnreadable();
    CategoryFiling newItemsByCategory;
    CategoryFiling updatedItemsByCategory;
    QList<PBItem> newItems;
    QList<QUrl> newFiles;
    QMap<QString, int> dropped;
    qsizetype updated = 0;
    qsizetype unsaved = 0;
    CategoryRecords categoryRecords;
    qint64 imageFileBytesLeft = PBItemPipeline::kMaxImageFileBytesPerCopy;
    PBItemPipeline::Environment environment{[this](const QString &hash) { return findItem(hash); },
                                            [this] { return activeCategory(); }, m_workspace.ownBundleIdentifier(),
                                            [&dropped](const QString &reason) { ++dropped[reason]; }, change.time,
                                            &imageFileBytesLeft};
    qsizetype done = 0;
    try {
        for (const PasteboardItem &item : *items) {
            if (m_shuttingDown.load()) {
                dropped[QStringLiteral("Left at quit")] += int(items->size() - done);
                break;
            }
            if (++done % kInterleaveEveryItems == 0)
                takeSmallChangesMeanwhile(waiting);
            const PasteboardProcessResult result = PBItemPipeline::process(item, app, environment);
            TaviSettings &settings = TaviSettings::shared();
            switch (result.kind) {
            case PasteboardProcessResult::Kind::New: {
                const PBItem &newItem = *result.item;
                const PBFileItemProvider *file = newItem.dataProvider()->as<PBFileItemProvider>();
                if (file && settings.ignoreDirectory() && isDirectory(file->url())) {
                    ++dropped[QStringLiteral("Folders are ignored")];
                    continue;
                }
                if (file && settings.ignoreFile() && !isDirectory(file->url())) {
                    ++dropped[QStringLiteral("Files are ignored")];
                    continue;
                }
                if (settings.ignoreImage() && newItem.dataProvider()->is<PBImageItemProvider>()) {
                    ++dropped[QStringLiteral("Images are ignored")];
                    continue;
                }
                if (!add(newItem, categoryRecords)) {
                    ++dropped[QStringLiteral("Not matched category record!")];
                    continue;
                }
                if (file)
                    newFiles.append(file->url());
                // Announced as lists hold it: the whole copy stays in the store.
                const PBItem listed = listItem(newItem);
                newItemsByCategory.file(listed);
                newItems.append(listed);
                break;
            }
            case PasteboardProcessResult::Kind::Update:
                if (update(*result.item, result.category, change.time)) {
                    updatedItemsByCategory.file(*result.item);
                    ++updated;
                }
                break;
            case PasteboardProcessResult::Kind::Failure:
                continue;
            }
            if (++unsaved >= kSaveEveryItems) {
                changed();
                m_saveScheduler.flush();
                unsaved = 0;
                categoryRecords.clear();
            }
        }
    } catch (const std::exception &error) {
        LOG_ERROR(kPoll, QStringLiteral("Capture batch failed: ") + QString::fromUtf8(error.what()));
    } catch (...) {
        LOG_ERROR(kPoll, QStringLiteral("Capture batch failed."));
    }
    QStringList reasons;
    qsizetype droppedCount = 0;
    for (auto it = dropped.cbegin(); it != dropped.cend(); ++it) {
        reasons.append(it.value() == 1 ? it.key() : QStringLiteral("%1 (%2 items)").arg(it.key()).arg(it.value()));
        droppedCount += it.value();
    }
    LOG_DEBUG(kPoll, QStringLiteral("Clipboard change of %1 items: %2 new, %3 repeated, %4 dropped%5")
                         .arg(items->size())
                         .arg(newItems.size())
                         .arg(updated)
                         .arg(droppedCount)
                         .arg(reasons.isEmpty() ? QString() : QStringLiteral(": ") + reasons.join(QStringLiteral("; "))));
    if (!newItems.isEmpty() || !updatedItemsByCategory.isEmpty())
        changed();
    // The copied files are bookmarked together, off this queue, unless the whole root is.
    if (!newFiles.isEmpty()) {
        TPBookMarkCacher &bookmarks = TPBookMarkCacher::shared();
        if (!bookmarks.hasBookMark(authorizedRootPath()))
            bookmarks.store(newFiles);
    }

    // The folder check reads the copied files' permissions here, not on the main thread.
    std::optional<QString> folderToAsk;
    if (m_folderAuthorizationCheck && !TaviSettings::shared().notPromptFolderAccess()) {
        QList<PasteboardItem> files;
        for (const PasteboardItem &item : *items) {
            if (const std::optional<QByteArray> url = item.data(PasteboardType::fileURL)) {
                PasteboardItem file;
                file.setData(PasteboardType::fileURL, *url);
                files.append(file);
            }
        }
        if (!files.isEmpty())
            folderToAsk = m_folderAuthorizationCheck(files);
    }
    auto end = [folderToAsk, newItemsByCategory = newItemsByCategory.byCategory(),
                updatedItemsByCategory = updatedItemsByCategory.byCategory(), newItems] {
        if (folderToAsk && !TaviSettings::shared().notPromptFolderAccess())
            NotificationCenter::defaultCenter().postInfo(NotificationName::needCheckAuthorize, *folderToAsk);
        if (!newItemsByCategory.isEmpty()) {
            TaviSettings &settings = TaviSettings::shared();
            settings.setCopyTotalTimes(settings.copyTotalTimes() + 1);
            NotificationCenter::defaultCenter().post(
                NotificationName::historyDidAddNewItem, nullptr,
                {{NotificationKey::info, payloadOf(newItemsByCategory)}, {NotificationKey::items, itemsVariant(newItems)}});
        }
        if (!updatedItemsByCategory.isEmpty())
            NotificationCenter::defaultCenter().postInfo(NotificationName::historyItemDidUpdate, payloadOf(updatedItemsByCategory));
    };
    if (QCoreApplication::instance())
        MainQueue::async(std::move(end));
    else
        end();
}

void TaviPBManager::noteLostCopies(LossCause cause, qint64 count)
{
    const qint64 total = m_lostCopies.fetch_add(count) + count;
    static const char *const kCauses[] = {"replaced before it could be read", "its program stopped sending it",
                                          "not taken in time"};
    LOG_WARNING(kPoll, QStringLiteral("%1 clipboard copies not recorded: %2 (%3 this session)")
                           .arg(count)
                           .arg(QLatin1String(kCauses[int(cause)]))
                           .arg(total));
    postOnMain(NotificationName::historyCopiesLost, {{NotificationKey::info, total}});
    static const char *const kTexts[] = {"Capture.Lost.Replaced", "Capture.Lost.NoAnswer", "Capture.Lost.NotTaken"};
    if (m_toldLosses.isFirst(QString::number(int(cause))))
        postHistoryProblem(L("Capture.Lost.title"), L(kTexts[int(cause)]));
}

std::optional<PBItem> TaviPBManager::findItem(const QString &hash)
{
    // An indexed look-up of the hash over the whole history, whatever a list shows or searches.
    const auto records = m_storage.fetch(Predicate::equal(QStringLiteral("dataHash"), hash));
    if (!records)
        return std::nullopt;
    std::shared_ptr<PBItemRecord> best;
    for (const auto &record : *records) {
        if (!best || std::pair(record->is_sticky(), record->modifiedAt()) > std::pair(best->is_sticky(), best->modifiedAt()))
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

std::optional<PBCategory> TaviPBManager::activeCategory() const
{
    return m_categoryManager.activeCategory();
}

// ---------------------------------------------------------------------------------------------
// Storing

bool TaviPBManager::add(const PBItem &item)
{
    CategoryRecords categoryRecords;
    if (add(item, categoryRecords))
        return true;
    LOG_ERROR("add(item:)", QStringLiteral("Not matched category record!"));
    return false;
}

bool TaviPBManager::add(const PBItem &item, CategoryRecords &categoryRecords)
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
            representations.append({it.key(), repeatsOwnContent(*provider, it.key(), it.value()) ? QByteArray() : it.value()});
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

bool TaviPBManager::update(const PBItem &item, const std::optional<PBCategory> &activeCategory)
{
    return update(item, activeCategory, QDateTime::currentDateTime());
}

bool TaviPBManager::update(const PBItem &item, const std::optional<PBCategory> &activeCategory, const QDateTime &at)
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

TaviPBManager::RecordPtr TaviPBManager::recordFor(const PBItem &item, bool *readFailed)
{
    const auto records = m_storage.fetch(Predicate::equal(kUuid, item.uuid()));
    if (readFailed)
        *readFailed = !records;
    if (!records || records->isEmpty())
        return nullptr;
    return records->first();
}

std::shared_ptr<PBCategoryRecord> TaviPBManager::categoryRecord(const QString &id)
{
    const auto records = m_categoryManager.storage().fetch(Predicate::equal(QStringLiteral("id"), id));
    if (!records || records->isEmpty())
        return nullptr;
    return records->first();
}

void TaviPBManager::changed()
{
    m_saveScheduler.schedule();
}

bool TaviPBManager::saveNow()
{
    return m_saveScheduler.flush(true);
}

// ---------------------------------------------------------------------------------------------
// Queries

void TaviPBManager::refreshLists()
{
    // The lists are rebuilt, in their default order, when they are next read: a capture costs
    // the same at any size of history.
    m_listsStale.store(true);
}

void TaviPBManager::ensureListsFresh()
{
    if (!m_listsStale.exchange(false))
        return;
    m_storage.setupStickyFetchedResultsController();
    m_storage.setupFetchedResultsController(notSticky(), {{kModifiedAt, false}});
}

void TaviPBManager::reloadRecords(RecordSorter sorter, bool ascending)
{
    m_listsStale.store(false);
    m_storage.setupStickyFetchedResultsController();
    m_storage.setupFetchedResultsController(notSticky(), {{sortKey(sorter), ascending}});
}

QList<PBItem> TaviPBManager::itemsOf(const QList<RecordPtr> &records, bool withPayload)
{
    QList<PBItem> items;
    items.reserve(records.size());
    const PayloadLoading loading = withPayload ? PayloadLoading::WithRepresentations : PayloadLoading::WithoutRepresentations;
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
        LOG_ERROR("itemsOf()", QStringLiteral("[-] %1 items could not be read from the store; left out").arg(unreadable));
    return items;
}

QList<PBItem> TaviPBManager::getAllItems()
{
    ensureListsFresh();
    return itemsOf(m_storage.objects().value_or(QList<RecordPtr>()));
}

QList<PBItem> TaviPBManager::getItemsPage(qsizetype offset, qsizetype limit)
{
    ensureListsFresh();
    if (offset < 0 || limit <= 0)
        return {};
    return itemsOf(m_storage.objectsPage(offset, limit).value_or(QList<RecordPtr>()));
}

qsizetype TaviPBManager::itemCount()
{
    ensureListsFresh();
    return m_storage.objectCount().value_or(0);
}

qsizetype TaviPBManager::itemCount(const PBCategory &category)
{
    if (category.type() == PBDefaultCategory::all)
        return itemCount();
    const auto categoryRow = categoryRecord(category.id());
    if (!categoryRow)
        return 0;
    auto request = PBItemRecord::fetchRequest();
    request.predicate = Predicate::relationshipContains(QStringLiteral("categories"), categoryRow);
    return m_storage.context()->countOnReader(request).value_or(0);
}

void TaviPBManager::getItems(PBDefaultCategory categoryType, bool useFilter, const ItemsCompletion &completion)
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

void TaviPBManager::getItems(const PBCategory &category, bool useFilter, const ItemsCompletion &completion)
{
    if (useFilter && filter()) {
        getFilterItems(category, completion);
        return;
    }
    if (category.type() == PBDefaultCategory::all) {
        completion(getAllItems());
        return;
    }
    ensureListsFresh();
    const QList<RecordPtr> records = m_storage.objects().value_or(QList<RecordPtr>());
    QSet<const PBItemRecord *> members;
    if (const auto categoryRow = categoryRecord(category.id())) {
        for (const auto &member : categoryRow->records())
            members.insert(member.get());
    }
    QList<RecordPtr> kept;
    for (const RecordPtr &record : records) {
        if (members.contains(record.get()))
            kept.append(record);
    }
    completion(itemsOf(kept));
}

namespace {
std::optional<Predicate> searchPredicate(const std::optional<PBSearchFilter> &filter)
{
    if (!filter || filter->keywords.isEmpty() || filter->keywords.first().isEmpty())
        return std::nullopt;
    const QString keyword = filter->keywords.first();
    return Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, keyword);
}
} // namespace

namespace {
FetchRequest<PBItemRecord> searchRequest(const Predicate &predicate)
{
    auto request = PBItemRecord::fetchRequest();
    request.predicate = predicate;
    request.sortDescriptors = {{kIsSticky, false}, {kModifiedAt, false}};
    return request;
}
} // namespace

QList<PBItem> TaviPBManager::getFilterItemsPage(const PBSearchFilter &filter, qsizetype offset, qsizetype limit)
{
    const std::optional<Predicate> predicate = searchPredicate(filter);
    if (!predicate || offset < 0 || limit <= 0)
        return {};
    FetchRequest<PBItemRecord> request = searchRequest(*predicate);
    request.fetchOffset = offset;
    request.fetchLimit = limit;
    return itemsOf(m_storage.context()->fetch(request).value_or(QList<RecordPtr>()));
}

qsizetype TaviPBManager::filterItemCount(const PBSearchFilter &filter)
{
    const std::optional<Predicate> predicate = searchPredicate(filter);
    if (!predicate)
        return 0;
    return m_storage.context()->count(searchRequest(*predicate)).value_or(0);
}

std::optional<FetchRequest<PBItemRecord>> TaviPBManager::listRequest(const ListQuery &query, bool sticky)
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

QList<PBItem> TaviPBManager::getItemsPage(const ListQuery &query, qsizetype offset, qsizetype limit)
{
    return itemsOf(listRecordsPage(query, offset, limit));
}

QList<TaviPBManager::RecordPtr> TaviPBManager::listRecordsPage(const ListQuery &query, qsizetype offset, qsizetype limit,
                                                               RecordValues values)
{
    if (offset < 0 || limit <= 0)
        return {};
    QList<RecordPtr> records;
    qsizetype mainOffset = offset;
    if (auto pinned = listRequest(query, true)) {
        const qsizetype pinnedCount = m_storage.context()->count(*pinned).value_or(0);
        if (offset < pinnedCount) {
            pinned->fetchOffset = offset;
            pinned->fetchLimit = limit;
            pinned->includesPropertyValues = values == RecordValues::WithFetch;
            records = m_storage.context()->fetch(*pinned).value_or(QList<RecordPtr>());
        }
        mainOffset = std::max<qsizetype>(0, offset - pinnedCount);
    }
    if (records.size() < limit) {
        if (auto rest = listRequest(query, false)) {
            rest->fetchOffset = mainOffset;
            rest->fetchLimit = limit - records.size();
            rest->includesPropertyValues = values == RecordValues::WithFetch;
            records += m_storage.context()->fetch(*rest).value_or(QList<RecordPtr>());
        }
    }
    return records;
}

qsizetype TaviPBManager::itemCount(const ListQuery &query)
{
    // A search in every category counts pinned and other items at once, in the search index.
    if (query.search && (!query.category || query.category->type() == PBDefaultCategory::all))
        return filterItemCount(*query.search);
    if (!query.search) {
        // Pinned or not, every item of the category: counted from its links (or the whole table)
        // instead of testing each row of the two lists.
        auto request = PBItemRecord::fetchRequest();
        if (query.category && query.category->type() != PBDefaultCategory::all) {
            const auto record = categoryRecord(query.category->id());
            if (!record)
                return 0;
            request.predicate = Predicate::relationshipContains(QStringLiteral("categories"), record);
        }
        return m_storage.context()->countOnReader(request).value_or(0);
    }
    qsizetype count = 0;
    for (const bool sticky : {true, false}) {
        if (const auto request = listRequest(query, sticky))
            count += m_storage.context()->count(*request).value_or(0);
    }
    return count;
}

void TaviPBManager::getFilterItems(PBDefaultCategory categoryType, const ItemsCompletion &completion)
{
    const std::optional<Predicate> predicate = searchPredicate(filter());
    if (!predicate) {
        completion({});
        return;
    }
    const QList<SortDescriptor> sort{{kIsSticky, false}, {kModifiedAt, false}};
    m_storage.asyncFetch(predicate, sort, [this, categoryType, completion](const AsynchronousFetchResult<PBItemRecord> &result) {
        if (!result.finalResult || result.finalResult->isEmpty()) {
            LOG_DEBUG("getFilterItems(categoryType:completion:)", QStringLiteral("[-] ! no item found"));
            completion({});
            return;
        }
        QList<PBItem> items = itemsOf(*result.finalResult);
        if (categoryType != PBDefaultCategory::all)
            items.removeIf([&](const PBItem &item) { return !hasKind(item, categoryType); });
        completion(items);
    });
}

void TaviPBManager::getFilterItems(const PBCategory &category, const ItemsCompletion &completion)
{
    const std::optional<Predicate> predicate = searchPredicate(filter());
    if (!predicate) {
        completion({});
        return;
    }
    TaviSettings &settings = TaviSettings::shared();
    SortDescriptor second{kModifiedAt, false};
    if (category.type() == PBDefaultCategory::text) {
        second.key = sortKey(static_cast<RecordSorter>(rawValue(settings.textSortType())));
        second.ascending = settings.textOrderAscending();
    } else if (category.type() == PBDefaultCategory::note) {
        const NoteSorter sorter = settings.noteSortType();
        second.key = sorter == NoteSorter::createAt ? QStringLiteral("createdAt")
            : sorter == NoteSorter::title           ? QStringLiteral("text")
                                                    : kModifiedAt;
        second.ascending = settings.noteOrderAscending();
    }
    const QList<SortDescriptor> sort{{kIsSticky, false}, second};
    m_storage.asyncFetch(predicate, sort, [this, category, completion](const AsynchronousFetchResult<PBItemRecord> &result) {
        if (!result.finalResult || result.finalResult->isEmpty()) {
            LOG_DEBUG("getFilterItems(category:completion:)", QStringLiteral("[-] ! no item found"));
            completion({});
            return;
        }
        if (category.type() == PBDefaultCategory::all) {
            completion(itemsOf(*result.finalResult));
            return;
        }
        QList<RecordPtr> kept;
        for (const RecordPtr &record : *result.finalResult) {
            const auto rows = record->categories();
            if (std::any_of(rows.cbegin(), rows.cend(), [&](const auto &row) { return row && row->id() == category.id(); }))
                kept.append(record);
        }
        completion(itemsOf(kept));
    });
}

PBItem TaviPBManager::loadFullItem(const PBItem &item, bool *readFailed)
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

// ---------------------------------------------------------------------------------------------
// Copy-out

std::optional<QList<PasteboardItem>> TaviPBManager::pasteboardItems(const QList<PBItem> &items,
                                                                    const std::optional<PBCategory> &category)
{
    QList<PasteboardItem> result;
    for (const PBItem &item : items) {
        bool readFailed = false;
        if (std::optional<PasteboardItem> pasteboardItem = getPasteboardItem(item, category, &readFailed))
            result.prepend(std::move(*pasteboardItem)); // the last item comes first
        // Nothing rather than an empty or partial copy.
        if (readFailed) {
            postHistoryProblem(L("Read.Problem.title"), L("Read.Problem.CopyOut"));
            return std::nullopt;
        }
    }
    return result;
}

std::unique_ptr<QMimeData> TaviPBManager::mimeDataForDrag(const QList<PBItem> &items, const std::optional<PBCategory> &category)
{
    const std::optional<QList<PasteboardItem>> dragged = pasteboardItems(items, category);
    return dragged ? Pasteboard::mimeDataForItems(*dragged) : nullptr;
}

bool TaviPBManager::copy(const QList<PBItem> &items, const std::optional<PBCategory> &category)
{
    // What is on the clipboard stays when an item could not be read.
    const std::optional<QList<PasteboardItem>> written = pasteboardItems(items, category);
    if (!written)
        return false;
    m_needIgnoreFromSelfCopy.store(true);
    m_pasteboard.write(*written);
    TaviSettings &settings = TaviSettings::shared();
    settings.setCopyOutTimes(settings.copyOutTimes() + 1);
    return true;
}

std::optional<PasteboardItem> TaviPBManager::getPasteboardItem(const PBItem &item, const std::optional<PBCategory> &category,
                                                               bool *readFailed)
{
    if (readFailed)
        *readFailed = false;
    const std::optional<PBCategory> primary = item.primaryCategory();
    const PBDefaultCategory itemKind = primary ? primary->type() : PBDefaultCategory::unknown;
    PBDefaultCategory listKind = category ? category->type() : itemKind;
    if (listKind == PBDefaultCategory::custom)
        listKind = itemKind;
    if (!item.dataProvider())
        return std::nullopt;
    const char *const function = "getPasteboardItem(item:in:)";
    LOG_DEBUG(function, QStringLiteral("[>>] copy out item:"));
    PasteboardItem result;
    // Lists hold items without their representations and with their text cut: copy-out reads
    // the whole item.
    bool failed = false;
    const PBItem full = item.dataProvider()->pasteboardData().isEmpty() ? loadFullItem(item, &failed) : item;
    if (failed) {
        if (readFailed)
            *readFailed = true;
        return std::nullopt;
    }
    const PBItemProvider &provider = full.dataProvider() ? *full.dataProvider() : *item.dataProvider();
    if (itemKind == PBDefaultCategory::text && TaviSettings::shared().alwaysCopyPlainText()) {
        result.setString(PasteboardType::string, provider.representedText());
        LOG_DEBUG(function, QStringLiteral("   |- copy plain string: ") + Log::redacted(provider.representedText()));
        return result;
    }
    if (listKind == PBDefaultCategory::note) {
        if (const PBNoteItemProvider *note = provider.as<PBNoteItemProvider>()) {
            result.setString(PasteboardType::string, note->body().value_or(QString()));
            LOG_DEBUG(function, QStringLiteral("   |- copy note: ") + Log::redacted(note->representedText()));
            return result;
        }
    }
    const PasteboardDataMap &data = provider.pasteboardData();
    if (data.isEmpty()) {
        result.setString(PasteboardType::string, provider.representedText());
        LOG_DEBUG(function, QStringLiteral("   |- cast to string: ") + Log::redacted(provider.representedText()));
        return result;
    }
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        if (itemKind == PBDefaultCategory::text) {
            PasteboardItem scratch;
            scratch.setData(it.key(), it.value());
            const std::optional<QString> text = scratch.string(it.key());
            if (text && !text->isEmpty())
                result.setData(it.key(), it.value());
        } else {
            result.setData(it.key(), it.value());
        }
        LOG_DEBUG(function, QStringLiteral("   |- type: ") + it.key());
    }
    LOG_DEBUG(function, QStringLiteral("🌞 pasteboard data: ") + QStringList(data.keys()).join(QStringLiteral(", ")));
    return result;
}

// ---------------------------------------------------------------------------------------------
// Edits

void TaviPBManager::updateComment(const PBItem &item, const std::optional<QString> &comment, const std::function<void()> &completion)
{
    LOG_DEBUG("updateComment(item:comment:completion:)",
              QStringLiteral("[-] -> update item comment: ") + (comment ? Log::redacted(*comment) : QStringLiteral("NA")));
    const RecordPtr record = recordFor(item);
    if (!record) {
        LOG_DEBUG("updateComment(item:comment:completion:)", QStringLiteral("[-] ! no item found"));
        return;
    }
    record->setComment(comment.value_or(QString()));
    refreshLists();
    changed();
    if (completion)
        completion();
}

void TaviPBManager::updateText(const PBItem &item, const QString &text, const std::function<void()> &completion)
{
    LOG_DEBUG("updateText(item:text:completion:)", QStringLiteral("[-] -> update item text: text: ") + Log::redacted(text));
    const RecordPtr record = recordFor(item);
    if (!record) {
        LOG_DEBUG("updateText(item:text:completion:)", QStringLiteral("[-] ! no item found"));
        return;
    }
    m_storage.context()->performAndWait([&] {
        // A representation kept as the item's text keeps the text it was copied with.
        for (const auto &pasteboard : record->pasteboards()) {
            if (pasteboard && pasteboard->type() == PasteboardType::string && pasteboard->data().isEmpty())
                pasteboard->setData(record->text().toUtf8());
        }
        record->setText(text);
        record->setModifiedAt(QDateTime::currentDateTime());
    });
    refreshLists();
    changed();
    if (completion)
        completion();
}

void TaviPBManager::stickItem(const PBItem &item, bool is_sticky, const std::function<void()> &completion)
{
    const char *const function = "stickItem(item:is_sticky:completion:)";
    LOG_DEBUG(function, QStringLiteral("[-] -> stick item: is_sticky: ") + (is_sticky ? QStringLiteral("true") : QStringLiteral("false")));
    const RecordPtr record = recordFor(item);
    if (!record) {
        LOG_DEBUG(function, QStringLiteral("[-] ! no item found"));
        return;
    }
    m_storage.context()->performAndWait([&] {
        record->setIs_sticky(is_sticky);
        record->setModifiedAt(QDateTime::currentDateTime());
    });
    refreshLists();
    changed();
    LOG_DEBUG(function, QStringLiteral("[-] <- stick item done"));
    if (completion)
        completion();
}

void TaviPBManager::addItem(const PBItem &item, const PBCategory &to)
{
    LOG_DEBUG("addItem(item:to:)", QStringLiteral("[~>] -> move item to category"));
    if (retag(item, to, true, "addItem(item:to:)"))
        LOG_DEBUG("addItem(item:to:)", QStringLiteral("[~>] <- move done"));
}

void TaviPBManager::addItems(const QList<PBItem> &items, const PBCategory &to)
{
    const char *const function = "addItems(items:to:)";
    LOG_DEBUG(function, QStringLiteral("[~>] -> move item to category"));
    const auto category = categoryRecord(to.id());
    if (!category) {
        LOG_DEBUG(function, QStringLiteral("Not matched category record!"));
        return;
    }
    for (const PBItem &item : items) {
        if (const RecordPtr record = recordFor(item)) {
            record->addCategoriesObject(category);
            postOnMain(NotificationName::categoryTagStatusChanged, {{NotificationKey::info, QVariant::fromValue(item)}});
        }
    }
    refreshLists();
    changed();
}

void TaviPBManager::removeItem(const PBItem &item, const PBCategory &from)
{
    LOG_DEBUG("removeItem(item:from:)", QStringLiteral("[<~] -> remove item from category ") + from.id());
    if (retag(item, from, false, "removeItem(item:from:)"))
        LOG_DEBUG("removeItem(item:from:)", QStringLiteral("[<~] <- remove done"));
}

bool TaviPBManager::retag(const PBItem &item, const PBCategory &category, bool adding, const char *function)
{
    const auto categoryRow = categoryRecord(category.id());
    if (!categoryRow) {
        LOG_DEBUG(function, QStringLiteral("Not matched category record!"));
        return false;
    }
    const RecordPtr record = recordFor(item);
    if (!record) {
        LOG_DEBUG(function, QStringLiteral("[-] ! no item found"));
        return false;
    }
    if (adding)
        record->addCategoriesObject(categoryRow);
    else
        record->removeCategoriesObject(categoryRow);
    refreshLists();
    changed();
    postOnMain(NotificationName::categoryTagStatusChanged, {{NotificationKey::info, QVariant::fromValue(item)}});
    return true;
}

void TaviPBManager::removeCategoryFromAllItems(const PBCategory &category)
{
    if (category.type() != PBDefaultCategory::custom)
        return;
    const auto categoryRow = categoryRecord(category.id());
    if (!categoryRow)
        return;
    m_storage.context()->performAndWait([&] {
        for (const auto &record : categoryRow->records())
            record->removeCategoriesObject(categoryRow);
    });
    refreshLists();
    changed();
}

// ---------------------------------------------------------------------------------------------
// Deleting and clearing

void TaviPBManager::removeBookmarks(const QList<PBItem> &items)
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

void TaviPBManager::deleteItem(const PBItem &item)
{
    const char *const function = "deleteItem(item:)";
    LOG_DEBUG(function, QStringLiteral("[-] -> delete item"));
    LOG_DEBUG(function, QStringLiteral("[-] item: ")
                            + (item.dataProvider() ? Log::redacted(item.dataProvider()->representedText()) : QStringLiteral("nil")));
    const RecordPtr record = recordFor(item);
    if (!record) {
        LOG_DEBUG(function, QStringLiteral("[-] ! no item found"));
        return;
    }
    m_storage.deleteRecord(record);
    refreshLists();
    removeBookmarks({item});
    changed();
    LOG_DEBUG(function, QStringLiteral("[-] <- delete done"));
    postOnMain(NotificationName::historyItemDidDelete, {{NotificationKey::info, QVariant::fromValue(item)}});
}

void TaviPBManager::deleteItems(const QList<PBItem> &items)
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

void TaviPBManager::deleteItems(const QList<QUuid> &uuids)
{
    deleteItems(ListRows{{}, uuids, {}});
}

void TaviPBManager::deleteItems(const ListRows &rows)
{
    const char *const function = "deleteItems(items:)";
    qsizetype named = rows.uuids.size();
    for (const auto &run : rows.runs)
        named += std::max(run.second, 0);
    LOG_DEBUG(function, QStringLiteral("[x] -> clear items with count:") + QString::number(named));
    if (named == 1 && rows.uuids.size() == 1) {
        // One item is announced as itself.
        const RecordPtr record = m_storage.fetch(Predicate::equal(kUuid, rows.uuids.first())).value_or(QList<RecordPtr>()).value(0);
        const QList<PBItem> item = record ? itemsOf({record}) : QList<PBItem>();
        if (!item.isEmpty())
            deleteItem(item.first());
        return;
    }
    // The records are found by id and by position, never built into items (only the file items
    // are, for their bookmarks). Reading and deleting hold the context, so nothing can change
    // in between.
    bool moved = false;
    const std::optional<qsizetype> deleted = m_storage.context()->performAndWait([&]() -> std::optional<qsizetype> {
        QList<RecordPtr> records;
        if (!rows.uuids.isEmpty()) {
            QVariantList ids;
            ids.reserve(rows.uuids.size());
            for (const QUuid &uuid : rows.uuids)
                ids.append(uuid);
            records += m_storage.fetch(Predicate::in(kUuid, ids)).value_or(QList<RecordPtr>());
        }
        for (qsizetype i = 0; i < rows.runs.size(); ++i) {
            const auto &[first, count] = rows.runs.at(i);
            const auto [before, after] = rows.anchors.value(i);
            const int lead = !before.isNull() && first > 0 ? 1 : 0;
            const int tail = after.isNull() ? 0 : 1;
            // Only the neighbours' ids are read; the rest is deleted unread.
            QList<RecordPtr> page = listRecordsPage(rows.query, first - lead, count + lead + tail, RecordValues::OnFirstUse);
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
        const QList<PBItem> files = fileItemsAmong(Predicate::selfIn(plain(records)));
        if (!removeRecords(records))
            return std::nullopt;
        removeBookmarks(files);
        return records.size();
    });
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
    refreshLists();
    changed();
    LOG_DEBUG(function, QStringLiteral("[x] <- deleted: ") + QString::number(*deleted));
    postOnMain(NotificationName::historyItemsDidClear);
}

bool TaviPBManager::removeRecords(const QList<RecordPtr> &records)
{
    if (records.isEmpty())
        return true;
    // One transaction and one pass over the loaded records, whatever the number.
    if (!m_storage.batchDelete(Predicate::selfIn(plain(records))))
        return false;
    m_storage.mergeDeletedObjects(records);
    return true;
}

QList<PBDefaultCategory> TaviPBManager::sparedKinds(bool includeLock, bool includeCustom, bool includeNotes) const
{
    QList<PBDefaultCategory> spared;
    for (const PBCategory &category : m_categoryManager.categories()) {
        if (!includeLock && category.isLocked())
            spared.append(category.type());
        if (!includeCustom && category.type() == PBDefaultCategory::custom)
            spared.append(PBDefaultCategory::custom);
    }
    if (!includeNotes)
        spared.append(PBDefaultCategory::note);
    return spared;
}

std::optional<Predicate> TaviPBManager::filedUnder(const QList<PBDefaultCategory> &kinds)
{
    if (kinds.isEmpty())
        return std::nullopt;
    QVariantList names;
    for (PBDefaultCategory kind : kinds)
        names.append(rawValue(kind));
    QList<Predicate> filed;
    const auto rows = m_categoryManager.storage().fetch(Predicate::in(QStringLiteral("type"), names));
    for (const auto &row : rows.value_or(QList<std::shared_ptr<PBCategoryRecord>>()))
        filed.append(Predicate::relationshipContains(QStringLiteral("categories"), row));
    if (filed.isEmpty())
        return std::nullopt;
    return Predicate::orPredicate(filed);
}

std::optional<Predicate> TaviPBManager::notFiledUnder(const QList<PBDefaultCategory> &kinds)
{
    if (const std::optional<Predicate> filed = filedUnder(kinds))
        return !*filed;
    return std::nullopt;
}

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

QList<PBItem> TaviPBManager::fileItemsAmong(const std::optional<Predicate> &predicate)
{
    // Only items of the file and image kinds can hold a file; the others are not read.
    const std::optional<Predicate> files = filedUnder({PBDefaultCategory::file, PBDefaultCategory::image});
    if (!files)
        return {};
    return itemsOf(m_storage.fetch(both(predicate, *files)).value_or(QList<RecordPtr>()));
}

void TaviPBManager::clearAllItems(bool withNotes)
{
    const char *const function = "clearAllItems(withNotes:)";
    LOG_DEBUG(function, QStringLiteral("[x] -> clear all items"));
    const std::optional<Predicate> predicate = withNotes ? std::nullopt : notFiledUnder({PBDefaultCategory::note});
    auto records = m_storage.fetch(predicate);
    if (!records) {
        LOG_DEBUG(function, QStringLiteral("[x] -> no items to clear"));
        return;
    }
    // The file items are read before their records go; bookmarks go only with the records.
    const QList<PBItem> cleared = fileItemsAmong(predicate);
    if (!removeRecords(*records)) {
        LOG_ERROR(function, QStringLiteral("[x] ! clear failed, the history is unchanged"));
        return;
    }
    removeBookmarks(cleared);
    refreshLists();
    changed();
    LOG_DEBUG(function, QStringLiteral("[x] <- clear done"));
    postOnMain(NotificationName::historyItemsDidClear);
}

void TaviPBManager::clearAllItemsInBackground(bool withNotes)
{
    m_clearQueue.async([this, withNotes] { clearAllItems(withNotes); });
}

void TaviPBManager::clearItemsInBackground(const PBCategory &in, const ClearOptions &options, std::function<void()> done)
{
    m_clearQueue.async([this, in, options, done = std::move(done)] {
        clearItems(in, options);
        if (done)
            done();
    });
}

void TaviPBManager::clearItems(const PBCategory &in, const ClearOptions &options)
{
    const char *const function = "clearItems(in:includeSticky:includeNotes:includeLock:includeCustom:)";
    LOG_DEBUG(function, QStringLiteral("[x] -> clear items in category ") + in.id());
    const auto categoryRow = categoryRecord(in.id());
    if (!categoryRow)
        return;
    std::optional<Predicate> predicate =
        notFiledUnder(sparedKinds(options.includeLock, options.includeCustom, options.includeNotes));
    if (!options.includeSticky)
        predicate = both(predicate, notSticky());
    if (in.type() != PBDefaultCategory::all)
        predicate = both(predicate, Predicate::relationshipContains(QStringLiteral("categories"), categoryRow));
    const QList<RecordPtr> targets = m_storage.fetch(predicate).value_or(QList<RecordPtr>());
    LOG_INFO(function, QStringLiteral("Trashing PBItemRecord of count: ") + QString::number(targets.size()));
    // Only the removed file items lose their bookmarks; spared ones keep their access.
    QList<PBItem> files;
    if (in.type() == PBDefaultCategory::file || in.type() == PBDefaultCategory::image || in.type() == PBDefaultCategory::all)
        files = fileItemsAmong(predicate);
    if (!removeRecords(targets)) {
        LOG_ERROR(function, QStringLiteral("[x] ! clear failed, the history is unchanged"));
        return;
    }
    removeBookmarks(files);
    refreshLists();
    changed();
    LOG_DEBUG(function, QStringLiteral("[x] <- clear done"));
    postOnMain(NotificationName::historyItemsDidClear, {{NotificationKey::info, QVariant::fromValue(in)}});
}

void TaviPBManager::clearHistoryItems(const QList<PBItem> &items)
{
    if (!items.isEmpty()) {
        QVariantList uuids;
        for (const PBItem &item : items)
            uuids.append(item.uuid());
        QHash<QUuid, RecordPtr> byUuid;
        for (const RecordPtr &record : m_storage.fetch(Predicate::in(kUuid, uuids)).value_or(QList<RecordPtr>()))
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
            postOnMain(NotificationName::historyItemsDidClear);
        else
            discard(records, deleted);
    }
    LOG_DEBUG("clearHistoryItems(items:)", QStringLiteral("[xx] <- clear done"));
}

void TaviPBManager::discard(const QList<RecordPtr> &records, const QList<PBItem> &items)
{
    if (records.isEmpty())
        return;
    if (!removeRecords(records))
        return; // still stored: nothing is announced as deleted
    for (const PBItem &item : items)
        postOnMain(NotificationName::historyItemDidDelete, {{NotificationKey::info, QVariant::fromValue(item)}});
    removeBookmarks(items);
    refreshLists();
    changed();
    postOnMain(NotificationName::historyItemsDidClear);
}

// ---------------------------------------------------------------------------------------------
// Auto-clean

FetchRequest<PBItemRecord> TaviPBManager::autoCleanRequest()
{
    TaviSettings &settings = TaviSettings::shared();
    auto request = PBItemRecord::fetchRequest();
    request.predicate = notFiledUnder(
        sparedKinds(settings.autoCleanIncludeLock(), settings.autoCleanIncludeCustom(), settings.autoCleanIncludeNote()));
    if (!settings.autoCleanIncludeSticky())
        request.predicate = both(request.predicate, notSticky());
    request.sortDescriptors = {{kIsSticky, false}, {kModifiedAt, false}};
    return request;
}

void TaviPBManager::getAutoCleanCandidates(const ItemsCompletion &completion)
{
    completion(itemsOf(m_storage.context()->fetch(autoCleanRequest()).value_or(QList<RecordPtr>())));
}

void TaviPBManager::autoCleanHistory()
{
    // Both rules work on the whole history in its default order (pinned first, then newest),
    // whatever a list shows or searches; only what goes is read.
    TaviSettings &settings = TaviSettings::shared();
    // A rule read as its initial value because the stored one is unreadable must not delete.
    if (const std::optional<QString> unreadable = settings.unreadableAutoCleanSetting()) {
        tellUnreadableSetting(*unreadable, "Settings.Problem.AutoCleanIgnored");
        return;
    }
    const int keep = settings.historyKeepLastCount();
    if (keep < 0)
        return;
    FetchRequest<PBItemRecord> request = autoCleanRequest();
    if (settings.clearType() == PBHistoryClearType::items) {
        request.fetchOffset = keep;
    } else {
        // An item is N days old when its modification day is N or more calendar days before today.
        const QDate today = QDate::currentDate();
        const QDateTime cutoff = today.addDays(1 - qint64(keep)).startOfDay();
        request.predicate = both(request.predicate, Predicate::compare(kModifiedAt, Predicate::Comparison::Less, cutoff));
    }
    const QList<RecordPtr> doomed = m_storage.context()->fetch(request).value_or(QList<RecordPtr>());
    discard(doomed, itemsOf(doomed));
    LOG_DEBUG("clearHistoryItems(items:)", QStringLiteral("[xx] <- clear done"));
}

void TaviPBManager::tellIfSizeLimitIsUnreadable()
{
    // The pipeline records copies of any size while the limit cannot be read; the user learns why.
    TaviSettings &settings = TaviSettings::shared();
    if (!settings.ignoreDataSizeMoreThan())
        return;
    if (const std::optional<QString> unreadable = settings.unreadableSizeLimitSetting())
        tellUnreadableSetting(*unreadable, "Settings.Problem.SizeLimitIgnored");
}

void TaviPBManager::tellUnreadableSetting(const QString &key, const char *consequence)
{
    if (!m_toldSettings.isFirst(key))
        return;
    LOG_WARNING("tellUnreadableSetting(_:)", QStringLiteral("[-] the stored \"%1\" cannot be read or is out of range; %2")
                                                 .arg(key, QString::fromLatin1(consequence)));
    postHistoryProblem(L("Settings.Problem.title"), L(consequence).arg(Strings::text(QStringLiteral("Settings.Name.") + key)));
}

// ---------------------------------------------------------------------------------------------
// Notes

PBItem TaviPBManager::addNote(const QString &title, const QString &body)
{
    const QUuid uuid = QUuid::createUuid();
    const PBCategory noteCategory(std::nullopt, localizedName(PBDefaultCategory::note),
                                  defaultBackgroundColor(PBDefaultCategory::note),
                                  defaultForegroundColor(PBDefaultCategory::note), PBDefaultCategory::note, false, false);
    std::optional<PBItemProvider> provider;
    if (auto note = PBNoteItemProvider::make(title, body))
        provider = std::move(*note);
    const QDateTime modified = QDateTime::currentDateTime();
    const QDateTime created = QDateTime::currentDateTime();
    PBItem item(uuid, uuidString(uuid), {noteCategory, PBCategory::all()}, provider, modified, created, std::nullopt,
                false, std::nullopt);
    if (add(item)) {
        changed();
        ItemsByCategory payload;
        payload.insert(noteCategory.id(), {item});
        postOnMain(NotificationName::historyDidAddNewItem, {{NotificationKey::info, payloadOf(payload)}});
    }
    return item;
}

void TaviPBManager::updateNote(const PBItem &item)
{
    const RecordPtr record = recordFor(item);
    if (!record)
        return;
    const std::optional<PBItemProvider> &provider = item.dataProvider();
    m_storage.context()->performAndWait([&] {
        const QVariant body = provider ? provider->accosicatedData() : QVariant();
        record->setData(body.typeId() == QMetaType::QByteArray ? body.toByteArray() : QByteArray());
        record->setText(provider ? provider->representedText() : QString());
    });
    const QString activeId = TaviSettings::shared().activeCategoryID();
    std::optional<PBCategory> attach;
    for (const PBCategory &category : m_categoryManager.categories()) {
        if (category.id() == activeId) {
            attach = category;
            break;
        }
    }
    if (attach && std::any_of(item.categories().cbegin(), item.categories().cend(),
                              [&](const PBCategory &c) { return c.id() == attach->id(); }))
        attach.reset();
    update(item, attach);
    changed();
    ItemsByCategory payload;
    payload.insert(categoryId(PBDefaultCategory::note), {item});
    postOnMain(NotificationName::historyItemDidUpdate, {{NotificationKey::info, payloadOf(payload)}});
}

// ---------------------------------------------------------------------------------------------

void TaviPBManager::postOnMain(const QString &name, const QVariantMap &userInfo)
{
    if (!QCoreApplication::instance() || MainQueue::isCurrent()) {
        NotificationCenter::defaultCenter().post(name, nullptr, userInfo);
        return;
    }
    MainQueue::async([name, userInfo] { NotificationCenter::defaultCenter().post(name, nullptr, userInfo); });
}
