#include "core/store/CoreDataStack.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/DebugOutput.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "platform/DispatchQueue.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <QMutex>

#include <utility>

namespace {
QMutex g_sharedMutex;
// Never destroyed: what a stack's destructor stops (the mirror, the event subscription) lives in
// other process-wide objects, which may be gone at exit. shutDownShared() stops it in time.
std::unique_ptr<CoreDataStack> &sharedInstance()
{
    static auto *stack = new std::unique_ptr<CoreDataStack>;
    return *stack;
}

QString defaultStorePath() { return Paths::dataDirectory() + QLatin1Char('/') + PersistentStore::kFileName; }

QString describe(const QVariantMap &map)
{
    QStringList parts;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        parts << it.key() + QStringLiteral(" = ") + it.value().toString();
    return QLatin1Char('{') + parts.join(QStringLiteral("; ")) + QLatin1Char('}');
}

void postCloudSyncStateChanged(const CloudError *error)
{
    QVariantMap userInfo;
    if (error) {
        userInfo.insert(QStringLiteral("code"), error->code);
        userInfo.insert(QStringLiteral("description"), error->localizedDescription);
    }
    NotificationCenter::defaultCenter().post(NotificationName::cloudSyncStateChanged, error, userInfo);
}

// Mirroring goes off: the cloud key-value store is told first, then the store is saved and rebuilt.
void switchMirroringOff(CoreDataStack &stack)
{
    TaviSettings::shared().setEnableCloudSync(false);
    stack.managedContext()->saveContext();
    stack.setupContainer();
}
} // namespace

CoreDataStack &CoreDataStack::shared()
{
    QMutexLocker lock(&g_sharedMutex);
    if (sharedInstance())
        return *sharedInstance();
    sharedInstance() = std::make_unique<CoreDataStack>();
    return *sharedInstance();
}

void CoreDataStack::resetShared()
{
    CoreDataStack *old = nullptr;
    {
        QMutexLocker lock(&g_sharedMutex);
        // Kept alive: managers made earlier may still point at the old stack's context.
        static auto *retired = new std::vector<std::unique_ptr<CoreDataStack>>;
        if (sharedInstance()) {
            old = sharedInstance().get();
            retired->push_back(std::move(sharedInstance()));
        }
    }
    // Never destroyed either: its mirror stops now.
    if (old)
        old->shutDown();
}

void CoreDataStack::shutDownShared()
{
    CoreDataStack *stack = nullptr;
    {
        QMutexLocker lock(&g_sharedMutex);
        stack = sharedInstance().get();
    }
    if (!stack)
        return;
    stack->shutDown();
    // No thread of the store runs on while the process ends.
    std::shared_ptr<PersistentStore> store;
    {
        std::lock_guard lock(stack->m_managedContext->mutex());
        store = stack->m_managedContext->store();
    }
    if (store)
        store->stopIndexing();
}

CoreDataStack::CoreDataStack(const QString &storePath)
    : m_storePath(storePath.isEmpty() ? defaultStorePath() : storePath),
      m_managedContext(std::make_shared<ManagedObjectContext>(nullptr))
{
    setupContainer();
}

CoreDataStack::~CoreDataStack() { shutDown(); }

void CoreDataStack::shutDown()
{
    std::optional<CloudMirrorEvents::Token> subscription;
    std::shared_ptr<PersistentContainer> container;
    {
        std::lock_guard lock(m_managedContext->mutex());
        m_shutDown = true;
        m_mirroring = false; // late events of the mirror are ignored
        subscription = std::exchange(m_eventSubscription, std::nullopt);
        container = m_storeContainer;
    }
    // Without the context's lock: an event being delivered, or an import being taken into the
    // context, takes it while the mirror waits for them to end.
    if (subscription)
        CloudMirrorEvents::shared().unsubscribe(*subscription);
    if (container)
        container->stopMirroring();
    // The last save is done: the store file alone then holds the history, as a backup copy of
    // it expects.
    std::lock_guard lock(m_managedContext->mutex());
    if (const std::shared_ptr<PersistentStore> store = m_managedContext->store())
        store->finishWriting();
}

