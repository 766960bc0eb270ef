#include "capture/PasteboardCapture.h"

#include "capture/PBItemPipeline.h"
#include "capture/PBItemRecordConversion.h"
#include "capture/TaviPBManager.h"
#include "core/FileTypes.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "core/store/StoreFailure.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QCoreApplication>
#include <QSet>
#include <QTimer>

#include <exception>

namespace {
const char *const kPoll = "retreivePasteboardInfo()";

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
    const ItemsByCategory &byCategory() const { return m_byCategory; }

private:
    ItemsByCategory m_byCategory;
    QHash<QString, QSet<QUuid>> m_filed;
};
} // namespace

PasteboardCapture::PasteboardCapture(Pasteboard &pasteboard, Workspace &workspace, TaviSettings &settings,
                                     HistoryRecords &records, SaveScheduler &saveScheduler, HistoryProblems &problems,
                                     UnreadableSettingNotice &unreadableSettings)
    : m_pasteboard(pasteboard),
      m_workspace(workspace),
      m_settings(settings),
      m_records(records),
      m_saveScheduler(saveScheduler),
      m_problems(problems),
      m_unreadableSettings(unreadableSettings)
{
    m_lastChangeCount.store(m_pasteboard.changeCount());
}

PasteboardCapture::~PasteboardCapture() = default;

void PasteboardCapture::startMonitoring(std::chrono::milliseconds fallback)
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

void PasteboardCapture::stopMonitoring()
{
    m_pasteboard.setChangeHandler(nullptr);
    m_timer.reset();
}

void PasteboardCapture::detach()
{
    m_detached.store(true);
    m_pasteboard.setChangeHandler(nullptr);
    if (m_timer && (MainQueue::isCurrent() || !QCoreApplication::instance()))
        m_timer.reset();
}

void PasteboardCapture::drain() { m_pbQueue.shutdown(); }

void PasteboardCapture::schedulePoll()
{
    // One poll in flight at most: it takes every change recorded until it starts.
    if (m_pollQueued.exchange(true))
        return;
    m_pbQueue.async([this] {
        m_pollQueued.store(false);
        processBatch();
    });
}

void PasteboardCapture::retreivePasteboardInfo()
{
    m_pbQueue.sync([this] { processBatch(); });
}

std::optional<RunningApplication> PasteboardCapture::getCurrentActiveApp()
{
    std::optional<RunningApplication> app = m_workspace.frontmostApplication();
    LOG_DEBUG("getCurrentActiveApp()", QStringLiteral("Active App --> ")
                                           + (app ? app->bundleIdentifier : QStringLiteral("nil"))
                                           + QStringLiteral(": ") + (app ? app->localizedName : QStringLiteral("nil")));
    return app;
}

void PasteboardCapture::processPasteboardItem(
    const PasteboardItem &item, const std::optional<RunningApplication> &app,
    const std::function<void(const PasteboardProcessResult &)> &resultCompletion)
{
    tellIfSizeLimitIsUnreadable();
    const PBItemPipeline::Environment environment{[this](const QString &hash) { return m_records.findItem(hash); },
                                                  [this] { return m_records.categoryManager().activeCategory(); },
                                                  m_workspace.ownBundleIdentifier(),
                                                  {},
                                                  {},
                                                  nullptr};
    const PasteboardProcessResult result = PBItemPipeline::process(item, app, environment);
    if (resultCompletion)
        resultCompletion(result);
}

void PasteboardCapture::processBatch()
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

void PasteboardCapture::takeNewChanges(std::deque<PasteboardChange> &waiting)
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

void PasteboardCapture::takeSmallChangesMeanwhile(std::deque<PasteboardChange> &waiting)
{
    takeNewChanges(waiting);
    // Each is stored under the time it was made, so the lists keep the order of the copies; large
    // ones wait for the one in progress.
    QList<PasteboardChange> small;
    for (auto it = waiting.begin(); it != waiting.end();) {
        if (!it->items || it->items->size() < TaviPBManager::kInterleaveEveryItems) {
            small.append(std::move(*it));
            it = waiting.erase(it);
        } else {
            ++it;
        }
    }
    for (const PasteboardChange &change : std::as_const(small))
        processChange(change, waiting);
}

