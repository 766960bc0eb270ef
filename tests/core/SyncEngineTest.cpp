#include "SyncTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "core/sync/FolderCloudMirror.h"
#include "core/sync/SyncSettings.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/NotificationCenter.h"
#include "support/TestEnvironment.h"

// The running engine: two stacks with mirroring on, one folder, the program's own factory.
class SyncEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareFolder(folder());
        SyncSettings::setFolder(folder());
        SyncSettings::setKey(SyncPeer::keyFor(folder()));
        FolderCloudMirror::install();
        TaviSettings::shared().setEnableCloudSync(true);
        remoteToken = NotificationCenter::defaultCenter().addObserver(
            NotificationName::remoteDataChanged, [this](const Notification &) { ++remoteNotices; });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(remoteToken);
        TaviSettings::shared().setEnableCloudSync(false);
        stackA.reset();
        stackB.reset();
        CloudMirror::setFactory({});
        CloudAccount::setDefaultAccount(nullptr);
    }
    QString folder() const { return m_root.path() + QStringLiteral("/shared"); }
    std::unique_ptr<CoreDataStack> makeStack(const QString &name)
    {
        return std::make_unique<CoreDataStack>(m_root.path() + QLatin1Char('/') + name + QStringLiteral(".sqlite"));
    }
    static QUuid addItem(CoreDataStack &stack, const QString &text)
    {
        auto record = stack.managedContext()->insertNewObject<PBItemRecord>();
        const QUuid uuid = QUuid::createUuid();
        record->setUuid(uuid);
        record->setText(text);
        record->setCreatedAt(QDateTime::currentDateTimeUtc());
        record->setModifiedAt(QDateTime::currentDateTimeUtc());
        EXPECT_TRUE(stack.managedContext()->save());
        return uuid;
    }
    static bool has(CoreDataStack &stack, const QUuid &uuid)
    {
        FetchRequest<PBItemRecord> request = PBItemRecord::fetchRequest();
        request.predicate = Predicate::equal(QStringLiteral("uuid"), uuid);
        return stack.managedContext()->count(request).value_or(0) == 1;
    }

    QTemporaryDir m_root;
    std::unique_ptr<CoreDataStack> stackA;
    std::unique_ptr<CoreDataStack> stackB;
    NotificationCenter::Token remoteToken{};
    int remoteNotices = 0;
};

TEST_F(SyncEngineTest, ACopyOnOneStoreAppearsInTheOtherAndIsAnnounced)
{
    stackA = makeStack(QStringLiteral("a"));
    stackB = makeStack(QStringLiteral("b"));
    ASSERT_TRUE(stackA->isMirroring());
    ASSERT_TRUE(stackB->isMirroring());
    const QUuid uuid = addItem(*stackA, QStringLiteral("copied on a"));
    EXPECT_TRUE(waitUntil([&] { return has(*stackB, uuid); }, 15000));
    EXPECT_TRUE(waitUntil([&] { return remoteNotices > 0; }, 2000));
    EXPECT_TRUE(Defaults::standard().value(QStringLiteral("lastSyncDate")).toDateTime().isValid());
}

TEST_F(SyncEngineTest, TurningSyncOffStopsTheEngineAndItsChangeLog)
{
    stackA = makeStack(QStringLiteral("a"));
    ASSERT_TRUE(stackA->isMirroring());
    EXPECT_EQ(CloudMirrorEvents::shared().subscriberCount(), 1);
    TaviSettings::shared().setEnableCloudSync(false);
    stackA->setupContainer();
    EXPECT_FALSE(stackA->isMirroring());
    // No more logging: a change made now leaves nothing behind for the folder.
    addItem(*stackA, QStringLiteral("private now"));
    SQLite::Database database(stackA->storePath().toStdString(), SQLite::OPEN_READONLY, 5000);
    EXPECT_EQ(database.execAndGet("SELECT count(*) FROM SyncChange").getInt(), 0);
    EXPECT_EQ(
        database.execAndGet("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'Sync%'").getInt(),
        0);
    // On again: one subscription still, and the change made while off goes out.
    TaviSettings::shared().setEnableCloudSync(true);
    stackA->setupContainer();
    EXPECT_EQ(CloudMirrorEvents::shared().subscriberCount(), 1);
    stackB = makeStack(QStringLiteral("b"));
    EXPECT_TRUE(waitUntil(
        [&] {
            FetchRequest<PBItemRecord> request = PBItemRecord::fetchRequest();
            return stackB->managedContext()->count(request).value_or(0) == 1;
        },
        15000));
}

