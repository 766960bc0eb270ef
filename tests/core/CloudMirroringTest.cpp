#include "StoreTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/store/CloudKitManager.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBSyncOperation.h"
#include "core/store/PBSyncOperationManager.h"
#include "platform/Analytics.h"
#include "platform/CloudAccount.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Log.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <chrono>
#include <future>
#include <thread>

namespace {
struct MirrorLog {
    int made = 0, started = 0, stopped = 0;
    CloudRemoteChangeHandler remoteChange;
};

class RecordingMirror : public CloudMirror {
public:
    explicit RecordingMirror(std::shared_ptr<MirrorLog> log) : m_log(std::move(log)) { ++m_log->made; }
    void start() override
    {
        ++m_log->started;
        m_running = true;
    }
    void stop() override
    {
        ++m_log->stopped;
        m_running = false;
    }
    bool isRunning() const override { return m_running; }
    void setRemoteChangeHandler(CloudRemoteChangeHandler handler) override { m_log->remoteChange = std::move(handler); }

private:
    std::shared_ptr<MirrorLog> m_log;
    bool m_running = false;
};

class FixedAccount : public CloudAccount {
public:
    explicit FixedAccount(CloudAccountStatus status) : status(status) {}
    void accountStatus(StatusCompletion completion) override
    {
        ++queries;
        completion(status, std::nullopt);
    }
    CloudAccountStatus status;
    int queries = 0;
};

CloudMirrorEvent finished(CloudMirrorEvent::Type type, bool succeeded, std::optional<int> errorCode = std::nullopt)
{
    CloudMirrorEvent event;
    event.type = type;
    event.endDate = QDateTime::currentDateTime();
    event.succeeded = succeeded;
    if (errorCode)
        event.error = CloudError{CloudError::Domain::Cloud, *errorCode, QStringLiteral("cloud said no"), {}};
    return event;
}
} // namespace

class CloudMirroringTest : public StoreTest {
protected:
    void SetUp() override
    {
        log = std::make_shared<MirrorLog>();
        CloudMirror::setFactory(
            [log = log](const CloudMirrorOptions &) { return std::make_unique<RecordingMirror>(log); });
        Analytics::setEventObserver([this](const QString &name, const EventProperties &properties) {
            events.append({name, properties});
        });
        stateToken = NotificationCenter::defaultCenter().addObserver(NotificationName::cloudSyncStateChanged,
                                                                     [this](const Notification &) { ++stateChanges; });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(stateToken);
        Analytics::setEventObserver({});
        stack.reset();
        CloudMirror::setFactory({});
    }
    void startMirroring()
    {
        TaviSettings::shared().setEnableCloudSync(true);
        openStack();
        ASSERT_TRUE(stack->isMirroring());
    }
    QStringList eventNames() const
    {
        QStringList names;
        for (const auto &event : events)
            names << event.first;
        return names;
    }
    void post(const CloudMirrorEvent &event,
              const QVariantMap &userInfo = {{QStringLiteral("event"), QStringLiteral("x")}})
    {
        CloudMirrorEvents::shared().post(event, userInfo);
    }

    ScopedXdgHome home; // the cloud setting an earlier test switched on stays behind
    std::shared_ptr<MirrorLog> log;
    QList<QPair<QString, EventProperties>> events;
    int stateChanges = 0;
    NotificationCenter::Token stateToken = 0;
};

TEST_F(CloudMirroringTest, AFirstLaunchWithoutTheSettingMirrorsNothing)
{
    openStack();
    EXPECT_FALSE(stack->isMirroring());
    EXPECT_EQ(log->made, 0);
    EXPECT_FALSE(stack->storeContainer()->persistentStoreDescriptions().first().cloudContainerIdentifier);
    EXPECT_EQ(CloudMirrorEvents::shared().subscriberCount(), 0);
}

TEST_F(CloudMirroringTest, AnExhaustedQuotaSwitchesMirroringOffAfterSaving)
{
    startMirroring();
    item(QStringLiteral("unsaved"));
    post(finished(CloudMirrorEvent::Type::Export, false, int(CloudErrorCode::QuotaExceeded)));

    EXPECT_FALSE(TaviSettings::shared().enableCloudSync());
    EXPECT_EQ(CloudKeyValueStore::shared().value(QStringLiteral("enableCloudSync")), QVariant(false));
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_EQ(rowCount("PBItemRecord"), 1);
    EXPECT_FALSE(stack->isMirroring());
    EXPECT_EQ(log->stopped, 1);
    EXPECT_EQ(log->made, 1);
    EXPECT_FALSE(stack->storeContainer()->persistentStoreDescriptions().first().cloudContainerIdentifier);
    ASSERT_EQ(eventNames(), (QStringList{"iCloudSyncFailed", "iCloudSyncFailed"}));
    EXPECT_EQ(events[0].second.value(QStringLiteral("code")), QStringLiteral("25"));
    EXPECT_EQ(events[1].second.value(QStringLiteral("code")), QStringLiteral("quotaExceeded"));
    EXPECT_EQ(stateChanges, 2);

    // The stopped mirror's late events change nothing any more.
    post(finished(CloudMirrorEvent::Type::Export, false, int(CloudErrorCode::RequestRateLimited)));
    EXPECT_EQ(events.size(), 2);
}