bool PasteboardCapture::store(const PBItem &item, HistoryRecords::CategoryRecords &categoryRecords,
                              QMap<QString, int> &dropped)
{
    const PBFileItemProvider *file = item.dataProvider()->as<PBFileItemProvider>();
    if (file && m_settings.ignoreDirectory() && isDirectory(file->url())) {
        ++dropped[QStringLiteral("Folders are ignored")];
        return false;
    }
    if (file && m_settings.ignoreFile() && !isDirectory(file->url())) {
        ++dropped[QStringLiteral("Files are ignored")];
        return false;
    }
    if (m_settings.ignoreImage() && item.dataProvider()->is<PBImageItemProvider>()) {
        ++dropped[QStringLiteral("Images are ignored")];
        return false;
    }
    if (!m_records.add(item, categoryRecords)) {
        ++dropped[QStringLiteral("Not matched category record!")];
        return false;
    }
    return true;
}

void PasteboardCapture::processChange(const PasteboardChange &change, std::deque<PasteboardChange> &waiting)
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
    if (app && !app->bundleIdentifier.isEmpty() && m_settings.blackList().contains(app->bundleIdentifier))
        return;

    const std::optional<QList<PasteboardItem>> &items = change.items;
    if (!items) {
        noteLostCopies(change.unread == PasteboardChange::Unread::Replaced ? LossCause::Replaced : LossCause::NoAnswer,
                       1);
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
    HistoryRecords::CategoryRecords categoryRecords;
    qint64 imageFileBytesLeft = PBItemPipeline::kMaxImageFileBytesPerCopy;
    const PBItemPipeline::Environment environment{[this](const QString &hash) { return m_records.findItem(hash); },
                                                  [this] { return m_records.categoryManager().activeCategory(); },
                                                  m_workspace.ownBundleIdentifier(),
                                                  [&dropped](const QString &reason) { ++dropped[reason]; },
                                                  change.time,
                                                  &imageFileBytesLeft};
    qsizetype done = 0;
    try {
        for (const PasteboardItem &item : *items) {
            if (m_detached.load()) {
                dropped[QStringLiteral("Left at quit")] += int(items->size() - done);
                break;
            }
            if (++done % TaviPBManager::kInterleaveEveryItems == 0)
                takeSmallChangesMeanwhile(waiting);
            const PasteboardProcessResult result = PBItemPipeline::process(item, app, environment);
            switch (result.kind) {
            case PasteboardProcessResult::Kind::New: {
                const PBItem &newItem = *result.item;
                if (!store(newItem, categoryRecords, dropped))
                    continue;
                if (const PBFileItemProvider *file = newItem.dataProvider()->as<PBFileItemProvider>())
                    newFiles.append(file->url());
                // Announced as lists hold it: the whole copy stays in the store.
                const PBItem listed = listItem(newItem);
                newItemsByCategory.file(listed);
                newItems.append(listed);
                break;
            }
            case PasteboardProcessResult::Kind::Update:
                if (m_records.update(*result.item, result.category, change.time)) {
                    updatedItemsByCategory.file(*result.item);
                    ++updated;
                }
                break;
            case PasteboardProcessResult::Kind::Failure: continue;
            }
            if (++unsaved >= TaviPBManager::kSaveEveryItems) {
                m_records.changed();
                m_saveScheduler.flush();
                unsaved = 0;
                categoryRecords.clear();
            }
        }
    } catch (const std::exception &error) {
        LOG_ERROR(kPoll, QStringLiteral("Capture batch failed: ") + storeFailureKind(error));
    } catch (...) {
        LOG_ERROR(kPoll, QStringLiteral("Capture batch failed."));
    }
    QStringList reasons;
    qsizetype droppedCount = 0;
    for (auto it = dropped.cbegin(); it != dropped.cend(); ++it) {
        reasons.append(it.value() == 1 ? it.key() : QStringLiteral("%1 (%2 items)").arg(it.key()).arg(it.value()));
        droppedCount += it.value();
    }
    LOG_DEBUG(kPoll,
              QStringLiteral("Clipboard change of %1 items: %2 new, %3 repeated, %4 dropped%5")
                  .arg(items->size())
                  .arg(newItems.size())
                  .arg(updated)
                  .arg(droppedCount)
                  .arg(reasons.isEmpty() ? QString() : QStringLiteral(": ") + reasons.join(QStringLiteral("; "))));
    if (!newItems.isEmpty() || !updatedItemsByCategory.isEmpty())
        m_records.changed();
    // The copied files are bookmarked together, off this queue, unless the whole root is.
    if (!newFiles.isEmpty()) {
        TPBookMarkCacher &bookmarks = TPBookMarkCacher::shared();
        if (!bookmarks.hasBookMark(authorizedRootPath()))
            bookmarks.store(newFiles);
    }

    auto end = [&settings = m_settings, folder = folderToAsk(*items),
                newItemsByCategory = newItemsByCategory.byCategory(),
                updatedItemsByCategory = updatedItemsByCategory.byCategory(), newItems]() mutable {
        if (folder && !settings.notPromptFolderAccess())
            NotificationCenter::defaultCenter().post(NotificationName::needCheckAuthorize, nullptr,
                                                     NotificationPayload::FolderToAuthorize::encode(*folder));
        if (!newItemsByCategory.isEmpty()) {
            settings.setCopyTotalTimes(settings.copyTotalTimes() + 1);
            NotificationCenter::defaultCenter().post(
                NotificationName::historyDidAddNewItem, nullptr,
                NotificationPayload::ItemChanges::encode(newItemsByCategory, newItems));
        }
        if (!updatedItemsByCategory.isEmpty())
            NotificationCenter::defaultCenter().post(NotificationName::historyItemDidUpdate, nullptr,
                                                     NotificationPayload::ItemChanges::encode(updatedItemsByCategory));
        // The last references of a large batch are let go on a worker: freeing its items one
        // by one would hold the GUI thread.
        if (QCoreApplication::instance())
            GlobalQueue::async([added = std::move(newItemsByCategory), updated = std::move(updatedItemsByCategory),
                                items = std::move(newItems)] {});
    };
    if (QCoreApplication::instance())
        MainQueue::async(std::move(end));
    else
        end();
}

