#include "StoreTestSupport.h"

#include "support/TestEnvironment.h"
#include "core/store/CoreDataManager.h"

#include <QThread>

#include <atomic>
#include <thread>

namespace {
const QList<SortKey> kNewestFirst = {{QStringLiteral("modifiedAt"), false}};

class CountingDelegate : public FetchedResultsControllerDelegate {
public:
    void controllerDidChangeContent(const void *) override { ++changes; }
    int changes = 0;
};

// Reads the manager's main list when told that it changed, as a list view reloading would.
class ReloadingDelegate : public FetchedResultsControllerDelegate {
public:
    explicit ReloadingDelegate(const CoreDataManager<PBItemRecord> &storage) : storage(storage) {}
    void controllerDidChangeContent(const void *controller) override
    {
        current = controller == storage.fetchedRC().get();
        seen = storage.fetchedObjects().value_or(QList<std::shared_ptr<PBItemRecord>>()).size();
    }
    const CoreDataManager<PBItemRecord> &storage;
    bool current = false;
    qsizetype seen = -1;
};
} // namespace

TEST_F(StoreTest, HistoryRecordsListPinnedOnesFirstCategoriesOnlyTheMainList)
{
    CoreDataManager<PBItemRecord> storage(context());
    EXPECT_FALSE(storage.objects());
    item(QStringLiteral("pinned old"), 1, true);
    item(QStringLiteral("pinned new"), 2, true);
    item(QStringLiteral("newest"), 9);
    item(QStringLiteral("older"), 3);
    storage.setupStickyFetchedResultsController();
    storage.setupFetchedResultsController(Predicate::equal(QStringLiteral("is_sticky"), false), kNewestFirst);
    EXPECT_EQ(texts(storage.objects()), (QStringList{"pinned new", "pinned old", "newest", "older"}));
    EXPECT_EQ(texts(storage.fetchedObjects()), (QStringList{"newest", "older"}));

    CoreDataManager<PBCategoryRecord> categories(context());
    category(QStringLiteral("b"), 1);
    category(QStringLiteral("a"), 0);
    categories.setupStickyFetchedResultsController(); // no such key here: built, without results
    categories.fetchRecords(std::nullopt, {{QStringLiteral("index"), true}});
    ASSERT_TRUE(categories.objects());
    ASSERT_EQ(categories.objects()->size(), 2);
    EXPECT_EQ(categories.objects()->first()->id(), QStringLiteral("a"));
}

TEST_F(StoreTest, ControllersAreReplacedAndTakeTheDelegateOfTheirBuild)
{
    CoreDataManager<PBItemRecord> storage(context());
    item(QStringLiteral("b"), 1);
    item(QStringLiteral("a"), 2);
    storage.setupFetchedResultsController(std::nullopt, {});
    auto first = storage.fetchedRC();
    EXPECT_TRUE(first->fetchRequest().sortDescriptors.isEmpty());
    EXPECT_EQ(texts(storage.fetchedObjects()), (QStringList{"b", "a"}));

    auto delegate = std::make_shared<CountingDelegate>();
    storage.setDelegate(delegate);
    EXPECT_TRUE(first->delegate().expired());
    storage.fetchRecords(std::nullopt, {{QStringLiteral("text"), true}});
    EXPECT_NE(storage.fetchedRC(), first);
    EXPECT_EQ(storage.fetchedRC()->delegate().lock(), delegate);
    EXPECT_EQ(delegate->changes, 1);
    EXPECT_EQ(texts(storage.fetchedObjects()), (QStringList{"a", "b"}));
}

TEST_F(StoreTest, ADelegateToldOfANewListReadsThatList)
{
    CoreDataManager<PBItemRecord> storage(context());
    item(QStringLiteral("a"));
    item(QStringLiteral("b"));
    auto delegate = std::make_shared<ReloadingDelegate>(storage);
    storage.setDelegate(delegate);
    storage.fetchRecords(std::nullopt, {});
    EXPECT_TRUE(delegate->current);
    EXPECT_EQ(delegate->seen, 2);
    storage.fetchRecords(Predicate::equal(QStringLiteral("text"), QStringLiteral("a")), {});
    EXPECT_TRUE(delegate->current);
    EXPECT_EQ(delegate->seen, 1);
}