TEST_F(CloudMirroringTest, ANetworkErrorIsReportedTwiceAndMirroringStaysOn)
{
    startMirroring();
    post(finished(CloudMirrorEvent::Type::Export, false, int(CloudErrorCode::NetworkUnavailable)));
    EXPECT_TRUE(stack->isMirroring());
    ASSERT_EQ(eventNames(), (QStringList{"iCloudSyncFailed", "iCloudSyncFailed"}));
    EXPECT_TRUE(events[0].second.contains(QStringLiteral("userInfo")));
    EXPECT_EQ(events[1].second.value(QStringLiteral("code")), QStringLiteral("networkUnavailable"));
    EXPECT_EQ(stateChanges, 2);
}

TEST_F(CloudMirroringTest, APartialFailureIsReportedWithItsItemsAndNeverSwitchesOff)
{
    startMirroring();
    CloudMirrorEvent event = finished(CloudMirrorEvent::Type::Export, false, int(CloudErrorCode::PartialFailure));
    event.error->userInfo.insert(QStringLiteral("CKPartialErrorsByItemIDKey"),
                                 QVariantMap{{QStringLiteral("record-1"), QStringLiteral("conflict")}});
    post(event);
    EXPECT_TRUE(stack->isMirroring());
    EXPECT_TRUE(TaviSettings::shared().enableCloudSync());
    ASSERT_EQ(eventNames(), (QStringList{"iCloudSyncFailed", "iCloudSyncPartialFailure"}));
    EXPECT_TRUE(events[1].second.value(QStringLiteral("userInfo")).startsWith(QStringLiteral("partialErrors #")));
    EXPECT_TRUE(events[1].second.value(QStringLiteral("userInfo")).contains(QStringLiteral("record-1")));
}

TEST_F(CloudMirroringTest, AnUnfinishedEventOnlyAnnouncesItsStart)
{
    startMirroring();
    CloudMirrorEvent event = finished(CloudMirrorEvent::Type::Import, false, int(CloudErrorCode::QuotaExceeded));
    event.endDate.reset();
    QStringList lines;
    // Only what handling the event logs: the store's own threads (its search index) log meanwhile.
    const QThread *const handling = QThread::currentThread();
    Log::setObserver([&](LogLevel, const QString &message, const char *, const char *, int) {
        if (QThread::currentThread() == handling)
            lines.append(message);
    });
    testing::internal::CaptureStdout();
    post(event);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    Log::setObserver({});
    EXPECT_EQ(lines, QStringList{QStringLiteral("Starting an event...")});
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(stack->isMirroring());
}

TEST_F(CloudMirroringTest, AFailedImportReportsTheEventAndItsError)
{
    startMirroring();
    post(finished(CloudMirrorEvent::Type::Import, false, int(CloudErrorCode::NetworkFailure)));
    EXPECT_EQ(eventNames(), (QStringList{"iCloudSyncEventFailed", "iCloudSyncFailed", "iCloudSyncFailed"}));
    events.clear();
    stateChanges = 0;
    post(finished(CloudMirrorEvent::Type::Import, true));
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(stateChanges, 1);
}

TEST_F(CloudMirroringTest, RebuildsKeepOneSubscriptionAndReallyStopTheOldMirror)
{
    startMirroring();
    stack->setupContainer();
    EXPECT_EQ(log->made, 2);
    EXPECT_EQ(log->stopped, 1);
    TaviSettings::shared().setEnableCloudSync(false);
    stack->setupContainer();
    EXPECT_EQ(log->stopped, 2);
    EXPECT_FALSE(stack->isMirroring());
    TaviSettings::shared().setEnableCloudSync(true);
    stack->setupContainer();
    EXPECT_EQ(CloudMirrorEvents::shared().subscriberCount(), 1);
    EXPECT_EQ(log->started - log->stopped, 1);
}