std::optional<QString> PasteboardCapture::folderToAsk(const QList<PasteboardItem> &items)
{
    // The folder check reads the copied files' permissions here, not on the main thread.
    if (!m_folderAuthorizationCheck || m_settings.notPromptFolderAccess())
        return std::nullopt;
    QList<PasteboardItem> files;
    for (const PasteboardItem &item : items) {
        if (const std::optional<QByteArray> url = item.data(PasteboardType::fileURL)) {
            PasteboardItem file;
            file.setData(PasteboardType::fileURL, *url);
            files.append(file);
        }
    }
    if (files.isEmpty())
        return std::nullopt;
    return m_folderAuthorizationCheck(files);
}

void PasteboardCapture::noteLostCopies(LossCause cause, qint64 count)
{
    const qint64 total = m_lostCopies.fetch_add(count) + count;
    static const char *const kCauses[] = {"replaced before it could be read", "its program stopped sending it",
                                          "not taken in time"};
    LOG_WARNING(kPoll, QStringLiteral("%1 clipboard copies not recorded: %2 (%3 this session)")
                           .arg(count)
                           .arg(QLatin1String(kCauses[int(cause)]))
                           .arg(total));
    m_problems.tellCopiesLost(total);
    static const char *const kTexts[] = {"Capture.Lost.Replaced", "Capture.Lost.NoAnswer", "Capture.Lost.NotTaken"};
    if (m_toldLosses.isFirst(QString::number(int(cause))))
        m_problems.tell(L("Capture.Lost.title"), L(kTexts[int(cause)]));
}

void PasteboardCapture::tellIfSizeLimitIsUnreadable()
{
    // The pipeline records copies of any size while the limit cannot be read; the user learns why.
    if (!m_settings.ignoreDataSizeMoreThan())
        return;
    if (const std::optional<QString> unreadable = m_settings.unreadableSizeLimitSetting())
        m_unreadableSettings.tell(*unreadable, "Settings.Problem.SizeLimitIgnored");
}