std::shared_ptr<ManagedObjectContext> CoreDataStack::backgroundContext()
{
    std::lock_guard lock(m_managedContext->mutex());
    if (!m_backgroundContext) {
        const bool temporary = !m_managedContext->store() || m_managedContext->store()->isTemporary();
        m_backgroundContext = std::make_shared<ManagedObjectContext>(
            temporary ? PersistentStore::openTemporary() : PersistentStore::open(m_storePath).store);
    }
    return m_backgroundContext;
}

std::shared_ptr<PersistentContainer> CoreDataStack::storeContainer() const
{
    std::lock_guard lock(m_managedContext->mutex());
    return m_storeContainer;
}

bool CoreDataStack::isMirroring() const
{
    std::lock_guard lock(m_managedContext->mutex());
    return m_mirroring;
}

std::optional<StoreProblem> CoreDataStack::storeProblem() const
{
    std::lock_guard lock(m_managedContext->mutex());
    return m_storeProblem;
}

void CoreDataStack::setupContainer()
{
    std::optional<StoreProblem> newProblem;
    {
        std::lock_guard lock(m_managedContext->mutex());
        if (m_shutDown)
            return; // nothing is rebuilt once the stack has shut down
        const std::shared_ptr<PersistentContainer> previous = m_storeContainer;
        auto container = std::make_shared<PersistentContainer>(kModelName, m_storePath);
        if (container->persistentStoreDescriptions().isEmpty())
            qFatal("###setupContainer(): Failed to retrieve a persistent store description.");
        PersistentStoreDescription &description = container->persistentStoreDescriptions().first();
        description.persistentHistoryTracking = true;
        description.manualVacuum = true;
        description.remoteChangeNotificationPost = true;
        m_managedContext->setMergePolicy(ManagedObjectContext::MergePolicy::PropertyObjectTrump);

        const bool mirroring = TaviSettings::shared().enableCloudSync();
        if (mirroring) {
            description.cloudContainerIdentifier = kContainerIdentifier;
            container->setRemoteChangeHandler(
                [this](const CloudRemoteChanges &changes) { storeRemoteChange(changes); });
        } else {
            description.cloudContainerIdentifier.reset();
        }
        // The old mirror stops before the new one may start on the same file.
        if (previous)
            previous->stopMirroring();

        // A store that has no file (the fallback after a problem) is kept across rebuilds.
        std::shared_ptr<PersistentStore> current = m_managedContext->store();
        std::shared_ptr<PersistentStore> adopt = current && current->isTemporary() ? current : nullptr;
        container->loadPersistentStores(
            [&](const PersistentStoreDescription &loaded, const std::optional<StoreProblem> &problem) {
                if (problem) {
                    DebugOutput::print(QStringLiteral("Unresolved error ") + problem->detail + QStringLiteral(", ")
                                       + problem->message());
                    newProblem = problem;
                } else {
                    DebugOutput::print(QStringLiteral("Store URL:") + loaded.url);
                }
            },
            adopt);
        m_storeContainer = container;
        m_managedContext->setStore(container->store());
        m_managedContext->setAutomaticallyMergesChangesFromParent(true);
        m_mirroring = mirroring && container->mirror();

        // One subscription to mirror events for the life of the stack.
        if (TaviSettings::shared().enableCloudSync() && !m_eventSubscription) {
            m_eventSubscription = CloudMirrorEvents::shared().subscribe(
                [this](const CloudMirrorEvent &event, const QVariantMap &userInfo) {
                    handleCloudKitEvent(event, userInfo);
                });
        }
        if (newProblem && !m_storeProblem)
            m_storeProblem = newProblem;
    }
    if (newProblem) {
        LOG_ERROR("setupContainer()", newProblem->message());
        Q_EMIT storeProblemFound(newProblem->message());
    }
}