TEST_F(CloudMirroringTest, ARemoteChangeRecordsTheSyncDate)
{
    startMirroring();
    ASSERT_TRUE(log->remoteChange);
    log->remoteChange({});
    EXPECT_TRUE(Defaults::standard().value(QStringLiteral("lastSyncDate")).toDateTime().isValid());
}

TEST_F(CloudMirroringTest, AnAccountThatIsNotAvailableSwitchesMirroringOff)
{
    startMirroring();
    auto account = std::make_shared<FixedAccount>(CloudAccountStatus::Available);
    CloudKitManager manager(account, stack.get());
    EXPECT_EQ(manager.accountStatus(), CloudAccountStatus::Available);
    EXPECT_TRUE(stack->isMirroring());

    account->status = CloudAccountStatus::TemporarilyUnavailable;
    item(QStringLiteral("unsaved"));
    NotificationCenter::defaultCenter().post(CloudAccount::kAccountChangedNotification);
    ASSERT_TRUE(waitUntil([&] { return account->queries == 2; }));
    EXPECT_EQ(manager.accountStatus(), CloudAccountStatus::TemporarilyUnavailable);
    EXPECT_FALSE(TaviSettings::shared().enableCloudSync());
    EXPECT_FALSE(stack->isMirroring());
    EXPECT_EQ(rowCount("PBItemRecord"), 1);
}

TEST(PBSyncOperationManager, TouchKeepsOneRecordAndMovesItsDate)
{
    PBSyncOperationManager::shared().touch();
    auto context = CoreDataStack::shared().backgroundContext();
    auto first = context->fetch(PBSyncOperation::fetchRequest());
    ASSERT_TRUE(first && first->size() == 1);
    const QDateTime touched = first->first()->updateDate();
    const QUuid uuid = first->first()->uuid();
    EXPECT_FALSE(uuid.isNull());
    waitForTheClockToMove();
    PBSyncOperationManager::shared().touch();
    auto second = context->fetch(PBSyncOperation::fetchRequest());
    ASSERT_TRUE(second && second->size() == 1);
    EXPECT_EQ(second->first()->uuid(), uuid);
    EXPECT_GT(second->first()->updateDate(), touched);
    EXPECT_FALSE(context->hasChanges());
}

// The mirror's engine may be handing an import over when the stack shuts down: stopping the
// mirror waits for the engine, and the engine for the context to take the import in. Shutting
// down holds no lock of the context meanwhile, and rebuilds nothing afterwards.
TEST_F(CloudMirroringTest, ShuttingDownWaitsForAnImportBeingTakenInAndRebuildsNothing)
{
    struct Engine {
        CloudRemoteChangeHandler handler; // the engine's own copy, as it keeps it while it runs
        int made = 0;
        bool stopped = false;
        bool handedOverInTime = false;
    };
    class HandingOverMirror : public CloudMirror {
    public:
        explicit HandingOverMirror(std::shared_ptr<Engine> engine) : m_engine(std::move(engine)) { ++m_engine->made; }
        void start() override {}
        void stop() override
        {
            if (m_engine->stopped || !m_engine->handler)
                return;
            m_engine->stopped = true;
            auto done = std::make_shared<std::promise<void>>();
            std::future<void> handedOver = done->get_future();
            std::thread([handler = m_engine->handler, done] {
                CloudRemoteChanges changes;
                changes.changedRows.insert(PBItemRecord::entityDescription().name, {1});
                handler(changes);
                done->set_value();
            }).detach();
            m_engine->handedOverInTime = handedOver.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        }
        bool isRunning() const override { return !m_engine->stopped; }
        void setRemoteChangeHandler(CloudRemoteChangeHandler handler) override
        {
            if (handler)
                m_engine->handler = std::move(handler);
        }

    private:
        std::shared_ptr<Engine> m_engine;
    };
    auto engine = std::make_shared<Engine>();
    CloudMirror::setFactory(
        [engine](const CloudMirrorOptions &) { return std::make_unique<HandingOverMirror>(engine); });
    startMirroring();
    item(QStringLiteral("kept"));
    ASSERT_TRUE(context()->save());

    stack->shutDown();
    EXPECT_TRUE(engine->handedOverInTime) << "the import waited for a context the shutdown held";
    EXPECT_FALSE(stack->isMirroring());
    EXPECT_EQ(CloudMirrorEvents::shared().subscriberCount(), 0);
    stack->setupContainer();
    EXPECT_EQ(engine->made, 1) << "a rebuild after the shutdown made a mirror";
    EXPECT_FALSE(stack->isMirroring());
}