TEST_F(SyncEngineTest, AnotherMachinesActiveCategoryArrivesOneNoticePerKey)
{
    // Another machine's values file (its store not mirroring itself here).
    TaviSettings::shared().setEnableCloudSync(false);
    SyncPeer other(folder());
    TaviSettings::shared().setEnableCloudSync(true);
    const SyncKey key = SyncPeer::keyFor(folder());
    SyncKeyValues values(other.journal(), other.folder(), key);
    values.recordLocal({QStringLiteral("activeCategoryID"), QStringLiteral("enableCloudSync")},
                       QDateTime::currentMSecsSinceEpoch() + 1000);
    ASSERT_FALSE(values.exportValues(
        {{QStringLiteral("activeCategoryID"), QStringLiteral("work")}, {QStringLiteral("enableCloudSync"), true}}));
    QList<QStringList> notices;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        CloudKeyValueStore::kDidChangeExternally, [&](const Notification &n) {
            notices.append(n.userInfo.value(CloudKeyValueStore::kChangedKeys).toStringList());
        });
    stackA = makeStack(QStringLiteral("a"));
    EXPECT_TRUE(waitUntil([&] { return TaviSettings::shared().activeCategoryID() == QLatin1String("work"); }, 15000));
    NotificationCenter::defaultCenter().removeObserver(token);
    for (const QStringList &keys : std::as_const(notices))
        EXPECT_EQ(keys.size(), 1);
}

TEST_F(SyncEngineTest, ABatchDeleteLogsOnlyTheItemsItDeletes)
{
    stackA = makeStack(QStringLiteral("a"));
    ASSERT_TRUE(stackA->isMirroring());
    const auto context = stackA->managedContext();
    SQLite::Database &database = context->store()->database();
    // The engine makes its change log on a thread of its own.
    ASSERT_TRUE(waitUntil(
        [&] {
            return database
                       .execAndGet("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'Sync%'")
                       .getInt()
                   > 0;
        },
        10000));
    auto group = context->insertNewObject<PBCategoryRecord>();
    group->setId(QStringLiteral("g"));
    group->setName(QStringLiteral("Group"));
    group->setType(QStringLiteral("custom"));
    for (int i = 0; i < 3; ++i) {
        auto record = context->insertNewObject<PBItemRecord>();
        record->setUuid(QUuid::createUuid());
        record->setText(QStringLiteral("item %1").arg(i));
        record->setCreatedAt(QDateTime::currentDateTimeUtc());
        record->setModifiedAt(QDateTime::currentDateTimeUtc());
        record->addCategoriesObject(group);
        auto pasteboard = context->insertNewObject<PBPasteboardDataRecord>();
        pasteboard->setType(QStringLiteral("public.utf8-plain-text"));
        pasteboard->setData("item");
        record->addPasteboardsObject(pasteboard);
    }
    ASSERT_TRUE(context->save());
    // What the delete logs, seen on its own connection before the exporter takes it.
    database.exec("CREATE TEMP TABLE seen (entity TEXT, op INTEGER)");
    database.exec("CREATE TEMP TRIGGER spy AFTER INSERT ON SyncChange BEGIN "
                  "INSERT INTO seen VALUES (NEW.entity, NEW.op); END");

    // Their links and representations go with them: the other machines learn of three deletes,
    // and of no link taken away or representation changed.
    ASSERT_TRUE(context->executeBatchDelete(PBItemRecord::entityDescription(), std::nullopt));
    QStringList ops;
    {
        SQLite::Statement changes(database, "SELECT entity, op FROM seen ORDER BY rowid");
        while (changes.executeStep())
            ops << QString::fromStdString(changes.getColumn(0).getString()) + QLatin1Char(':')
                       + QString::number(changes.getColumn(1).getInt());
    }
    database.exec("DROP TRIGGER temp.spy; DROP TABLE temp.seen");
    EXPECT_EQ(ops, (QStringList{"item:2", "item:2", "item:2"}));
}