void CoreDataStack::storeRemoteChange(const CloudRemoteChanges &changes)
{
    DebugOutput::print(QStringLiteral("---]]] notification fired"));
    // Saving the defaults waits for the disk: during a long import, at most twice a minute.
    const QDateTime now = QDateTime::currentDateTime();
    TaviSettings &settings = TaviSettings::shared();
    const QDateTime last = settings.lastSyncDate();
    if (!last.isValid() || last > now || last.secsTo(now) >= 30)
        settings.setLastSyncDate(now);
    if (changes.changedRows.isEmpty() && changes.deletedRows.isEmpty())
        return;
    // The import wrote through another connection: loaded records read again, deleted ones leave.
    for (const EntityDescription *entity : {&PBItemRecord::entityDescription(), &PBCategoryRecord::entityDescription(),
                                            &PBPasteboardDataRecord::entityDescription()}) {
        const QList<qint64> changed = changes.changedRows.value(entity->name);
        const QList<qint64> deleted = changes.deletedRows.value(entity->name);
        if (!changed.isEmpty() || !deleted.isEmpty())
            m_managedContext->mergeStoreChanges(*entity, changed, deleted);
    }
    MainQueue::async([] { NotificationCenter::defaultCenter().post(NotificationName::remoteDataChanged, nullptr); });
}

void CoreDataStack::handleCloudKitEvent(const CloudMirrorEvent &event, const QVariantMap &userInfo)
{
    if (!isMirroring())
        return; // a late event of a mirror that was stopped
    if (!event.endDate) {
        DebugOutput::print(QStringLiteral("Starting an event..."));
        return;
    }
    switch (event.type) {
    case CloudMirrorEvent::Type::Setup: DebugOutput::print(QStringLiteral("Setup finished!")); break;
    case CloudMirrorEvent::Type::Export: DebugOutput::print(QStringLiteral("An export finished!")); break;
    case CloudMirrorEvent::Type::Import:
        DebugOutput::print(QStringLiteral("An import finished!"));
        if (event.succeeded) {
            DebugOutput::print(QStringLiteral("And it succeeded!"));
            postCloudSyncStateChanged(nullptr);
        } else {
            DebugOutput::print(QStringLiteral("But it failed!"));
            Analytics::trackEvent(QStringLiteral("iCloudSyncEventFailed"),
                                  {{QStringLiteral("event"), event.description()}});
        }
        break;
    }
    if (!event.error)
        return;
    const CloudError &error = *event.error;
    Analytics::trackEvent(QStringLiteral("iCloudSyncFailed"),
                          {{QStringLiteral("code"), QString::number(error.code)},
                           {QStringLiteral("description"), error.localizedDescription},
                           {QStringLiteral("userInfo"), userInfo.isEmpty() ? QString() : describe(userInfo)}});
    postCloudSyncStateChanged(&error);
    if (!error.isCloudError())
        return;
    if (error.code == int(CloudErrorCode::PartialFailure)) {
        const QVariant partial = error.userInfo.value(QStringLiteral("CKPartialErrorsByItemIDKey"));
        if (partial.metaType().id() == QMetaType::QVariantMap) {
            Analytics::trackEvent(
                QStringLiteral("iCloudSyncPartialFailure"),
                {{QStringLiteral("description"), error.localizedDescription},
                 {QStringLiteral("userInfo"), QStringLiteral("partialErrors #") + describe(partial.toMap())}});
        } else {
            Analytics::trackEvent(QStringLiteral("iCloudSyncPartialFailure"),
                                  {{QStringLiteral("description"), error.localizedDescription}});
        }
        return;
    }
    Analytics::trackEvent(
        QStringLiteral("iCloudSyncFailed"),
        {{QStringLiteral("code"), error.codeName()}, {QStringLiteral("description"), error.localizedDescription}});
    switch (static_cast<CloudErrorCode>(error.code)) {
    case CloudErrorCode::RequestRateLimited:
    case CloudErrorCode::QuotaExceeded:
        switchMirroringOff(*this);
        postCloudSyncStateChanged(&error);
        break;
    case CloudErrorCode::NetworkUnavailable:
    case CloudErrorCode::NetworkFailure: postCloudSyncStateChanged(&error); break;
    default: break;
    }
}