TEST_F(StoreTest, TheMainListCountsItsObjects)
{
    CoreDataManager<PBItemRecord> storage(context());
    EXPECT_FALSE(storage.numberOfObjects());
    storage.setupFetchedResultsController(Predicate::equal(QStringLiteral("text"), QStringLiteral("none")), {});
    EXPECT_EQ(storage.numberOfObjects(), 0);
    item(QStringLiteral("x"));
    storage.setupFetchedResultsController(std::nullopt, {});
    EXPECT_EQ(storage.numberOfObjects(), 1);
    storage.deleteAt({0, 0});
    storage.deleteAt({0, 5}); // outside the list: nothing
    storage.setupFetchedResultsController(std::nullopt, {});
    EXPECT_EQ(storage.numberOfObjects(), 0);
}

TEST_F(StoreTest, AnAsynchronousFetchCompletesOnceOnTheMainThreadEvenWhenItFails)
{
    CoreDataManager<PBItemRecord> storage(context());
    item(QStringLiteral("cafe"), 1);
    item(QStringLiteral("tea"), 2);
    int calls = 0, failedCalls = 0;
    QStringList found;
    bool onMainThread = false;
    std::optional<StoreError> failure;
    storage.asyncFetch(Predicate::contains(QStringLiteral("text"), QStringLiteral("CAFÉ")), std::nullopt,
                       [&](const AsynchronousFetchResult<PBItemRecord> &result) {
                           ++calls;
                           onMainThread = QThread::currentThread() == qApp->thread();
                           found = texts(result.finalResult);
                       });
    storage.asyncFetch(Predicate::equal(QStringLiteral("nonsense"), 1), std::nullopt,
                       [&](const AsynchronousFetchResult<PBItemRecord> &result) {
                           ++failedCalls;
                           EXPECT_TRUE(result.finalResult && result.finalResult->isEmpty());
                           failure = result.error;
                       });
    ASSERT_TRUE(waitUntil([&] { return calls && failedCalls; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(failedCalls, 1);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(found, QStringList{"cafe"});
    EXPECT_TRUE(failure);
}

// Lists are refreshed on one thread while another reads them and inserts; under ASan a read
// without the lock shows up here.
TEST_F(StoreTest, ListsMayBeReadWhileAnotherThreadRefreshesThem)
{
    CoreDataManager<PBItemRecord> storage(context());
    for (int i = 0; i < 50; ++i)
        item(QString::number(i), i, i % 5 == 0);
    ASSERT_TRUE(context()->save());
    std::atomic<bool> stop = false;
    std::atomic<int> reads = 0;
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            auto record = storage.newRecord();
            record->setModifiedAt(at(100 + i));
            storage.refreshStickyRecords();
            storage.fetchRecords(Predicate::equal(QStringLiteral("is_sticky"), false), kNewestFirst);
            // Every refresh is followed by at least one whole read, however late the reader
            // gets the processor on a busy machine.
            const int target = reads.load() + 1;
            while (reads.load() < target)
                std::this_thread::yield();
        }
        stop = true;
    });
    qsizetype seen = 0;
    while (!stop) {
        if (auto objects = storage.objects())
            for (const auto &record : *objects)
                seen += record->modifiedAt().isValid() ? 1 : 0;
        storage.numberOfObjects();
        ++reads;
    }
    writer.join();
    EXPECT_GT(seen, 0);
    EXPECT_EQ(storage.numberOfObjects(), 240);
}

TEST_F(StoreTest, PagesOfTheHistoryListRunOnFromThePinnedIntoTheMainList)
{
    CoreDataManager<PBItemRecord> storage(context());
    for (int i = 0; i < 3; ++i)
        item(QStringLiteral("p%1").arg(i), i, true);
    for (int i = 0; i < 6; ++i)
        item(QStringLiteral("m%1").arg(i), i);
    storage.setupStickyFetchedResultsController();
    storage.setupFetchedResultsController(Predicate::equal(QStringLiteral("is_sticky"), false), kNewestFirst);
    const QStringList whole = texts(storage.objects());
    ASSERT_EQ(whole.size(), 9);
    EXPECT_EQ(storage.objectCount(), 9);
    for (int offset = 0; offset < 11; ++offset)
        for (int limit = 1; limit < 5; ++limit)
            EXPECT_EQ(texts(storage.objectsPage(offset, limit)), whole.mid(offset, limit)) << offset << "+" << limit;

    // The count follows changes made after the lists were built.
    item(QStringLiteral("newest"), 99);
    EXPECT_EQ(storage.objectCount(), 10);
    EXPECT_EQ(texts(storage.objectsPage(3, 1)), QStringList{"newest"});
    EXPECT_EQ(storage.numberOfObjects(), 7);
}
